from typing import Final, final

__version__: Final[str]
__all__ = ["train_from_config", "TrainerConfig", "__version__", "__doc__"]

def train_from_config(
    config_path: str,
    output_dir: str,
    steps: int,
    seed: int,
    base_ckpt: str | None = None,
) -> None:
    """Check the config file, run the trainer through cargo and wait for it.

    Raises FileNotFoundError, OSError, ValueError or RuntimeError with a fixed message prefix.
    """

@final
class TrainerConfig:
    """Python-facing configuration struct for training."""

    config_path: str
    output_dir: str
    steps: int
    seed: int
    base_ckpt: str | None
    def __new__(
        cls,
        config_path: str,
        output_dir: str,
        steps: int,
        seed: int,
        base_ckpt: str | None = None,
    ) -> TrainerConfig: ...

"""A real training run through train_from_config, then a second run resumed from its checkpoint.

Usage: python examples/demo.py WORKDIR
"""

import json
import sys
from pathlib import Path

import solvarinth_trainer
from solvarinth_trainer import TrainerConfig, train_from_config

CONFIG = """\
# Settings read by the example trainer (examples/trainer).
learning_rate: 0.05
batch_size: 32
log_every: 50
features: 4
"""


def run(config: TrainerConfig) -> None:
    print(f"\n>>> {config!r}", flush=True)
    train_from_config(config.config_path, config.output_dir, config.steps, config.seed, config.base_ckpt)


def main() -> int:
    work = Path(sys.argv[1] if len(sys.argv) > 1 else "demo-run").resolve()
    work.mkdir(parents=True, exist_ok=True)
    config_path = work / "config.yaml"
    config_path.write_text(CONFIG)
    print(f"solvarinth_trainer {solvarinth_trainer.__version__} from {solvarinth_trainer.__file__}")

    first = TrainerConfig(str(config_path), str(work / "run1"), 200, 7)
    try:
        run(first)
    except RuntimeError as error:
        print(f"training failed: {error}", file=sys.stderr)
        return 1

    second = TrainerConfig(str(config_path), str(work / "run2"), 100, 7,
                           base_ckpt=str(work / "run1" / "checkpoint.txt"))
    run(second)

    for run_dir in (work / "run1", work / "run2"):
        metrics = json.loads((run_dir / "metrics.json").read_text())
        print(f"\n{run_dir.name}: checkpoint {run_dir / 'checkpoint.txt'}")
        print(f"{run_dir.name}: metrics    {run_dir / 'metrics.json'}")
        print(f"{run_dir.name}: total steps {metrics['total_steps']}, final loss {metrics['final_loss']:.6g}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""End to end: the example trainer built and run by the real cargo through train_from_config.

The module's manifest path is fixed, so a wrapper cargo first on PATH swaps that one argument for
the example project's manifest and hands over to the real cargo."""

import json
import os
import shutil
from pathlib import Path

import pytest

from conftest import MANIFEST
from solvarinth_trainer import train_from_config

EXAMPLE_MANIFEST = Path(__file__).resolve().parents[1] / "examples" / "trainer" / "Cargo.toml"


def real_cargo(guard_bin):
    path = os.pathsep.join(p for p in os.environ["PATH"].split(os.pathsep) if p != str(guard_bin))
    found = shutil.which("cargo", path=path) or shutil.which("cargo", path=str(Path.home() / ".cargo" / "bin"))
    if found is None:
        pytest.skip("cargo is not installed")
    return found


@pytest.fixture
def example_cargo(tmp_path, monkeypatch, guard_bin):
    cargo = real_cargo(guard_bin)
    bindir = tmp_path / "wrapper-bin"
    bindir.mkdir()
    wrapper = bindir / "cargo"
    wrapper.write_text(
        "#!/usr/bin/env python3\n"
        "import os, sys\n"
        f"args = [{str(EXAMPLE_MANIFEST)!r} if a == {MANIFEST!r} else a for a in sys.argv[1:]]\n"
        f"os.execv({cargo!r}, ['cargo', '--quiet'] + args[:1] + ['--offline'] + args[1:])\n"
    )
    wrapper.chmod(0o755)
    monkeypatch.setenv("PATH", f"{bindir}{os.pathsep}{os.environ['PATH']}")


def test_training_writes_checkpoint_and_metrics_and_resumes(example_cargo, write_config, tmp_path):
    config = write_config("run.yaml", "learning_rate: 0.05\nbatch_size: 16\nlog_every: 20\nfeatures: 3\n")
    first, second = tmp_path / "first", tmp_path / "second"
    assert train_from_config(config, str(first), 60, 11) is None
    metrics = json.loads((first / "metrics.json").read_text())
    assert metrics["total_steps"] == 60
    assert metrics["final_loss"] < metrics["initial_loss"]
    assert (first / "checkpoint.txt").is_file()

    assert train_from_config(config, str(second), 40, 11, base_ckpt=str(first / "checkpoint.txt")) is None
    assert json.loads((second / "metrics.json").read_text())["total_steps"] == 100


@pytest.mark.parametrize(
    "name, config_text",
    [
        ("flow.yaml", "{learning_rate: 0.5, batch_size: 8, features: 3}  # one line\n"),
        ("anchored.yml", "learning_rate: &lr 0.5\nbatch_size: &n 8\nfeatures: 3\nlog_every: *n\n"),
    ],
)
def test_trainer_uses_every_value_the_module_accepted(example_cargo, write_config, tmp_path, capfd, name, config_text):
    config = write_config(name, config_text)
    out = tmp_path / "out"
    assert train_from_config(config, str(out), 8, 3) is None
    # The child writes straight to the inherited descriptor, so capture at fd level.
    assert "start: features 3 batch_size 8 learning_rate 0.5 " in capfd.readouterr().out
    metrics = json.loads((out / "metrics.json").read_text())
    assert (metrics["learning_rate"], metrics["batch_size"], metrics["features"]) == (0.5, 8, 3)


@pytest.mark.parametrize(
    "name, config_text, kwargs, status",
    [
        ("bad.json", '{"learning_rate": -1}', {}, "exit status: 1"),            # bad setting
        ("bad.json", '{"learning_rate": 0.1}', {"base_ckpt": "/nonexistent/ck.txt"}, "exit status: 1"),
        ("bad.yaml", "learning_rat: 0.5\nfeatures: 3\n", {}, "exit status: 1"),  # typo: not ignored
    ],
)
def test_failing_trainer_is_a_runtime_error(example_cargo, write_config, tmp_path, name, config_text, kwargs, status):
    config = write_config(name, config_text)
    with pytest.raises(RuntimeError) as info:
        train_from_config(config, str(tmp_path / "out"), 5, 1, **kwargs)
    assert str(info.value) == "train_generic exited with status: " + status

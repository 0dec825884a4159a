"""The "Many runs at once" recipe, examples/sweep.py, on a real LocalCluster of worker processes:
every run's outcome comes back to the caller, a failure as the exact exception the call raised on
the worker, and the trainers of one sweep run at the same time.

The caller is a fresh interpreter: a LocalCluster leaves multiprocessing's resource tracker
running as a child of the process that started it, which the suite's later checks for left-behind
children would find."""

import json
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import assert_no_children, most_at_once

pytest.importorskip("distributed")

SWEEP = Path(__file__).resolve().parents[1] / "examples" / "sweep.py"
EXITED = "train_generic exited with status: "
SLEEP_MS = 500

# Imports the example's sweep function, runs it on a LocalCluster of 2 worker processes x 2
# threads and prints, as JSON, each outcome (the exception's module, class name and arguments)
# and the sweep's wall time.
CALLER = """\
import json, runpy, sys, time
from distributed import Client, LocalCluster

if __name__ == "__main__":  # the cluster's worker processes import this file again
    sweep = runpy.run_path(sys.argv[1])["sweep"]
    job = json.loads(sys.argv[2])
    with LocalCluster(n_workers=2, threads_per_worker=2, processes=True, dashboard_address=":0") as cluster, \\
            Client(cluster) as client:
        started = time.monotonic()
        outcomes = [[config, seed, None if error is None else
                     [type(error).__module__, type(error).__qualname__, list(error.args)]]
                    for config, seed, error in sweep(client, job["configs"], job["seeds"], job["out"], 10)]
        elapsed = time.monotonic() - started
    print(json.dumps({"outcomes": outcomes, "elapsed": elapsed}))
"""


def test_sweep_on_a_local_cluster(fake_cargo, write_config, tmp_path, monkeypatch):
    # The caller and the cluster's worker processes take PATH (the fake cargo first) and these
    # settings from this process's environment. Each fake trainer sleeps, then exits with its
    # seed, so seed 259 fails with status 3.
    fake_cargo.sleeps(SLEEP_MS)
    monkeypatch.setenv("FAKE_CARGO_EXIT_FROM_SEED", "1")
    times = tmp_path / "times.txt"
    monkeypatch.setenv("FAKE_CARGO_TIMES", str(times))
    good = [write_config("a.yaml", "lr: 0.1\n"), write_config("b.json", '{"lr": 0.1}'),
            write_config("c.yml", "lr: 0.1\n"), write_config("d.yaml", "batch: 8\n")]
    bad = write_config("notes.txt", "lr: 0.1\n")
    seeds = [0, 259]
    caller = tmp_path / "caller.py"
    caller.write_text(CALLER)
    job = {"configs": good + [bad], "seeds": seeds, "out": str(tmp_path / "out")}

    result = subprocess.run([sys.executable, str(caller), str(SWEEP), json.dumps(job)],
                            capture_output=True, text=True, timeout=180, cwd=tmp_path)
    assert result.returncode == 0, result.stderr
    report = json.loads(result.stdout.splitlines()[-1])
    outcomes = {(config, seed): error for config, seed, error in report["outcomes"]}

    assert len(report["outcomes"]) == len(outcomes) == 10
    for config in good:
        assert outcomes[config, 0] is None
        assert outcomes[config, 259] == ["builtins", "RuntimeError", [EXITED + "exit status: 3"]]
    for seed in seeds:
        assert outcomes[bad, seed] == ["builtins", "ValueError", ["Config must be .json or .yaml"]]

    # Eight trainers of 0.5 s each on 2 workers x 2 threads: about 1 s when four run at a time,
    # 2 s if only one per worker ran, 4 s one after another.
    intervals = [tuple(map(float, line.split())) for line in times.read_text().splitlines()]
    assert len(intervals) == 8
    assert most_at_once(intervals) >= 3, "no worker ran two trainers at once"
    elapsed = report["elapsed"]
    assert elapsed < 0.75 * len(intervals) * SLEEP_MS / 1000, f"{elapsed:.2f} s"
    print(f"sweep of 10 calls (8 trainers of {SLEEP_MS} ms) on 2 workers x 2 threads: {elapsed:.2f} s")
    assert_no_children()

"""The "Many runs at once" recipe, examples/sweep.py, on a real LocalCluster of worker processes:
every run's outcome comes back to the caller, a failure as the exact exception the call raised on
the worker, and the trainers of one sweep run at the same time."""

import runpy
import time
from pathlib import Path

import pytest

distributed = pytest.importorskip("distributed")

SWEEP = Path(__file__).resolve().parents[1] / "examples" / "sweep.py"
EXITED = "train_generic exited with status: "
SLEEP_MS = 500


def load_sweep():
    """The example's sweep function; its command-line part does not run."""
    return runpy.run_path(str(SWEEP))["sweep"]


def most_at_once(intervals):
    """The largest number of (start, end) intervals running at the same moment."""
    edges = sorted([(start, 1) for start, _ in intervals] + [(end, -1) for _, end in intervals])
    running = peak = 0
    for _, step in edges:
        running += step
        peak = max(peak, running)
    return peak


def test_sweep_on_a_local_cluster(fake_cargo, write_config, tmp_path, monkeypatch):
    # Set before the cluster starts: its worker processes take PATH (the fake cargo first) and
    # these settings from this process's environment. Each fake trainer sleeps, then exits with
    # its seed, so seed 259 fails with status 3.
    fake_cargo.sleeps(SLEEP_MS)
    monkeypatch.setenv("FAKE_CARGO_EXIT_FROM_SEED", "1")
    times = tmp_path / "times.txt"
    monkeypatch.setenv("FAKE_CARGO_TIMES", str(times))
    good = [write_config("a.yaml", "lr: 0.1\n"), write_config("b.json", '{"lr": 0.1}'),
            write_config("c.yml", "lr: 0.1\n"), write_config("d.yaml", "batch: 8\n")]
    bad = write_config("notes.txt", "lr: 0.1\n")
    seeds = [0, 259]
    sweep = load_sweep()

    with distributed.LocalCluster(n_workers=2, threads_per_worker=2, processes=True,
                                  dashboard_address=":0") as cluster, distributed.Client(cluster) as client:
        started = time.monotonic()
        outcomes = {(config, seed): error
                    for config, seed, error in sweep(client, good + [bad], seeds, tmp_path / "out", 10)}
        elapsed = time.monotonic() - started

    assert len(outcomes) == 10
    for config in good:
        assert outcomes[config, 0] is None
        error = outcomes[config, 259]
        assert type(error) is RuntimeError and error.args == (EXITED + "exit status: 3",), repr(error)
    for seed in seeds:
        error = outcomes[bad, seed]
        assert type(error) is ValueError and error.args == ("Config must be .json or .yaml",), repr(error)

    # Eight trainers of 0.5 s each on 2 workers x 2 threads: about 1 s when four run at a time,
    # 2 s if only one per worker ran, 4 s one after another.
    intervals = [tuple(map(float, line.split())) for line in times.read_text().splitlines()]
    assert len(intervals) == 8
    assert most_at_once(intervals) >= 3, "no worker ran two trainers at once"
    assert elapsed < 0.75 * len(intervals) * SLEEP_MS / 1000, f"{elapsed:.2f} s"
    print(f"sweep of 10 calls (8 trainers of {SLEEP_MS} ms) on 2 workers x 2 threads: {elapsed:.2f} s")

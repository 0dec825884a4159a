"""The wait for the trainer: other threads run meanwhile, calls from several threads overlap and
keep their own outcomes, and signals are handled only after the call has returned."""

import json
import signal
import subprocess
import sys
import threading
import time

import pytest

from conftest import assert_no_children, most_at_once
from solvarinth_trainer import train_from_config


@pytest.fixture
def config(write_config):
    return write_config("config.json", "{}")


@pytest.fixture
def times(fake_cargo, tmp_path):
    """Each fake trainer appends (start, end) in time.monotonic seconds; returns a reader."""
    path = tmp_path / "times.txt"
    fake_cargo.monkeypatch.setenv("FAKE_CARGO_TIMES", str(path))

    def read():
        if not path.exists():
            return []
        return [tuple(map(float, line.split())) for line in path.read_text().splitlines()]

    return read


def test_another_thread_runs_during_the_wait(fake_cargo, config, times):
    fake_cargo.sleeps(1000)
    ticks = []
    stop = threading.Event()

    def ticker():
        while not stop.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.01)

    thread = threading.Thread(target=ticker)
    thread.start()
    try:
        assert train_from_config(config, "out", 1, 1) is None
    finally:
        stop.set()
        thread.join()
    [(start, end)] = times()
    during = [t for t in ticks if start < t < end]
    # About 100 at 10 ms; a loaded machine still gets well over 10 in a second.
    assert len(during) >= 10, f"{len(during)} ticks while the trainer ran for {end - start:.2f} s"


THREADS, CALLS, SLEEP_MS = 4, 5, 200


def test_calls_from_several_threads_overlap_and_keep_their_outcomes(fake_cargo, config, times, monkeypatch):
    # Each trainer exits with its seed, so a call that reaped another call's child, or judged
    # another call's status, reports the wrong code.
    fake_cargo.sleeps(SLEEP_MS)
    monkeypatch.setenv("FAKE_CARGO_EXIT_FROM_SEED", "1")
    outcomes = {}
    barrier = threading.Barrier(THREADS)

    def worker(index):
        barrier.wait()
        for call in range(CALLS):
            seed = index * CALLS + call
            try:
                outcomes[seed] = train_from_config(config, f"out{seed}", 1, seed)
            except RuntimeError as error:
                outcomes[seed] = str(error)

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    expected = {0: None} | {seed: f"train_generic exited with status: exit status: {seed}"
                            for seed in range(1, THREADS * CALLS)}
    assert outcomes == expected
    intervals = times()
    assert len(intervals) == THREADS * CALLS
    # Serialised calls would never have two trainers alive at once.
    assert most_at_once(intervals) >= 2
    assert_no_children()


# Runs in a fresh interpreter, so that a KeyboardInterrupt raised at the wrong moment fails this
# test rather than interrupting the test session.
SIGNAL_SCRIPT = """
import json, signal, sys, time
from solvarinth_trainer import train_from_config

class Raised(Exception):
    pass

signo, config = int(sys.argv[1]), sys.argv[2]
handled = []

def handler(number, frame):
    handled.append(time.monotonic())
    if number == signal.SIGINT:
        signal.default_int_handler(number, frame)
    raise Raised

signal.signal(signo, handler)
try:
    train_from_config(config, "out", 1, 1)
    result = {"raised": None, "context": None}
except BaseException as error:
    result = {"raised": type(error).__name__, "context": repr(error.__context__)}
result["handled"] = handled
print(json.dumps(result))
"""


@pytest.mark.parametrize(
    "signo, expected",
    [(signal.SIGALRM, "Raised"), (signal.SIGINT, "KeyboardInterrupt")],
)
def test_signal_during_the_wait_is_handled_after_the_trainer_ended(fake_cargo, config, times, tmp_path,
                                                                   signo, expected):
    # The trainer signals only its parent (not the process group) while the parent waits, then
    # keeps running; the wait must go on, and the handler run once the call has returned.
    fake_cargo.monkeypatch.setenv("FAKE_CARGO_SIGNAL_PARENT", str(signo))
    fake_cargo.sleeps(600)
    proc = subprocess.run([sys.executable, "-c", SIGNAL_SCRIPT, str(int(signo)), config],
                          capture_output=True, text=True, timeout=60, cwd=tmp_path)
    assert proc.returncode == 0, proc.stderr
    result = json.loads(proc.stdout)
    assert (result["raised"], result["context"]) == (expected, "None")
    [(_, end)] = times()
    assert len(result["handled"]) == 1
    assert result["handled"][0] >= end, "the handler ran before the trainer ended"


# A daemon thread still waiting when the interpreter shuts down: the trainer ends while
# finalization runs (held up here by a slow __del__), and the thread, taking the lock back, is
# ended by the interpreter. That must end only the thread, never abort the process.
DAEMON_SCRIPT = """
import os, sys, threading, time
from solvarinth_trainer import train_from_config

threading.Thread(target=train_from_config, args=(sys.argv[1], "out", 1, 1), daemon=True).start()
while not os.path.exists(os.environ["FAKE_CARGO_LOG"]):  # the trainer has started
    time.sleep(0.01)

class SlowToFinalize:
    def __del__(self, sleep=time.sleep, write=os.write):
        sleep(2)
        write(1, b"finalized\\n")

sys.slow_to_finalize = SlowToFinalize()
"""


def test_daemon_thread_waiting_at_shutdown_does_not_abort(fake_cargo, config, times, tmp_path):
    fake_cargo.sleeps(500)
    proc = subprocess.run([sys.executable, "-c", DAEMON_SCRIPT, config],
                          capture_output=True, text=True, timeout=60, cwd=tmp_path)
    assert (proc.returncode, proc.stdout, proc.stderr) == (0, "finalized\n", "")
    assert len(times()) == 1  # the trainer did end during finalization

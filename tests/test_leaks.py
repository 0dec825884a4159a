"""Every failing path of train_from_config, repeated: descriptors, memory and children stay flat."""

import gc
import signal
import sys

import pytest

from conftest import UNDER_ASAN, assert_no_children, open_fds, rss_kib
from solvarinth_trainer import train_from_config

ROUNDS = 3000
SPAWN_ROUNDS = 300  # each of these starts a real child process


class Index:
    def __index__(self):
        raise ValueError("no index")


def failing_calls(files):
    """(name, callable) pairs; each call must raise."""
    return [
        ("too-many", lambda: train_from_config(1, 2, 3, 4, 5, 6)),
        ("unexpected-keyword", lambda: train_from_config("c", "o", 1, 2, bogus=1)),
        ("missing", lambda: train_from_config("c")),
        ("multiple", lambda: train_from_config("c", "o", 1, 2, config_path="c")),
        ("wrong-type", lambda: train_from_config(b"c", "o", 1, 2)),
        ("rewrapped-index", lambda: train_from_config("c", "o", 1.5, 2)),
        ("index-raises", lambda: train_from_config("c", "o", Index(), 2)),
        ("overflow", lambda: train_from_config("c", "o", 1, 2**40)),
        ("surrogate", lambda: train_from_config("\udc80", "o", 1, 2)),
        ("not-found", lambda: train_from_config(files["missing"], "o", 1, 2)),
        ("is-directory", lambda: train_from_config(files["directory"], "o", 1, 2)),
        ("not-utf8", lambda: train_from_config(files["latin1"], "o", 1, 2)),
        ("suffix", lambda: train_from_config(files["txt"], "o", 1, 2)),
        ("bad-json", lambda: train_from_config(files["bad_json"], "o", 1, 2)),
        ("deep-json", lambda: train_from_config(files["deep_json"], "o", 1, 2)),
        ("bad-yaml", lambda: train_from_config(files["bad_yaml"], "o", 1, 2)),
        ("nul-in-output", lambda: train_from_config(files["good"], "a\0b", 1, 2)),
    ]


@pytest.fixture
def files(tmp_path, write_config):
    (tmp_path / "dir.json").mkdir()
    return {
        "missing": str(tmp_path / "missing.json"),
        "directory": str(tmp_path / "dir.json"),
        "latin1": write_config("latin1.json", b"\xe9" * 100),
        "txt": write_config("c.txt", "{}"),
        "bad_json": write_config("bad.json", '{"a": [1, 2, "x" ' + "y" * 1000),
        "deep_json": write_config("deep.json", "[" * 1000),
        "bad_yaml": write_config("bad.yaml", "a: [1, 2\nb: {"),
        "good": write_config("good.json", '{"a": 1}'),
    }


def measure(fn, rounds):
    for _ in range(50):  # warm caches, interned strings and allocator pools first
        fn()
    gc.collect()
    fds, rss = open_fds(), rss_kib()
    for _ in range(rounds):
        fn()
    gc.collect()
    return open_fds() - fds, rss_kib() - rss


def raises(call):
    def run():
        try:
            call()
        except Exception:
            return
        raise AssertionError("the call did not fail")

    return run


def test_failure_paths_do_not_leak(files):
    for name, call in failing_calls(files):
        fd_growth, rss_growth = measure(raises(call), ROUNDS)
        assert fd_growth == 0, f"{name}: {fd_growth} descriptors leaked"
        # The plain builds judge memory; under ASan its own pools make RSS drift by about 1 MiB.
        assert UNDER_ASAN or rss_growth < 1024, f"{name}: RSS grew by {rss_growth} KiB over {ROUNDS} calls"
    assert_no_children()


@pytest.mark.parametrize("outcome", ["exit", "signal", "missing-cargo", "echild", "success"])
def test_launch_paths_do_not_leak(files, fake_cargo, no_cargo_path, outcome):
    previous = signal.getsignal(signal.SIGCHLD)
    if outcome == "exit":
        fake_cargo.exits_with(1)
    elif outcome == "signal":
        fake_cargo.dies_by(signal.SIGKILL)
    elif outcome == "missing-cargo":
        no_cargo_path()
    elif outcome == "echild":
        signal.signal(signal.SIGCHLD, signal.SIG_IGN)
    call = lambda: train_from_config(files["good"], "o", 1, 2)  # noqa: E731
    try:
        fd_growth, rss_growth = measure(call if outcome == "success" else raises(call), SPAWN_ROUNDS)
    finally:
        signal.signal(signal.SIGCHLD, previous)
    assert fd_growth == 0
    assert UNDER_ASAN or rss_growth < 1024
    assert_no_children()


@pytest.fixture
def no_cargo_path(tmp_path, monkeypatch):
    def apply():
        empty = tmp_path / "no-cargo"
        empty.mkdir(exist_ok=True)
        monkeypatch.setenv("PATH", str(empty))

    return apply


def test_arguments_are_not_retained(files):
    """A reference kept by any path (binding, conversion, a config stage, the launch) shows up as
    a growing reference count on the objects passed in."""

    path = "".join(["/nonexistent/", "config.json"])
    output = "".join(["o", "ut"])
    steps = Index()
    seed = 2**40 + 1
    wrong = bytes(3)
    good = "".join([files["good"]])
    calls = [
        lambda: train_from_config(path, output, 1, 2),
        lambda: train_from_config(path, output, steps, 2),
        lambda: train_from_config(path, output, 1, seed),
        lambda: train_from_config(wrong, output, 1, 2),
        lambda: train_from_config(path, output, 1, 2, base_ckpt=wrong),
        lambda: train_from_config(path, output, 1, 2, config_path=path),
        lambda: train_from_config(good, output + "\0", 1, 2, output),
    ]
    watched = [path, output, steps, seed, wrong, good]
    before = [sys.getrefcount(obj) for obj in watched]
    for call in calls:
        for _ in range(500):
            raises(call)()
    assert [sys.getrefcount(obj) for obj in watched] == before

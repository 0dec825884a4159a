"""Trainer launch: the exact command line, start failures, exit statuses and signals."""

import errno
import signal

import pytest

from conftest import argv_prefix, assert_no_children, needs_spawn_exec_errors, os_text
from solvarinth_trainer import train_from_config

LAUNCH_FAILED = "Failed to launch train_generic command: "
EXITED = "train_generic exited with status: "


@pytest.fixture
def config(write_config):
    return write_config("config.json", '{"learning_rate": 0.1}')


def trainer_args(config, out, steps, seed, *ckpt):
    return argv_prefix() + ["--config", config, "--output-dir", out, "--steps", steps, "--seed", seed, *ckpt]


@pytest.mark.parametrize(
    "out, steps, seed, kwargs, tail",
    [
        ("out", 10, 7, {}, []),
        ("out", 10, 7, {"base_ckpt": None}, []),
        ("out", 0, 0, {"base_ckpt": ""}, ["--base-ckpt", ""]),
        ("", 2**64 - 1, 2**32 - 1, {"base_ckpt": "ck/last.pt"}, ["--base-ckpt", "ck/last.pt"]),
        ("dir with blanks 'q' \"dq\" $HOME; rm -rf x `id` *", 5, True, {}, []),
        ("--steps", 5, 1, {"base_ckpt": "--"}, ["--base-ckpt", "--"]),
        ("r\u00e9sum\u00e9/\U0001F600", 1, 1, {"base_ckpt": "\u00a0\n\t"}, ["--base-ckpt", "\u00a0\n\t"]),
    ],
)
def test_argument_vector_is_exact(fake_cargo, config, out, steps, seed, kwargs, tail):
    assert train_from_config(config, out, steps, seed, **kwargs) is None
    expected = trainer_args(config, out, str(int(steps)), str(int(seed)), *tail)
    assert fake_cargo.argv() == expected


def test_positional_none_checkpoint_is_absent(fake_cargo, config):
    assert train_from_config(config, "out", 3, 4, None) is None
    assert fake_cargo.argv() == trainer_args(config, "out", "3", "4")


def test_child_inherits_cwd_and_environment(fake_cargo, write_config, tmp_path, monkeypatch):
    cwd_log = tmp_path / "cwd.txt"
    monkeypatch.setenv("FAKE_CARGO_CWD_LOG", str(cwd_log))
    work = tmp_path / "work"
    work.mkdir()
    (work / "rel.yaml").write_text("a: 1\n")
    monkeypatch.chdir(work)
    assert train_from_config("rel.yaml", "out", 1, 1) is None
    assert cwd_log.read_text() == str(work)
    assert fake_cargo.argv()[9] == "rel.yaml"


def test_sigpipe_is_default_in_the_child(fake_cargo, config, tmp_path, monkeypatch):
    log = tmp_path / "sigpipe.txt"
    monkeypatch.setenv("FAKE_CARGO_SIGPIPE_LOG", str(log))
    assert signal.getsignal(signal.SIGPIPE) == signal.SIG_IGN  # the interpreter's own setting
    assert train_from_config(config, "out", 1, 1) is None
    assert log.read_text() == "default"


@pytest.mark.parametrize(
    "kwargs",
    [{"output_dir": "a\0b"}, {"base_ckpt": "\0"}, {"base_ckpt": "ck\0pt", "output_dir": "x"}],
)
def test_nul_refused_before_anything_starts(fake_cargo, config, kwargs):
    args = {"output_dir": "out", "steps": 1, "seed": 1} | kwargs
    with pytest.raises(RuntimeError) as info:
        train_from_config(config, **args)
    assert str(info.value) == LAUNCH_FAILED + "nul byte found in provided data"
    assert fake_cargo.argv() is None
    assert_no_children()


@needs_spawn_exec_errors
def test_missing_cargo_is_a_start_failure(no_cargo, config):
    with pytest.raises(RuntimeError) as info:
        train_from_config(config, "out", 1, 1)
    assert str(info.value) == LAUNCH_FAILED + os_text(errno.ENOENT)


@needs_spawn_exec_errors
def test_unexecutable_cargo_is_a_start_failure(tmp_path, monkeypatch, config):
    bindir = tmp_path / "bin"
    bindir.mkdir()
    (bindir / "cargo").write_bytes(b"\x7fELF-not-really")
    (bindir / "cargo").chmod(0o755)
    monkeypatch.setenv("PATH", str(bindir))
    with pytest.raises(RuntimeError) as info:
        train_from_config(config, "out", 1, 1)
    assert str(info.value) == LAUNCH_FAILED + os_text(errno.ENOEXEC)
    assert_no_children()


@pytest.mark.parametrize("code", [1, 2, 3, 101, 255])
def test_nonzero_exit(fake_cargo, config, code):
    fake_cargo.exits_with(code)
    with pytest.raises(RuntimeError) as info:
        train_from_config(config, "out", 1, 1)
    assert str(info.value) == EXITED + f"exit status: {code}"
    assert fake_cargo.argv() is not None
    assert_no_children()


@pytest.mark.parametrize(
    "signo, text",
    [
        (signal.SIGKILL, "signal: 9 (SIGKILL)"),
        (signal.SIGTERM, "signal: 15 (SIGTERM)"),
        (signal.SIGPIPE, "signal: 13 (SIGPIPE)"),
        (signal.SIGUSR1, "signal: 10 (SIGUSR1)"),
        (34, "signal: 34"),
    ],
)
def test_killed_by_signal(fake_cargo, config, signo, text):
    fake_cargo.dies_by(signo)
    with pytest.raises(RuntimeError) as info:
        train_from_config(config, "out", 1, 1)
    assert str(info.value) == EXITED + text


def test_core_dump_is_reported(fake_cargo, config, tmp_path, monkeypatch):
    if open("/proc/sys/kernel/core_pattern").read().startswith("|"):
        pytest.skip("core dumps are piped to a handler here; the core flag depends on it")
    monkeypatch.chdir(tmp_path)  # the core file lands in the child's working directory
    fake_cargo.dies_by(signal.SIGSEGV, core=True)
    with pytest.raises(RuntimeError) as info:
        train_from_config(config, "out", 1, 1)
    assert str(info.value) == EXITED + "signal: 11 (SIGSEGV) (core dumped)"


def test_ignored_sigchld_makes_the_wait_fail_with_echild(fake_cargo, config):
    fake_cargo.exits_with(3)  # never seen: the kernel reaps the child itself
    previous = signal.signal(signal.SIGCHLD, signal.SIG_IGN)
    try:
        with pytest.raises(RuntimeError) as info:
            train_from_config(config, "out", 1, 1)
    finally:
        signal.signal(signal.SIGCHLD, previous)
    assert str(info.value) == LAUNCH_FAILED + os_text(errno.ECHILD)
    assert fake_cargo.argv() is not None


def test_signal_during_the_wait_neither_ends_nor_changes_it(fake_cargo, config):
    fired = []
    previous = signal.signal(signal.SIGALRM, lambda *_: fired.append(True))
    fake_cargo.sleeps(300)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.05, 0.05)  # many interruptions of waitpid
        assert train_from_config(config, "out", 1, 1) is None
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    assert fired, "the handler runs once the call has returned"
    assert_no_children()


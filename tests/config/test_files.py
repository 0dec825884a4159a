"""Existence, reading and the suffix test of config files."""

import errno
import os
import subprocess
import sys
import shutil
import tempfile
from pathlib import Path

import pytest

from conftest import os_text, raises_exactly
from solvarinth_trainer import train_from_config

NOT_FOUND = "Config file not found: "
READ_FAILED = "Failed to read config: "
BAD_SUFFIX = "Config must be .json or .yaml"


def expect(exc, message, path):
    return raises_exactly(exc, message, train_from_config, path, "out", 1, 1)


# The tables are module constants: tests/cli/test_check_command.py runs their cases through
# solvarinth-check as well.
NOT_FOUND_PATHS = [
    lambda d: str(d / "missing.json"),
    lambda d: (os.symlink(d / "nowhere.json", d / "dangling.json"), str(d / "dangling.json"))[1],
    lambda d: str(d / "file.json" / "below.json"),
    lambda d: str(d / "with\0nul.json"),
    lambda d: "",
    lambda d: str(d / ("x" * 300 + ".json")),
    lambda d: (os.symlink("loop.json", d / "loop.json"), str(d / "loop.json"))[1],
]
NOT_FOUND_IDS = ["missing", "dangling-link", "not-a-directory", "nul", "empty", "name-too-long", "link-loop"]


@pytest.mark.parametrize("make", NOT_FOUND_PATHS, ids=NOT_FOUND_IDS)
def test_not_found(tmp_path, make, fake_cargo):
    (tmp_path / "file.json").write_text("{}")
    path = make(tmp_path)
    error = expect(FileNotFoundError, NOT_FOUND + path, path)
    assert error.errno is None and error.filename is None
    assert fake_cargo.argv() is None


def test_missing_file_with_bad_suffix_is_not_found(tmp_path):
    path = str(tmp_path / "config.txt")
    expect(FileNotFoundError, NOT_FOUND + path, path)


READ_AND_SUFFIX_FAILURES = [
    ("latin1.json", "caf\xe9".encode("latin-1"), OSError, READ_FAILED + "stream did not contain valid UTF-8"),
    ("latin1.txt", b"\xff", OSError, READ_FAILED + "stream did not contain valid UTF-8"),
    ("surrogate.yaml", b"\xed\xa0\x80", OSError, READ_FAILED + "stream did not contain valid UTF-8"),
    ("overlong.json", b"\xc0\xaf", OSError, READ_FAILED + "stream did not contain valid UTF-8"),
    ("truncated.json", b'"\xe2\x82', OSError, READ_FAILED + "stream did not contain valid UTF-8"),
    ("config.txt", b"{}", ValueError, BAD_SUFFIX),
    ("config.JSON", b"{}", ValueError, BAD_SUFFIX),
    ("config.json ", b"{}", ValueError, BAD_SUFFIX),
    ("config.json.bak", b"{}", ValueError, BAD_SUFFIX),
    ("config.Yaml", b"a: 1", ValueError, BAD_SUFFIX),
    ("json", b"{}", ValueError, BAD_SUFFIX),
]


@pytest.mark.parametrize("name, content, exc, message", READ_AND_SUFFIX_FAILURES)
def test_read_and_suffix_failures(write_config, name, content, exc, message):
    path = write_config(name, content)
    error = expect(exc, message, path)
    if exc is OSError:
        assert error.errno is None


ACCEPTED_NAMES = [".json", "a.yml", "a.yaml", "dir.d/a.json", "b\u00e9.json"]


@pytest.mark.parametrize("name", ACCEPTED_NAMES)
def test_accepted_names(write_config, name, fake_cargo):
    path = write_config(name, "{}" if name.endswith(".json") else "a: 1")
    assert train_from_config(path, "out", 1, 1) is None
    assert fake_cargo.argv()[9] == path


def test_directory_named_like_json(tmp_path):
    directory = tmp_path / "conf.json"
    directory.mkdir()
    expect(OSError, READ_FAILED + os_text(errno.EISDIR), str(directory))


def test_symlink_is_followed_and_its_own_name_decides(tmp_path, fake_cargo):
    target = tmp_path / "real.txt"
    target.write_text('{"lr": 0.1}')
    link = tmp_path / "link.json"
    link.symlink_to(target)
    assert train_from_config(str(link), "out", 1, 1) is None
    reverse = tmp_path / "reverse.txt"
    reverse.symlink_to(tmp_path / "link.json")
    expect(ValueError, BAD_SUFFIX, str(reverse))


def test_relative_path_resolves_against_cwd(tmp_path, monkeypatch, fake_cargo):
    (tmp_path / "rel.json").write_text("[]")
    monkeypatch.chdir(tmp_path)
    assert train_from_config("rel.json", "out", 1, 1) is None
    assert fake_cargo.argv()[9] == "rel.json"


def run_unprivileged(path):
    """Calls train_from_config as an unprivileged user in a forked child (tests run as root);
    returns (exception class name, message)."""
    read_end, write_end = os.pipe()
    pid = os.fork()
    if pid == 0:
        try:
            os.close(read_end)
            os.setgroups([])
            os.setgid(65534)
            os.setuid(65534)
            try:
                train_from_config(path, "out", 1, 1)
                result = "None\0"
            except Exception as e:  # reported to the parent
                result = f"{type(e).__name__}\0{e}"
            os.write(write_end, result.encode("utf-8", "surrogateescape"))
        finally:
            os._exit(0)
    os.close(write_end)
    with os.fdopen(read_end, "rb") as pipe:
        data = pipe.read().decode()
    os.waitpid(pid, 0)
    kind, _, message = data.partition("\0")
    return kind, message


@pytest.fixture
def open_dir():
    """A directory every user can search (pytest's own tmp_path sits under a private one)."""
    path = Path(tempfile.mkdtemp(prefix="solvarinth-"))
    path.chmod(0o755)
    yield path
    for sub in path.rglob("*"):
        if sub.is_dir():
            sub.chmod(0o755)
    shutil.rmtree(path)


@pytest.mark.skipif(os.geteuid() != 0, reason="needs root to drop privileges")
def test_permission_denied_file_is_a_read_error_whatever_its_suffix(open_dir):
    path = open_dir / "secret.txt"
    path.write_text("{}")
    path.chmod(0o000)
    assert run_unprivileged(str(path)) == ("OSError", READ_FAILED + os_text(errno.EACCES))


@pytest.mark.skipif(os.geteuid() != 0, reason="needs root to drop privileges")
def test_unsearchable_directory_is_not_found(open_dir):
    locked = open_dir / "locked"
    locked.mkdir()
    (locked / "c.json").write_text("{}")
    locked.chmod(0o000)
    path = str(locked / "c.json")
    assert run_unprivileged(path) == ("FileNotFoundError", NOT_FOUND + path)


def test_unsized_file_is_read_whole(fake_cargo, tmp_path):
    # A FIFO reports no size; the reader must still grow its buffer and read to the end.
    fifo = tmp_path / "pipe.json"
    os.mkfifo(fifo)
    payload = b"[" + b"1," * 50000 + b"1]"
    pid = os.fork()
    if pid == 0:
        try:
            with open(fifo, "wb") as f:
                f.write(payload)
        finally:
            os._exit(0)
    try:
        assert train_from_config(str(fifo), "out", 1, 1) is None
    finally:
        os.waitpid(pid, 0)


MIB = 1 << 20


@pytest.mark.parametrize("size", [4 * MIB - 2, 4 * MIB - 1, 4 * MIB, 6 * MIB + 1])
@pytest.mark.parametrize("last", [b"]", b"\xff", b"}"])
def test_large_files_are_read_to_their_last_byte(write_config, fake_cargo, size, last):
    # Sizes around the point where the reader switches to a huge-page buffer; the verdict
    # depends on the very last byte only.
    body = b"[" + b" " * (size - 2)
    path = write_config("c.json", body + last)
    if last == b"]":
        assert train_from_config(path, "out", 1, 1) is None
    elif last == b"\xff":
        expect(OSError, READ_FAILED + "stream did not contain valid UTF-8", path)
    else:
        expect(ValueError, f"Invalid JSON config: expected value at line 1 column {size}", path)


# A FIFO blocks the open until a writer comes, and the read until it writes. A signal meanwhile
# interrupts the system call: a handler that returns lets the call go on as if nothing happened,
# one that raises ends it with that exception, as the interpreter's own blocking calls do.
SIGNAL_CHILD = r"""
import os, signal, sys, time
from solvarinth_trainer import train_from_config
fifo, stage, handler = sys.argv[1:]
ticks = []
writer = os.fork()
if writer == 0:
    # Opens at once when the read is to block, late when the open is; writes only late, and
    # never when a raising handler is to end the wait.
    time.sleep(0.05 if stage == "read" else 0.5)
    if handler == "raises" and stage == "open":
        time.sleep(60)
    while True:
        try:
            fd = os.open(fifo, os.O_WRONLY | os.O_NONBLOCK)
            break
        except OSError:
            time.sleep(0.01)
    time.sleep(0.5 if handler == "returns" else 60)
    os.write(fd, b"a: 1\n")
    os._exit(0)
if handler == "returns":
    signal.signal(signal.SIGALRM, lambda *a: ticks.append(1))
    signal.setitimer(signal.ITIMER_REAL, 0.02, 0.02)
else:
    signal.signal(signal.SIGALRM, signal.default_int_handler)
    signal.setitimer(signal.ITIMER_REAL, 0.3)
try:
    result = repr(train_from_config(fifo, "out", 1, 1))
except BaseException as e:
    result = type(e).__name__
signal.setitimer(signal.ITIMER_REAL, 0)
os.kill(writer, signal.SIGKILL)
print(result, len(ticks) > 3)
"""


@pytest.mark.parametrize("stage", ["open", "read"])
@pytest.mark.parametrize("handler, expected", [("returns", "None True"), ("raises", "KeyboardInterrupt False")])
def test_signals_during_a_blocked_open_or_read(tmp_path, fake_cargo, stage, handler, expected):
    fifo = tmp_path / "pipe.yaml"
    os.mkfifo(fifo)
    done = subprocess.run([sys.executable, "-c", SIGNAL_CHILD, str(fifo), stage, handler],
                          capture_output=True, text=True, timeout=30)
    assert (done.stdout.strip(), done.returncode) == (expected, 0), done.stderr

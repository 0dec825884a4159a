"""Shared fixtures: the module under test, a fake cargo on PATH, config files, leak probes."""

import os
import resource
import shlex
import shutil
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

import pytest

import solvarinth_trainer

MANIFEST = "/home/runner/work/quillon_yard/quillon_yard/Cargo.toml"
# The whole suite also runs against an AddressSanitizer build (scripts/sanitize.sh preloads the
# runtime): its allocator reserves terabytes of address space and grows its own pools, so address
# space limits and RSS figures mean nothing there.
UNDER_ASAN = "ASAN_OPTIONS" in os.environ or "libasan" in os.environ.get("LD_PRELOAD", "")
SUPPORT = Path(__file__).parent / "support"
QEMU = "qemu-user, which runs the aarch64 wheels' tests on an x86_64 machine,"


def _address_space_limit_holds():
    """Whether an allocation beyond RLIMIT_AS fails here. The kernel always enforces the limit;
    qemu-user does not pass it on (it would bind qemu's own memory), so it never holds there."""
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    with open("/proc/self/status") as status:
        size = next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize:"))
    limit = size + (64 << 20)
    if hard != resource.RLIM_INFINITY and hard < limit:
        return True
    resource.setrlimit(resource.RLIMIT_AS, (limit, hard))
    try:
        bytearray(512 << 20)
        return False
    except MemoryError:
        return True
    finally:
        resource.setrlimit(resource.RLIMIT_AS, (soft, hard))


def _spawn_reports_exec_errors():
    """Whether posix_spawn returns the errno of a failed exec, as glibc's does: its child shares
    the parent's memory (CLONE_VM | CLONE_VFORK) to hand the errno back. qemu-user runs such a
    clone as a plain fork, the errno stays in the child, which exits 127, and the spawn succeeds."""
    try:
        pid = os.posix_spawn("/nonexistent/solvarinth-probe", ["probe"], {})
    except FileNotFoundError:
        return True
    os.waitpid(pid, 0)
    return False


# Limits of the machine the tests run on, not of the module: the tests that need what is missing
# are skipped with the reason, and run everywhere else. ASan reserves terabytes of shadow address
# space up front, so the address-space probe would mean nothing under it.
ADDRESS_SPACE_LIMIT_IGNORED = not UNDER_ASAN and not _address_space_limit_holds()
SPAWN_LOSES_EXEC_ERRORS = not _spawn_reports_exec_errors()
needs_spawn_exec_errors = pytest.mark.skipif(
    SPAWN_LOSES_EXEC_ERRORS,
    reason=f"posix_spawn here does not report a failed exec's errno ({QEMU} runs vfork as fork)")


def argv_prefix():
    """The fixed head of the trainer command line, up to the trainer's own options."""
    return ["cargo", "run", "--manifest-path", MANIFEST, "--release", "--bin", "train_generic", "--"]


@pytest.fixture(scope="session")
def fake_cargo_binary(tmp_path_factory):
    # $CC first: the aarch64 wheels' tests build it with a cross compiler, not under emulation.
    cc = shlex.split(os.environ.get("CC", "")) or [shutil.which("cc") or shutil.which("gcc")]
    if cc[0] is None:
        pytest.fail("a C compiler is needed to build the fake cargo")
    bindir = tmp_path_factory.mktemp("fakebin")
    subprocess.run([*cc, "-O1", "-o", str(bindir / "cargo"), str(SUPPORT / "fake_cargo.c")], check=True)
    return bindir


@pytest.fixture(scope="session")
def guard_bin(tmp_path_factory):
    bindir = tmp_path_factory.mktemp("guardbin")
    guard = bindir / "cargo"
    guard.write_text("#!/bin/sh\necho 'tests must not run the real cargo' >&2\nexit 97\n")
    guard.chmod(0o755)
    return bindir


@pytest.fixture(autouse=True)
def never_the_real_cargo(guard_bin, monkeypatch):
    """Shadows any real cargo on PATH: a test that launches without a fake gets exit status 97."""
    monkeypatch.setenv("PATH", f"{guard_bin}{os.pathsep}{os.environ.get('PATH', '')}")


@dataclass
class FakeCargo:
    bindir: Path
    log: Path
    monkeypatch: pytest.MonkeyPatch

    def argv(self):
        """The argument vector the last child received, or None if no child ran."""
        if not self.log.exists():
            return None
        data = self.log.read_bytes()
        assert data.endswith(b"\0")
        return [entry.decode("utf-8") for entry in data[:-1].split(b"\0")]

    def exits_with(self, code):
        self.monkeypatch.setenv("FAKE_CARGO_EXIT", str(code))

    def dies_by(self, signo, core=False):
        self.monkeypatch.setenv("FAKE_CARGO_SIGNAL", str(signo))
        if core:
            self.monkeypatch.setenv("FAKE_CARGO_CORE", "1")

    def sleeps(self, ms):
        self.monkeypatch.setenv("FAKE_CARGO_SLEEP_MS", str(ms))


@pytest.fixture
def fake_cargo(fake_cargo_binary, tmp_path, monkeypatch):
    """Puts the recording fake cargo first on PATH for one test."""
    log = tmp_path / "cargo-argv.bin"
    monkeypatch.setenv("PATH", f"{fake_cargo_binary}{os.pathsep}{os.environ.get('PATH', '')}")
    monkeypatch.setenv("FAKE_CARGO_LOG", str(log))
    for name in ("FAKE_CARGO_EXIT", "FAKE_CARGO_SIGNAL", "FAKE_CARGO_CORE", "FAKE_CARGO_SLEEP_MS",
                 "FAKE_CARGO_CWD_LOG", "FAKE_CARGO_SIGPIPE_LOG",
                 "FAKE_CARGO_TIMES", "FAKE_CARGO_OUTPUT_BYTES", "FAKE_CARGO_SIGNAL_PARENT",
                 "FAKE_CARGO_EXIT_FROM_SEED"):
        monkeypatch.delenv(name, raising=False)
    return FakeCargo(fake_cargo_binary, log, monkeypatch)


@pytest.fixture
def no_cargo(tmp_path, monkeypatch):
    """A PATH on which no cargo can be found."""
    empty = tmp_path / "empty-bin"
    empty.mkdir()
    monkeypatch.setenv("PATH", str(empty))


@pytest.fixture
def write_config(tmp_path):
    """write_config(name, text_or_bytes) -> path string of a new file in the test's directory."""

    def write(name, content):
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        if isinstance(content, str):
            content = content.encode("utf-8")
        path.write_bytes(content)
        return str(path)

    return write


@pytest.fixture
def train(tmp_path):
    """train(config_path, **overrides): calls train_from_config with valid defaults."""

    def call(config_path, output_dir=None, steps=10, seed=1, **kwargs):
        out = str(tmp_path / "out") if output_dir is None else output_dir
        return solvarinth_trainer.train_from_config(config_path, out, steps, seed, **kwargs)

    return call


def os_text(number):
    """The module's text for an OS error number: the system's message and the number."""
    return f"{os.strerror(number)} (os error {number})"


def raises_exactly(exc, message, fn, *args, **kwargs):
    """Calls fn, which must raise exactly class exc (not a subclass) with the message as its only
    argument (message None: any text). Returns the exception."""
    with pytest.raises(exc) as info:
        fn(*args, **kwargs)
    assert type(info.value) is exc, f"{type(info.value).__name__}: {info.value}"
    if message is not None:
        assert str(info.value) == message
        assert info.value.args == (message,)
    return info.value


def open_fds():
    return len(os.listdir("/proc/self/fd"))


def rss_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * (os.sysconf("SC_PAGE_SIZE") // 1024)


def assert_no_children():
    """Fails if this process has any child, running or unreaped."""
    try:
        pid, _ = os.waitpid(-1, os.WNOHANG)
    except ChildProcessError:
        return
    pytest.fail(f"a child process was left behind (pid {pid})")


def most_at_once(intervals):
    """The largest number of (start, end) intervals running at the same moment."""
    edges = sorted([(start, 1) for start, _ in intervals] + [(end, -1) for _, end in intervals])
    running = peak = 0
    for _, step in edges:
        running += step
        peak = max(peak, running)
    return peak


def run_python(code, **kwargs):
    """Runs code in a fresh interpreter of the same kind, returning the CompletedProcess."""
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60, **kwargs)

"""Memory exhaustion while checking a config, in a child interpreter under an address-space limit:
the read reports it as OSError, every parser ends in the internal-fault abort, never a crash."""

import signal

import pytest

from conftest import ADDRESS_SPACE_LIMIT_IGNORED, QEMU, UNDER_ASAN, run_python

MIB = 1 << 20

# ASan reserves terabytes of shadow address space up front: it cannot run under RLIMIT_AS.
pytestmark = pytest.mark.skipif(
    UNDER_ASAN or ADDRESS_SPACE_LIMIT_IGNORED,
    reason="AddressSanitizer cannot run under an address-space limit" if UNDER_ASAN
    else f"RLIMIT_AS does not hold here ({QEMU} does not apply it)",
)

# Import first (it maps the module), then allow the current address space plus a headroom.
CHILD = """
import resource, sys, threading
from solvarinth_trainer import train_from_config
with open("/proc/self/status") as status:
    size = next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize:"))
resource.setrlimit(resource.RLIMIT_AS, (size + {headroom}, size + {headroom}))
def call():
    try:
        print("returned", train_from_config({path!r}, "out", 1, 1))
    except Exception as error:
        print(type(error).__name__, error)
if {in_thread}:
    worker = threading.Thread(target=call)
    worker.start()
    worker.join()
else:
    call()
"""


def under_limit(path, headroom, tmp_path, in_thread=False):
    return run_python(CHILD.format(path=str(path), headroom=headroom, in_thread=in_thread), cwd=tmp_path)


def long_string(size, tail=""):
    return b'{"s": "' + b"x" * size + b'"' + tail.encode() + b"}"


@pytest.mark.parametrize(
    "name, content, headroom",
    [
        # The text fits once; a number RapidJSON cannot judge needs a second copy of it.
        ("string-and-number.json", long_string(30 * MIB, ', "n": 0e400'), 40 * MIB),
        # Two events for every three bytes, kept because an alias may name the node: the kept
        # events (a few bytes each) outgrow the limit.
        ("dense.yaml", b"&a [" + b"[]," * 5_000_000 + b"[]]", 40 * MIB),
        # One scalar, never copied by the check: libyaml's own growing buffer for it outgrows
        # the limit (it fits from about 70 MiB on) ...
        ("scalar.yaml", b"k: " + b"x" * 30 * MIB, 50 * MIB),
        # ... and a limit barely above the text.
        ("scalar-tight.yaml", b"k: " + b"x" * 30 * MIB, 40 * MIB),
    ],
)
def test_parsers_out_of_memory_abort_with_the_diagnostic(tmp_path, fake_cargo, name, content, headroom):
    path = tmp_path / name
    path.write_bytes(content)
    child = under_limit(path, headroom, tmp_path)
    assert child.returncode == -signal.SIGABRT, (child.returncode, child.stdout, child.stderr[-2000:])
    assert "solvarinth_trainer: internal fault: out of memory" in child.stderr
    assert fake_cargo.argv() is None


def many_anchors(size):
    """About size bytes: a sequence of distinct anchored empty sequences. The check keeps each
    anchor and its node for the aliases that may follow, several times the text's size, in many
    small blocks, so memory runs out on a small allocation with hardly a byte left."""
    return ("[" + ",".join(f"&a{i} []" for i in range(size // 10)) + "]").encode()


@pytest.mark.parametrize(
    "headroom, size, in_thread",
    [
        (64 * MIB, 10 * MIB, False),
        (128 * MIB, 20 * MIB, False),
        (256 * MIB, 40 * MIB, False),
        # A thread of the interpreter other than the one that imported the module.
        (128 * MIB, 20 * MIB, True),
        # The text takes most of the limit: memory runs out within the check's first steps.
        (40 * MIB, 30 * MIB, False),
    ],
)
def test_checking_out_of_memory_aborts_with_the_diagnostic(tmp_path, fake_cargo, headroom, size, in_thread):
    path = tmp_path / "anchors.yaml"
    path.write_bytes(many_anchors(size))
    child = under_limit(path, headroom, tmp_path, in_thread)
    assert child.returncode == -signal.SIGABRT, (child.returncode, child.stdout, child.stderr[-2000:])
    assert "solvarinth_trainer: internal fault: out of memory" in child.stderr
    assert fake_cargo.argv() is None


def test_long_string_needs_no_memory_beyond_the_text(tmp_path, fake_cargo):
    # The reader checks strings where they lie: a string as large as the headroom still passes.
    path = tmp_path / "string.json"
    path.write_bytes(long_string(30 * MIB))
    child = under_limit(path, 40 * MIB, tmp_path)
    assert (child.returncode, child.stdout, child.stderr) == (0, "returned None\n", "")
    assert fake_cargo.argv() is not None


@pytest.mark.parametrize("name", ["big.json", "big.yaml", "big.txt"])
def test_file_larger_than_the_limit_is_an_os_error(tmp_path, fake_cargo, name):
    path = tmp_path / name
    with open(path, "wb") as sparse:
        sparse.truncate(96 * MIB)
    child = under_limit(path, 32 * MIB, tmp_path)
    assert (child.returncode, child.stdout) == (0, "OSError Failed to read config: out of memory\n"), child.stderr
    assert fake_cargo.argv() is None

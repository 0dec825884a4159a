"""Reference-leak check for the module, run directly by a debug interpreter (python3.X-dbg):

    python3.14d tests/refleak/check_refleaks.py [--calls N] [--warmups W] [--runs R] [-k TEXT]

Each outcome kind (a success or one exception of each class, from train_from_config and from every
TrainerConfig operation) runs in W + R batches of N calls; after each batch the cyclic garbage is
collected and sys.gettotalrefcount(), sys.getallocatedblocks() and the open descriptors are read.
As in CPython's own -R runs, the warm-up batches are not judged (caches, interned strings and
allocator pools fill there), a kind leaks references or memory blocks when every judged batch
grew (one steady leak per call grows each batch by at least N; a stray +3 in one batch is noise),
and it leaks descriptors when any judged batch changed their number. Prints one table line per
kind and exits 1 on a leak, 2 when a kind did not end as it claims.

A module compiled without Py_DEBUG (the release pyconfig.h) fails here too, by one reference per
reference it drops that the interpreter took: its inlined decrements bypass the total.

Every child the module starts is a fake cargo compiled from tests/support/fake_cargo.c, first on
PATH; the real cargo is never run. Not collected by pytest: release builds lack the counters.
"""

import argparse
import ctypes
import gc
import os
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

import solvarinth_trainer
from solvarinth_trainer import TrainerConfig, train_from_config

SUPPORT = Path(__file__).resolve().parent.parent / "support"


class IndexRaises:
    def __index__(self):
        raise ValueError("no index")


class Index:
    def __index__(self):
        return 3


def ends_as(exc, call):
    """None when call ends as claimed: returns (exc None) or raises exactly exc; else what it did."""
    try:
        call()
    except BaseException as error:  # noqa: BLE001 - any other ending is the answer
        return None if type(error) is exc else f"{type(error).__name__}: {error}"
    return None if exc is None else "returned"


def repeated(exc, call, count):
    """A zero-argument callable making count calls, each catching what it must raise."""
    batch = range(count)
    if exc is None:
        def run():
            for _ in batch:
                call()
    else:
        def run():
            for _ in batch:
                try:
                    call()
                except exc:
                    pass
    return run


def borrow_flag(cfg):
    # The access counter is the instance's last word; writing it stands for an access in progress.
    return ctypes.c_ssize_t.from_address(id(cfg) + TrainerConfig.__basicsize__ - ctypes.sizeof(ctypes.c_ssize_t))


def make_files(tmp):
    def write(name, content):
        path = tmp / name
        path.write_bytes(content.encode() if isinstance(content, str) else content)
        return str(path)

    (tmp / "dir.json").mkdir()
    return {
        "good": write("good.json", '{"lr": 0.1}'),
        "good_yaml": write("good.yaml", "lr: 0.1\n"),
        "missing": str(tmp / "missing.json"),
        "directory": str(tmp / "dir.json"),
        "suffix": write("c.txt", "{}"),
        "json": write("bad.json", '{"a": [1, 2'),
        "yaml": write("dup.yaml", "a: 1\na: 2\n"),
        "utf8": write("latin1.json", b'{"a": "\xe9"}'),
        "out": str(tmp / "out"),
    }


def cases(files, env):
    """(name, exception class or None, callable, environment changes, starts a child) for each
    outcome kind."""
    good, out = files["good"], files["out"]
    t = train_from_config
    spawn = [
        ("train: success", None, lambda: t(good, out, 1, 2), {}),
        ("train: success (YAML, base_ckpt)", None, lambda: t(files["good_yaml"], out, 1, 2, "ck"), {}),
        ("train: RuntimeError exit status", RuntimeError, lambda: t(good, out, 1, 2), {"FAKE_CARGO_EXIT": "3"}),
        ("train: RuntimeError signal", RuntimeError, lambda: t(good, out, 1, 2),
         {"FAKE_CARGO_SIGNAL": str(int(signal.SIGTERM))}),
    ]
    calls = [
        ("train: RuntimeError launch failure", RuntimeError, lambda: t(good, out, 1, 2), {"PATH": env["empty"]}),
        ("train: FileNotFoundError", FileNotFoundError, lambda: t(files["missing"], out, 1, 2)),
        ("train: OSError read failure", OSError, lambda: t(files["directory"], out, 1, 2)),
        ("train: ValueError suffix", ValueError, lambda: t(files["suffix"], out, 1, 2)),
        ("train: ValueError JSON", ValueError, lambda: t(files["json"], out, 1, 2)),
        ("train: ValueError YAML duplicate key", ValueError, lambda: t(files["yaml"], out, 1, 2)),
        ("train: OSError invalid UTF-8", OSError, lambda: t(files["utf8"], out, 1, 2)),
        ("train: RuntimeError NUL in output_dir", RuntimeError, lambda: t(good, "a\0b", 1, 2)),
        ("train: TypeError too many positional", TypeError, lambda: t(1, 2, 3, 4, 5, 6)),
        ("train: TypeError missing argument", TypeError, lambda: t("c")),
        ("train: TypeError unexpected keyword", TypeError, lambda: t("c", "o", 1, 2, bogus=1)),
        ("train: TypeError multiple values", TypeError, lambda: t("c", "o", 1, 2, config_path="c")),
        ("train: TypeError argument 'config_path'", TypeError, lambda: t(1, out, 1, 2)),
        ("train: TypeError argument 'steps' (index)", TypeError, lambda: t(good, out, 1.5, 2)),
        ("train: TypeError argument 'base_ckpt'", TypeError, lambda: t(good, out, 1, 2, b"ck")),
        ("train: ValueError from __index__", ValueError, lambda: t(good, out, IndexRaises(), 2)),
        ("train: OverflowError seed (module)", OverflowError, lambda: t(good, out, 1, 2**40)),
        ("train: OverflowError steps (interpreter)", OverflowError, lambda: t(good, out, 2**70, 2)),
        ("train: UnicodeEncodeError surrogate", UnicodeEncodeError, lambda: t("\udc80", out, 1, 2)),
    ]
    cfg = TrainerConfig("runs/a.yaml", "out", 1000, 7, "ck")
    plain = TrainerConfig("a", "b", 1, 2)
    calls += [
        ("config: construct", None, lambda: TrainerConfig("a", "b", 1, 2, "ck")),
        ("config: construct by keyword", None,
         lambda: TrainerConfig(config_path="a", output_dir="b", steps=1, seed=2)),
        ("config: repr", None, lambda: repr(cfg)),
        ("config: repr without base_ckpt", None, lambda: repr(plain)),
        ("config: TypeError construct (argument)", TypeError, lambda: TrainerConfig("a", "b", "1", 2)),
        ("config: TypeError construct (missing)", TypeError, lambda: TrainerConfig("a")),
        ("config: TypeError construct (keyword)", TypeError, lambda: TrainerConfig("a", "b", 1, 2, bogus=1)),
        ("config: OverflowError construct", OverflowError, lambda: TrainerConfig("a", "b", -1, 2)),
        ("config: base_ckpt None", None, lambda: plain.base_ckpt),
    ]
    for field, value, bad, error in [
        ("config_path", "x.yaml", 1, TypeError),
        ("output_dir", "o2", b"o", TypeError),
        ("steps", 5, 1.5, TypeError),
        ("seed", 9, 2**40, OverflowError),
        ("base_ckpt", None, 5, TypeError),
    ]:
        calls += [
            (f"config: get {field}", None, lambda f=field: getattr(cfg, f)),
            (f"config: set {field}", None, lambda f=field, v=value: setattr(cfg, f, v)),
            (f"config: {error.__name__} set {field}", error, lambda f=field, b=bad: setattr(cfg, f, b)),
            (f"config: AttributeError del {field}", AttributeError, lambda f=field: delattr(cfg, f)),
        ]
    calls += [
        ("config: set steps by __index__", None, lambda: setattr(cfg, "steps", Index())),
        ("config: set seed by __index__", None, lambda: setattr(cfg, "seed", Index())),
        ("config: OverflowError set steps < 0", OverflowError, lambda: setattr(cfg, "steps", -1)),
        ("config: RuntimeError set while read", RuntimeError, lambda: setattr(env["held"], "steps", 1)),
        ("config: RuntimeError get while written", RuntimeError, lambda: env["written"].steps),
        ("config: RuntimeError repr while written", RuntimeError, lambda: repr(env["written"])),
    ]
    return [(*case, {}, False) if len(case) == 3 else (*case, False) for case in calls] + \
        [(*case, True) for case in spawn]


def counters():
    gc.collect()
    return sys.gettotalrefcount(), sys.getallocatedblocks(), len(os.listdir("/proc/self/fd"))


def measure(batch, warmups, runs):
    """Deltas of references, blocks and descriptors for each judged batch. The lists are made
    first and small deltas are immortal ints, so the bookkeeping itself holds the same number
    of references after every batch."""
    clear_caches = getattr(sys, "_clear_internal_caches", None) or sys._clear_type_cache
    refs, blocks, fds = [0] * runs, [0] * runs, [0] * runs
    clear_caches()
    before = counters()
    for i in range(warmups + runs):
        batch()
        clear_caches()
        after = counters()
        if i >= warmups:
            j = i - warmups
            refs[j], blocks[j], fds[j] = after[0] - before[0], after[1] - before[1], after[2] - before[2]
        before = after
    return refs, blocks, fds


def leaks(refs, blocks, fds):
    """CPython -R's rules: growth in every judged batch for references and blocks, any change
    at all for descriptors."""
    return [what for what, grew in [("refs", all(d >= 1 for d in refs)), ("blocks", all(d >= 1 for d in blocks)),
                                    ("fds", any(fds))] if grew]


def fake_cargo_dir(tmp):
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        sys.exit("a C compiler is needed to build the fake cargo")
    bindir = tmp / "fakebin"
    bindir.mkdir()
    subprocess.run([cc, "-O1", "-o", str(bindir / "cargo"), str(SUPPORT / "fake_cargo.c")], check=True)
    return str(bindir)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--calls", type=int, default=100, help="calls per batch (default 100)")
    parser.add_argument("--spawn-calls", type=int, default=10, help="calls per batch that start a child")
    parser.add_argument("--warmups", type=int, default=3)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("-k", dest="only", default="", help="only the kinds whose name contains this")
    args = parser.parse_args()
    if not hasattr(sys, "gettotalrefcount"):
        sys.exit("this check needs a debug interpreter (sys.gettotalrefcount)")

    with tempfile.TemporaryDirectory() as tmpdir:
        tmp = Path(tmpdir)
        empty = tmp / "empty-bin"
        empty.mkdir()
        for name in [n for n in os.environ if n.startswith("FAKE_CARGO_")]:
            del os.environ[name]
        os.environ["PATH"] = fake_cargo_dir(tmp) + os.pathsep + os.environ.get("PATH", "")
        log = tmp / "argv.bin"  # written by the fake: proof that the child was the fake
        os.environ["FAKE_CARGO_LOG"] = str(log)
        held, written = TrainerConfig("a", "b", 1, 2), TrainerConfig("a", "b", 1, 2)
        env = {"empty": str(empty), "held": held, "written": written}
        borrow_flag(held).value = 1
        borrow_flag(written).value = -1
        print(f"{sys.executable} {sys.version.split()[0]}, module {solvarinth_trainer.__file__}")
        print(f"{'outcome kind':46} {'refs':>17} {'blocks':>17} {'fds':>9}  per call")
        leaked, wrong = [], []
        try:
            for name, exc, call, changes, spawns in cases(make_files(tmp), env):
                if args.only not in name:
                    continue
                saved = {k: os.environ.get(k) for k in changes}
                os.environ.update(changes)
                try:
                    problem = ends_as(exc, call)
                    if problem is None and spawns and not log.exists():
                        problem = "no fake cargo ran"
                    if problem is not None:
                        wrong.append(name)
                        print(f"{name:46} did not end as named: {problem}")
                        continue
                    n = args.spawn_calls if spawns else args.calls
                    refs, blocks, fds = measure(repeated(exc, call, n), args.warmups, args.runs)
                finally:
                    log.unlink(missing_ok=True)
                    for k, v in saved.items():
                        if v is None:
                            os.environ.pop(k, None)
                        else:
                            os.environ[k] = v
                found = leaks(refs, blocks, fds)
                leaked += [name] if found else []
                verdict = "LEAK " + ",".join(found) if found else "ok"
                print(f"{name:46} {str(refs):>17} {str(blocks):>17} {str(fds):>9}  "
                      f"{min(refs) / n:+.2f}  {verdict}", flush=True)
        finally:
            borrow_flag(held).value = 0
            borrow_flag(written).value = 0
    print(f"{len(leaked)} kinds leaked, {len(wrong)} did not end as named")
    for name in leaked:
        print(f"LEAK: {name}")
    return 1 if leaked else 2 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())

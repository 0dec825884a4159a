"""The portable wheel against a g++ build from source, side by side in one run, and import time.

    python bench/builds.py                      # writes the "builds" section of bench/results.md
    python bench/builds.py --baseline REV       # the g++ build of git revision REV instead of the tree
    python bench/builds.py --quick              # few rounds, prints only

Needs the wheel for this interpreter in dist/ (bash scripts/build_wheels.sh) and g++. Two fresh
venvs are made from this interpreter: one with the wheel, one with `pip install` of the source
(g++; libyaml from third_party/, or the system's shared one for a revision from before it). A worker process in each
venv runs the same calls; the two alternate round by round (order flipped every round) and every
figure is a median. Import time is the cumulative `-X importtime` figure of the module, median
of 20 fresh interpreters per build.
"""

from __future__ import annotations

import argparse
import json
import subprocess
import sys
import sysconfig
import venv
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib as bl  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
KIB, MIB = 1 << 10, 1 << 20
SLOWER_LIMIT = 1.05
IMPORT_LIMIT_US = 500
IMPORT_RUNS = 20

# name, what, argument, rounds (full), rounds (quick), calls per round
CASES = [
    ("json-1k", "train_from_config", ("json", 1 * KIB), 60, 6, 20),
    ("json-1m", "train_from_config", ("json", 1 * MIB), 40, 4, 3),
    ("json-50m", "train_from_config", ("json", 50 * MIB), 5, 1, 1),
    ("yaml-1k", "train_from_config", ("yaml", 1 * KIB), 60, 6, 20),
    ("yaml-1m", "train_from_config", ("yaml", 1 * MIB), 20, 2, 1),
    ("yaml-20m", "train_from_config", ("yaml", 20 * MIB), 3, 1, 1),
    # The quoted form looks every non-ASCII character up in the Unicode table.
    ("repr-ascii", "repr", "ck/" + "a" * 1000, 60, 6, 2000),
    ("repr-mixed", "repr", ("é\u0301\u00a0日本\U0001F600\u200b " * 150), 60, 6, 200),
]

WORKER = r"""
import json, sys, time
from solvarinth_trainer import TrainerConfig, train_from_config
cases = {}
for line in sys.stdin:
    req = json.loads(line)
    if req["op"] == "define":
        cases[req["name"]] = req
        print("null", flush=True)
        continue
    case, n = cases[req["name"]], req["calls"]
    clock = time.perf_counter_ns
    if case["what"] == "repr":
        cfg = TrainerConfig("c.json", "out", 1, 2, case["arg"])
        t0 = clock()
        for _ in range(n):
            repr(cfg)
    else:
        path, out = case["arg"], case["out"]
        t0 = clock()
        for _ in range(n):
            train_from_config(path, out, 1000, 7)
    print(json.dumps((clock() - t0) / n), flush=True)
"""


class Worker:
    def __init__(self, python: Path):
        self.proc = subprocess.Popen([str(python), "-c", WORKER], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, cwd="/")

    def ask(self, **request):
        self.proc.stdin.write(json.dumps(request) + "\n")
        self.proc.stdin.flush()
        line = self.proc.stdout.readline()
        if not line:
            raise RuntimeError("benchmark worker died")
        return json.loads(line)

    def close(self):
        self.proc.stdin.close()
        self.proc.wait()


def make_venv(where: Path, install: list[str]) -> Path:
    venv.create(where, with_pip=True)
    python = where / "bin" / "python"
    subprocess.run([str(python), "-m", "pip", "install", "-q", *install], check=True)
    return python


def the_wheel() -> Path:
    tag = f"cp{sys.version_info[0]}{sys.version_info[1]}"
    wheels = sorted((ROOT / "dist").glob(f"solvarinth_trainer-*-{tag}-{tag}-*manylinux_2_17_x86_64.whl"),
                    key=lambda p: p.stat().st_mtime)
    if not wheels:
        sys.exit(f"bench: no {tag} manylinux wheel in dist/; run: bash scripts/build_wheels.sh")
    return wheels[-1]


def source_tree(baseline: str | None, work: Path) -> Path:
    if baseline is None:
        return ROOT
    tree = work / f"src-{baseline}"
    tree.mkdir()
    archive = subprocess.run(["git", "-C", str(ROOT), "archive", baseline], check=True, capture_output=True).stdout
    subprocess.run(["tar", "-x", "-C", str(tree)], input=archive, check=True)
    return tree


def import_us(python: Path) -> list[int]:
    """Cumulative microseconds of the module's import, one fresh interpreter each."""
    times = []
    for _ in range(IMPORT_RUNS):
        err = subprocess.run([str(python), "-X", "importtime", "-c", "import solvarinth_trainer"],
                             capture_output=True, text=True, check=True, cwd="/").stderr
        line = next(ln for ln in err.splitlines() if ln.rstrip().endswith("| solvarinth_trainer"))
        times.append(int(line.split("|")[1]))
    return times


def compare(workers: dict[str, Worker], rounds: int, calls: int, name: str) -> dict[str, list[float]]:
    names = list(workers)
    for who in names:  # warm-up
        workers[who].ask(op="run", name=name, calls=calls)
    times: dict[str, list[float]] = {who: [] for who in names}
    for i in range(rounds):
        for who in (names if i % 2 == 0 else names[::-1]):
            times[who].append(workers[who].ask(op="run", name=name, calls=calls))
    return times


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--baseline", default=None, help="git revision for the g++ build (default: the working tree)")
    parser.add_argument("--quick", action="store_true", help="few rounds, prints only")
    parser.add_argument("--output", type=Path, default=None)
    args = parser.parse_args()
    output = args.output if args.output else (None if args.quick else bl.RESULTS)

    work = bl.scratch_dir("solvarinth-builds-")
    bl.build_tiny(work)
    load_start = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    wheel = the_wheel()
    gcc_label = f"g++ build of {args.baseline or 'the working tree'}"
    print(f"wheel: {wheel.name}\nbaseline: {gcc_label}\nload at start: {load_start}", flush=True)
    pythons = {
        "wheel": make_venv(work / "venv-wheel", [str(wheel)]),
        "g++": make_venv(work / "venv-gcc", [str(source_tree(args.baseline, work))]),
    }
    workers = {who: Worker(py) for who, py in pythons.items()}
    rows = []
    for name, what, arg, full, quick, calls in CASES:
        request = {"op": "define", "name": name, "what": what, "out": str(work / "out"), "arg": arg}
        if what == "train_from_config":
            fmt, size = arg
            request["arg"] = str(bl.write_config(work, name, fmt, size, seed=20240 + size))
        for worker in workers.values():
            worker.ask(**request)
        times = compare(workers, quick if args.quick else full, calls, name)
        w, g = bl.median(times["wheel"]), bl.median(times["g++"])
        rows.append((name, what, len(times["wheel"]), g, w, w / g))
        print(f"{name:11s} g++ {bl.fmt_time(g):>10s}  wheel {bl.fmt_time(w):>10s}  wheel/g++ {w / g:.3f}", flush=True)
    for worker in workers.values():
        worker.close()
    imports = {who: bl.median(import_us(py)) for who, py in pythons.items()}
    for who, us in imports.items():
        print(f"import {who}: median {us:.0f} us over {IMPORT_RUNS} runs", flush=True)
    load_end = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    print(f"load at end: {load_end}")
    if output is not None:
        section = f"builds-{args.baseline}" if args.baseline else "builds"
        write(output, section, rows, imports, wheel, gcc_label, load_start, load_end, args.quick)
        print(f"wrote {output}")
    subprocess.run(["rm", "-rf", str(work)], check=False)
    return 0


def write(output, section, rows, imports, wheel, gcc_label, load_start, load_end, quick):
    slowest = max(rows, key=lambda r: r[5])
    lines = [f"## Portable wheel against the {gcc_label} (`bench/builds.py`)", "",
             f"- Interpreter: Python {sys.version.split()[0]} ({sysconfig.get_platform()})",
             f"- Wheel: `{wheel.name}` ({wheel.stat().st_size:,} B); baseline: {gcc_label}",
             f"- Load at start: `{load_start}`", f"- Load at end: `{load_end}`",
             f"- Command: `python bench/builds.py{' --quick' if quick else ''}"
             f"{' --baseline ' + section.split('-', 1)[1] if '-' in section else ''}`; each figure is the median over "
             "rounds of the mean time of one call, the two builds alternating round by round.", "",
             "| case | call | rounds | g++ build | wheel | wheel / g++ |", "|---|---|---|---|---|---|"]
    lines += [f"| {n} | {what} | {r} | {bl.fmt_time(g)} | {bl.fmt_time(w)} | {ratio:.3f} |"
              for n, what, r, g, w, ratio in rows]
    lines += ["", "| target | goal | measured | verdict |", "|---|---|---|---|",
              f"| slowest case, wheel / g++ | <= {SLOWER_LIMIT:.2f} | {slowest[5]:.3f} ({slowest[0]}) | "
              f"{'met' if slowest[5] <= SLOWER_LIMIT else 'missed'} |",
              f"| import time of the wheel, median of {IMPORT_RUNS} `-X importtime` | <= {IMPORT_LIMIT_US} us | "
              f"{imports['wheel']:.0f} us (g++ build: {imports['g++']:.0f} us) | "
              f"{'met' if imports['wheel'] <= IMPORT_LIMIT_US else 'missed'} |"]
    bl.update_results(section, "\n".join(lines), output)


if __name__ == "__main__":
    sys.exit(main())

"""Benchmarks of train_from_config against its Python peers, side by side in one run.

    python bench/run.py            # full run, a few minutes; writes bench/results.md
    python bench/run.py --quick    # smoke run, prints only (add --output to write a file)

Run it with an interpreter that has solvarinth_trainer and PyYAML (with libyaml) installed.
Every figure is measured in this run: peer and module alternate round by round (the order
flips each round), and each figure is a median over the rounds. The child both sides start is
one tiny C program (`int main(void) { return 0; }`) compiled as `cargo` into a temporary bin
directory placed first on PATH, so the module launches it too.
"""

from __future__ import annotations

import argparse
import gc
import json
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib as bl  # noqa: E402

STEPS, SEED = 1000, 7
KIB, MIB = 1 << 10, 1 << 20

# name, format, target size, rounds (full), rounds (quick)
INPUTS = [
    ("json-1k", "json", 1 * KIB, 400, 40),
    ("json-1m", "json", 1 * MIB, 150, 10),
    ("json-50m", "json", 50 * MIB, 7, 2),
    ("yaml-1k", "yaml", 1 * KIB, 400, 40),
    ("yaml-1m", "yaml", 1 * MIB, 40, 4),
    ("yaml-20m", "yaml", 20 * MIB, 3, 1),
]
FLOOR_ROUNDS = (600, 60)

TARGETS = {
    "json-1m": ("speed-up vs json.load + subprocess.run", 4.0),
    "json-50m": ("speed-up vs json.load + subprocess.run", 10.0),
    "yaml-1m": ("speed-up vs CSafeLoader + subprocess.run", 20.0),
    "floor": ("module time / floor time on a 1 KB config", 1.05),
    "mem-json-50m": ("peak above baseline / file size", 1.1),
    "mem-yaml-20m": ("peak above baseline / file size", 5.0),
}


def paired(peer, module, rounds: int, warmup: int) -> tuple[list[int], list[int]]:
    for _ in range(warmup):
        peer()
        module()
    peer_ns: list[int] = []
    module_ns: list[int] = []
    clock = time.perf_counter_ns
    for i in range(rounds):
        first, second = (peer, module) if i % 2 == 0 else (module, peer)
        t0 = clock()
        first()
        t1 = clock()
        second()
        t2 = clock()
        if i % 2 == 0:
            peer_ns.append(t1 - t0)
            module_ns.append(t2 - t1)
        else:
            module_ns.append(t1 - t0)
            peer_ns.append(t2 - t1)
    return peer_ns, module_ns


SLEEPER_C = ("#include <time.h>\n"
             "int main(void) { struct timespec ts = {0, 200000000L}; while (nanosleep(&ts, &ts)) {} return 0; }\n")
THREADS, CALLS_PER_THREAD = 4, 5


def concurrent_calls(work: Path, config: str, out_dir: str) -> dict:
    """The same THREADS x CALLS_PER_THREAD calls of a child that sleeps 0.2 s, first one after
    another on this thread, then spread over THREADS threads; the wall time of each."""
    import shutil
    import threading

    from solvarinth_trainer import train_from_config

    bindir = work / "sleeper-bin"
    bindir.mkdir(exist_ok=True)
    (work / "sleeper.c").write_text(SLEEPER_C)
    cc = shutil.which("cc") or shutil.which("gcc")
    subprocess.run([cc, "-O2", "-o", str(bindir / "cargo"), str(work / "sleeper.c")], check=True)
    saved_path = os.environ["PATH"]
    os.environ["PATH"] = f"{bindir}{os.pathsep}{saved_path}"
    barrier = threading.Barrier(THREADS + 1)

    def worker() -> None:
        barrier.wait()
        for _ in range(CALLS_PER_THREAD):
            train_from_config(config, out_dir, STEPS, SEED)

    try:
        t0 = time.perf_counter()
        for _ in range(THREADS * CALLS_PER_THREAD):
            train_from_config(config, out_dir, STEPS, SEED)
        serial = time.perf_counter() - t0
        threads = [threading.Thread(target=worker) for _ in range(THREADS)]
        for thread in threads:
            thread.start()
        barrier.wait()
        t0 = time.perf_counter()
        for thread in threads:
            thread.join()
        wall = time.perf_counter() - t0
    finally:
        os.environ["PATH"] = saved_path
    return {"wall": wall, "serial": serial, "calls": THREADS * CALLS_PER_THREAD}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--quick", action="store_true", help="few rounds, prints only")
    parser.add_argument("--output", type=Path, default=None,
                        help="results file (default: bench/results.md for a full run, none for --quick)")
    parser.add_argument("--keep", action="store_true", help="keep the generated inputs")
    args = parser.parse_args()
    output = args.output if args.output else (None if args.quick else bl.RESULTS)

    import yaml
    from solvarinth_trainer import train_from_config

    if not yaml.__with_libyaml__:
        sys.exit("bench: PyYAML was built without libyaml; CSafeLoader is missing")

    info = bl.machine()
    work = bl.scratch_dir("solvarinth-bench-")
    bl.build_tiny(work)  # puts the tiny child first on PATH as cargo
    out_dir = str(work / "out")
    print(f"inputs and tiny child in {work}")
    for line in bl.machine_lines(info):
        print(line)

    inputs: dict[str, Path] = {}
    for name, fmt, size, *_ in INPUTS:
        t0 = time.perf_counter()
        inputs[name] = bl.write_config(work, name, fmt, size, seed=20240 + size)
        print(f"generated {inputs[name].name}: {bl.fmt_size(inputs[name].stat().st_size)} "
              f"sha256 {bl.sha256_prefix(inputs[name])} in {time.perf_counter() - t0:.1f} s", flush=True)

    rows: list[dict] = []

    def record(name, label, peer_ns, module_ns, target_key=None):
        p, m = bl.median(peer_ns), bl.median(module_ns)
        lo, hi = bl.ratio_ci(peer_ns, module_ns)
        row = {"name": name, "label": label, "rounds": len(peer_ns), "peer": p, "module": m,
               "ratio": p / m, "lo": lo, "hi": hi, "target": target_key,
               "peer_min": min(peer_ns), "module_min": min(module_ns)}
        rows.append(row)
        print(f"{name:10s} {label:44s} peer {bl.fmt_time(p):>10s}  module {bl.fmt_time(m):>10s}  "
              f"peer/module {p / m:6.2f}x  (95% CI {lo:.2f}-{hi:.2f}, {len(peer_ns)} rounds)", flush=True)

    # Launch floor: the bare posix_spawnp + waitpid of the same program with the same argv.
    def floor_pair(config):
        argv = bl.trainer_argv(str(config), out_dir, STEPS, SEED)

        def floor():
            pid = os.posix_spawnp("cargo", argv, os.environ)
            _, status = os.waitpid(pid, 0)
            if status != 0:
                raise RuntimeError(status)

        def module():
            train_from_config(str(config), out_dir, STEPS, SEED)

        return floor, module

    rounds = FLOOR_ROUNDS[1] if args.quick else FLOOR_ROUNDS[0]
    peer_ns, module_ns = paired(*floor_pair(inputs["json-1k"]), rounds, warmup=20)
    record("floor", "posix_spawnp + waitpid vs module (1 KB JSON)", peer_ns, module_ns, "floor")
    peer_ns, module_ns = paired(*floor_pair(inputs["yaml-1k"]), rounds, warmup=20)
    record("floor-y", "posix_spawnp + waitpid vs module (1 KB YAML)", peer_ns, module_ns, None)

    # Peers: parse in Python, then subprocess.run(check=True) of the same program and argv.
    for name, fmt, size, full_rounds, quick_rounds in INPUTS:
        path = str(inputs[name])
        argv_n = bl.trainer_argv(path, out_dir, STEPS, SEED)
        if fmt == "json":
            def peer(path=path, argv_n=argv_n):
                with open(path) as handle:
                    json.load(handle)
                subprocess.run(argv_n, check=True)
            label = "json.load + subprocess.run vs module"
        else:
            def peer(path=path, argv_n=argv_n):
                with open(path) as handle:
                    yaml.load(handle, Loader=yaml.CSafeLoader)
                subprocess.run(argv_n, check=True)
            label = "yaml CSafeLoader + subprocess.run vs module"

        def module(path=path):
            train_from_config(path, out_dir, STEPS, SEED)

        rounds = quick_rounds if args.quick else full_rounds
        warmup = 5 if size <= MIB else 1
        peer_ns, module_ns = paired(peer, module, rounds, warmup)
        gc.collect()
        record(name, label, peer_ns, module_ns, name if name in TARGETS else None)

    # Peak memory of one call, each in a fresh interpreter.
    memory: list[dict] = []
    for name in ("json-50m", "yaml-20m"):
        path = inputs[name]
        size = path.stat().st_size
        fmt = "json" if name.startswith("json") else "yaml"
        for kind in ("module", fmt):
            data = bl.probe(kind, path, out_dir)
            if not data["ok"]:
                raise RuntimeError(f"{kind} on {name}: {data}")
            entry = {"name": name, "kind": kind, "size": size, "peak": data["peak"],
                     "multiple": data["peak"] / size, "ns": data["ns"], "reset": data["reset"]}
            memory.append(entry)
            print(f"memory {name:9s} {kind:7s} peak above baseline {bl.fmt_size(entry['peak']):>10s} "
                  f"= {entry['multiple']:.3f}x file ({bl.fmt_size(size)}), call {bl.fmt_time(entry['ns'])}"
                  f"{'' if data['reset'] else ' (HWM not reset)'}", flush=True)

    concurrent = concurrent_calls(work, str(inputs["json-1k"]), out_dir)
    concurrent["speedup"] = concurrent["serial"] / concurrent["wall"]
    print(f"concurrent {THREADS} threads x {CALLS_PER_THREAD} calls of a 0.2 s child: wall "
          f"{concurrent['wall']:.3f} s, the same calls one after another {concurrent['serial']:.3f} s, "
          f"serial / threaded {concurrent['speedup']:.2f}x (at most {THREADS}x)", flush=True)

    load_end = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    print(f"load at end: {load_end}")

    # Verdicts
    verdicts = []
    by_name = {row["name"]: row for row in rows}
    for key in ("json-1m", "json-50m", "yaml-1m"):
        row = by_name[key]
        goal = TARGETS[key][1]
        verdicts.append((f"{key}: {TARGETS[key][0]}", f">= {goal}x", f"{row['ratio']:.2f}x",
                         "met" if row["ratio"] >= goal else "missed"))
    for key, what in (("floor", "1 KB JSON"), ("floor-y", "1 KB YAML")):
        row = by_name[key]
        goal = TARGETS["floor"][1]
        # The interval is of floor / module; invert it for module / floor.
        verdicts.append((f"{what}: {TARGETS['floor'][0]}", f"<= {goal}x",
                         f"{1 / row['ratio']:.3f}x (CI {1 / row['hi']:.3f}-{1 / row['lo']:.3f})",
                         "met" if 1 / row["ratio"] <= goal else "missed"))
    for entry in memory:
        if entry["kind"] != "module":
            continue
        key = f"mem-{entry['name']}"
        goal = TARGETS[key][1]
        verdicts.append((f"{entry['name']}: {TARGETS[key][0]}", f"<= {goal}x", f"{entry['multiple']:.3f}x",
                         "met" if entry["multiple"] <= goal else "missed"))

    print()
    for what, goal, got, verdict in verdicts:
        print(f"{verdict.split()[0]:7s} {what}: {got} (target {goal})")

    if output is not None:
        lines = ["## Speed and peak memory (`bench/run.py`)", ""]
        lines += bl.machine_lines(info)
        lines += [f"- Load at end: `{load_end}`",
                  f"- Command: `{Path(sys.executable).name} bench/run.py{' --quick' if args.quick else ''}`",
                  "- Child on both sides: `int main(void) { return 0; }` compiled with `cc -O2` as `cargo`, "
                  "first on PATH; same 16-entry argv.",
                  "- Each row alternates peer and module round by round (order flipped every round); "
                  "times are medians; the interval is a 95% bootstrap interval of the ratio over the paired rounds. "
                  "Verdicts use the ratio of medians; the minima (least disturbed rounds) are shown for context only.",
                  "", "### Inputs (generated, seeded)", "",
                  "| input | size | sha256 (prefix) |", "|---|---|---|"]
        for name, *_ in INPUTS:
            path = inputs[name]
            lines.append(f"| {path.name} | {path.stat().st_size:,} B | `{bl.sha256_prefix(path)}` |")
        lines += ["", "### Times", "",
                  "| row | peer | peer median | module median | peer / module (medians) | 95% CI | rounds | peer min | module min | ratio of minima |",
                  "|---|---|---|---|---|---|---|---|---|---|"]
        for row in rows:
            lines.append(f"| {row['name']} | {row['label'].split(' vs ')[0]} | {bl.fmt_time(row['peer'])} | "
                         f"{bl.fmt_time(row['module'])} | {row['ratio']:.2f}x | {row['lo']:.2f}-{row['hi']:.2f} | "
                         f"{row['rounds']} | {bl.fmt_time(row['peer_min'])} | {bl.fmt_time(row['module_min'])} | "
                         f"{row['peer_min'] / row['module_min']:.2f}x |")
        lines += ["", "### Peak memory of one call (fresh interpreter, above its baseline)", "",
                  "| input | who | file size | peak above baseline | multiple of file size | call time |",
                  "|---|---|---|---|---|---|"]
        for entry in memory:
            who = "module" if entry["kind"] == "module" else ("json.load" if entry["kind"] == "json" else "CSafeLoader")
            lines.append(f"| {entry['name']} | {who} | {entry['size']:,} B | {bl.fmt_size(entry['peak'])} | "
                         f"{entry['multiple']:.3f}x | {bl.fmt_time(entry['ns'])} |")
        lines += ["", "### Calls from several threads", "",
                  f"{THREADS} threads each make {CALLS_PER_THREAD} calls (1 KB JSON config) of a child that "
                  "sleeps 0.2 s, against the same calls made one after another on one thread.", "",
                  "| calls | threaded wall time | serial wall time | serial / threaded | at most |",
                  "|---|---|---|---|---|",
                  f"| {concurrent['calls']} | {concurrent['wall']:.3f} s | {concurrent['serial']:.3f} s | "
                  f"{concurrent['speedup']:.2f}x | {THREADS}.00x |"]
        lines += ["", "### Targets", "", "| target | goal | measured | verdict |", "|---|---|---|---|"]
        for what, goal, got, verdict in verdicts:
            lines.append(f"| {what} | {goal} | {got} | {verdict} |")
        bl.update_results("run", "\n".join(lines), output)
        print(f"wrote {output}")

    if not args.keep:
        import shutil

        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

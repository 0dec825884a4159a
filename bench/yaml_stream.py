"""The YAML check against libyaml's bare event loop, side by side in one run: speed and peak RSS.

    python3 bench/yaml_stream.py --core build/rel [--old-core OLD_BUILD] [--rounds 5] [--write]

Builds bench/yaml_stream_driver.cpp against each core library given (the CMake build directory
holding libsolvarinth_core.a, built with -DCMAKE_BUILD_TYPE=Release) and the libyaml that core
was built with (the vendored static one, or the system's for a SOLVARINTH_SYSTEM_LIBS build).
Every measurement is one fresh process; in each round the bare loop and each check run once on
the input, in turn. Speeds are ratios from the same run, of the medians over the rounds and of
the least times. --write puts the table into bench/results.md (section yaml-stream).
"""

from __future__ import annotations

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
sys.path.insert(0, str(HERE))
import benchlib as bl  # noqa: E402

MIB = 1 << 20


def yaml_library(core: Path) -> list[str]:
    """The libyaml the core was built with: the vendored static one, or the system's."""
    vendored = core / "libsolvarinth_yaml.a"
    if vendored.exists():
        return [str(vendored)]
    libs = subprocess.run(["pkg-config", "--libs", "yaml-0.1"], capture_output=True, text=True, check=True)
    return libs.stdout.split()


def build_driver(core: Path, out: Path) -> Path:
    # The headers the core's libyaml was compiled with: a vendored build patches a copy of them
    # (cmake/libyaml_patch.cmake), whose parser is larger than 0.2.5's; older builds and builds on
    # the system's libyaml have none and take third_party's.
    patched = sorted(core.glob("libyaml-*/include"))
    headers = patched[0] if patched else ROOT / "third_party" / "libyaml" / "include"
    subprocess.run(["c++", "-std=c++20", "-O2", "-DYAML_DECLARE_STATIC", f"-I{ROOT / 'src'}", f"-I{headers}",
                    str(HERE / "yaml_stream_driver.cpp"), str(core / "libsolvarinth_core.a"),
                    *yaml_library(core), "-o", str(out)], check=True)
    return out


def inputs(directory: Path) -> list[tuple[str, Path]]:
    made = []
    made.append(("config-like 1 MB", bl.write_config(directory, "yaml-1m", "yaml", 1 * MIB, 7)))
    made.append(("config-like 20 MB", bl.write_config(directory, "yaml-20m", "yaml", 20 * MIB, 7)))
    flow = directory / "flow-list.yaml"
    flow.write_bytes(b"[" + b"1," * (5 * MIB - 1) + b"1]\n")
    made.append(("flow list [1,1,...] 10 MB", flow))
    keys = directory / "million-keys.yaml"
    keys.write_bytes("".join(f"k{i}: {i}\n" for i in range(1_000_000)).encode())
    made.append(("1,000,000 keys `kN: N`", keys))
    return made


def shapes(directory: Path) -> list[tuple[str, Path]]:
    """Shapes that make the check keep the most per byte of text."""
    made = []
    n = 1_000_000
    anchored = directory / "anchored-root.yaml"
    anchored.write_bytes(("&r\n" + "".join(f"k{i}: {i}\n" for i in range(n))).encode())
    made.append(("anchored root over 1,000,000 keys", anchored))
    ints = directory / "int-keys.yaml"
    ints.write_bytes(("{" + ",".join(f"{i}: 0" for i in range(n)) + "}").encode())
    made.append(("flow map of 1,000,000 int keys `{N: 0,...}`", ints))
    complex_keys = directory / "complex-keys.yaml"
    complex_keys.write_bytes("".join(f"? [{i}]\n: 0\n" for i in range(n // 2)).encode())
    made.append(("500,000 collection keys `? [N]`", complex_keys))
    return made


def measure(argv: list[str]) -> tuple[int, int, str]:
    """CPU time (ns), peak RSS (bytes), outcome of one run."""
    done = subprocess.run(argv, capture_output=True, text=True, check=True)
    _wall, cpu, rss, outcome = done.stdout.split(" ", 3)
    return int(cpu), int(rss), outcome.strip()


def row(name: str, path: Path, drivers: dict[str, Path], rounds: int) -> dict:
    times: dict[str, list[int]] = {k: [] for k in drivers}
    peaks: dict[str, list[int]] = {k: [] for k in drivers}
    outcome = {}
    for r in range(rounds):
        order = list(drivers) if r % 2 == 0 else list(reversed(drivers))
        for label in order:
            mode = "bare" if label == "bare" else "check"
            ns, rss, what = measure([str(drivers[label]), mode, str(path)])
            times[label].append(ns)
            peaks[label].append(rss)
            outcome[label] = what
    size = path.stat().st_size
    return {"name": name, "size": size, "outcome": outcome,
            "time": {k: statistics.median(v) for k, v in times.items()},
            "least": {k: min(v) for k, v in times.items()},
            "rss": {k: max(v) for k, v in peaks.items()}}


def spawn_row(clis: dict[str, Path], directory: Path, rounds: int) -> str:
    """A 1 KB config through each solvarinth-check, one process per call, against the same
    command's --version: the cost of starting the process at all."""
    small = bl.write_config(directory, "yaml-1k", "yaml", 1024, 7)
    times: dict[str, list[int]] = {}
    for r in range(rounds):
        for label, cli in (clis.items() if r % 2 == 0 else reversed(list(clis.items()))):
            for what, argv in ((f"{label} 1 KB", [str(cli), str(small)]), (f"{label} --version", [str(cli), "--version"])):
                start = time.perf_counter_ns()
                subprocess.run(argv, check=True, capture_output=True)
                times.setdefault(what, []).append(time.perf_counter_ns() - start)
    cells = [f"{what}: {statistics.median(v) / 1e3:.0f} µs" for what, v in times.items()]
    return f"1 KB config ({small.stat().st_size} B), wall time per process, median of {rounds}: " + "; ".join(cells)


def table(rows: list[dict], labels: list[str]) -> str:
    checks = [k for k in labels if k != "bare"]
    head = ["input", "size", "bare loop"] + [f"{k} check" for k in checks] + \
           [f"{k}: speed vs bare" for k in checks] + [f"{k}: same, minima" for k in checks] + \
           ["bare RSS/size"] + [f"{k} RSS/size" for k in checks]
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for r in rows:
        t, least, m, s = r["time"], r["least"], r["rss"], r["size"]
        cells = [r["name"], f"{s:,} B", f"{t['bare'] / 1e6:.0f} ms"]
        cells += [f"{t[k] / 1e6:.0f} ms" for k in checks]
        cells += [f"{100 * t['bare'] / t[k]:.0f} %" for k in checks]
        cells += [f"{100 * least['bare'] / least[k]:.0f} %" for k in checks]
        cells += [f"{m['bare'] / s:.2f}"] + [f"{m[k] / s:.2f}" for k in checks]
        lines.append("| " + " | ".join(cells) + " |")
    return "\n".join(lines)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--core", type=Path, required=True)
    parser.add_argument("--old-core", type=Path)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--shapes", action="store_true", help="also the worst memory shapes")
    parser.add_argument("--write", action="store_true")
    parser.add_argument("--cli", type=Path, nargs="*", default=[],
                        help="solvarinth-check builds to time on a 1 KB config against their --version")
    args = parser.parse_args()
    work = Path(tempfile.mkdtemp(prefix="yaml-stream-"))
    drivers = {"bare": build_driver(args.core, work / "driver-new"), "new": work / "driver-new"}
    if args.old_core:
        drivers["old"] = build_driver(args.old_core, work / "driver-old")
    load_start = os.popen("uptime").read().strip()
    rows = [row(name, path, drivers, args.rounds) for name, path in inputs(work)]
    if args.shapes:
        rows += [row(name, path, drivers, max(1, args.rounds // 2)) for name, path in shapes(work)]
    spawn = spawn_row({str(c): c for c in args.cli}, work, 200) if args.cli else ""
    load_end = os.popen("uptime").read().strip()
    body = "\n".join([
        "## YAML check against libyaml's bare event loop (`bench/yaml_stream.py`)", "",
        f"- Command: `python3 bench/yaml_stream.py {' '.join(sys.argv[1:])}`",
        f"- Load at start: `{load_start}`", f"- Load at end: `{load_end}`",
        "- One process per measurement (bench/yaml_stream_driver.cpp); times are the process's CPU time"
        " (user + system, less disturbed by the other load than wall time), medians over the rounds;"
        " RSS is the largest VmHWM, the whole process with its copy of the file; speed is bare-loop"
        " time over check time. This machine's noise comes in bursts that slow every process for"
        " seconds whatever the load average says, so the ratio of the least times (the least"
        " disturbed rounds) is shown beside the ratio of medians.", "",
        table(rows, list(drivers)), "",
        "Outcomes: " + "; ".join(f"{r['name']}: {r['outcome'].get('new')}" for r in rows),
        "", spawn,
    ])
    print(body)
    if args.write:
        bl.update_results("yaml-stream", body)
    for p in work.glob("*.yaml"):
        p.unlink()
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""solvarinth-check over 1,000 config-sized YAML files in one command, against a Python loop of
yaml.safe_load over the same files (and, for context, the same loop with libyaml's CSafeLoader).

The command is timed as a whole process (start-up included); the Python loops run inside this
interpreter, so they pay no start-up: the comparison leans towards Python. Peer and command
alternate round by round; times are medians. Run by hand:

    python bench/check_command.py            # writes its section of bench/results.md
    python bench/check_command.py --quick    # fewer rounds, prints only
"""

from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
import time
from pathlib import Path

import yaml

import benchlib

FILES = 1000
SIZE = 1024  # bytes per file, about a real training config


def make_files(directory: Path) -> list[str]:
    return [str(benchlib.write_config(directory, f"c{i:04d}", "yaml", SIZE, seed=i)) for i in range(FILES)]


def find_command() -> str:
    beside = Path(sys.executable).parent / "solvarinth-check"
    found = str(beside) if beside.exists() else shutil.which("solvarinth-check")
    if found is None:
        sys.exit("bench: solvarinth-check is not installed (pip install . into this interpreter's environment)")
    return found


def time_command(command: str, paths: list[str]) -> int:
    start = time.perf_counter_ns()
    result = subprocess.run([command, *paths], capture_output=True)
    elapsed = time.perf_counter_ns() - start
    if result.returncode != 0:
        sys.exit(f"bench: solvarinth-check failed: {result.stdout[:300]!r} {result.stderr[:300]!r}")
    return elapsed


def time_loop(paths: list[str], load) -> int:
    start = time.perf_counter_ns()
    for path in paths:
        with open(path, encoding="utf-8") as handle:
            load(handle.read())
    return time.perf_counter_ns() - start


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="3 rounds, print only")
    args = parser.parse_args()
    rounds = 3 if args.quick else 7
    info = benchlib.machine()
    command = find_command()
    workdir = benchlib.scratch_dir("solvarinth-check-bench-")
    try:
        paths = make_files(workdir)
        total = sum(Path(p).stat().st_size for p in paths)
        safe = lambda text: yaml.safe_load(text)  # noqa: E731
        fast = lambda text: yaml.load(text, Loader=yaml.CSafeLoader)  # noqa: E731
        times = {"command": [], "safe_load": [], "CSafeLoader": []}
        time_loop(paths, fast)  # warm the page cache and the imports
        time_command(command, paths)
        for index in range(rounds):
            order = ["command", "safe_load", "CSafeLoader"]
            for name in order if index % 2 == 0 else reversed(order):
                times[name].append(time_command(command, paths) if name == "command"
                                   else time_loop(paths, safe if name == "safe_load" else fast))
    finally:
        shutil.rmtree(workdir)
    end_load = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    med = {name: benchlib.median(values) for name, values in times.items()}
    lines = ["## solvarinth-check over many files (`bench/check_command.py`)", ""]
    lines += benchlib.machine_lines(info)
    lines += [f"- Load at end: `{end_load}`",
              f"- Command: `python bench/check_command.py{' --quick' if args.quick else ''}`",
              f"- Input: {FILES} generated YAML configs of about {SIZE} B each ({benchlib.fmt_size(total)} in all)",
              f"- {rounds} rounds, alternating; medians. The command's time includes its process start-up; "
              "the Python loops run in this interpreter (no start-up).",
              "",
              "| what | time for all files | Python loop / command |",
              "|---|---|---|"]
    for name, label in (("command", f"`solvarinth-check` with {FILES} paths, one process"),
                        ("safe_load", "Python loop: `yaml.safe_load(open(p).read())`"),
                        ("CSafeLoader", "Python loop: `yaml.load(..., Loader=yaml.CSafeLoader)`")):
        ratio = "—" if name == "command" else f"{med[name] / med['command']:.1f}×"
        lines.append(f"| {label} | {benchlib.fmt_time(med[name])} | {ratio} |")
    body = "\n".join(lines) + "\n"
    print(body)
    if not args.quick:
        benchlib.update_results("check", body)
    return 0


if __name__ == "__main__":
    sys.exit(main())

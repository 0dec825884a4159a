"""Hostile inputs: each must end in its documented outcome, with bounded time and memory.

    python bench/hostile.py          # writes the "Hostile inputs" section of bench/results.md
    python bench/hostile.py --print  # prints only

Each input is generated into a temporary directory and checked by train_from_config in a
fresh interpreter (the same tiny `cargo` as bench/run.py, first on PATH). Reported: the
outcome against the expected one, the time of the call, and the peak memory the call added
above the interpreter's baseline (VmHWM after the call, reset before it, minus VmRSS before).
"""

from __future__ import annotations

import argparse
import shutil
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib as bl  # noqa: E402

DEPTH = 10_000_000
SCALAR = 100 * (1 << 20)
ALIASES = 1_000_000
ADDRESS_LIMIT = 16 << 30  # a runaway child fails instead of taking the machine

ACCEPTED = ("None", None)


def write_repeated(path: Path, parts: list[tuple[bytes, int]]) -> None:
    """Writes each (chunk, count) pair as chunk repeated count times, in blocks."""
    with open(path, "wb") as handle:
        for chunk, count in parts:
            block = 1 << 16
            full, rest = divmod(count, block)
            big = chunk * block
            for _ in range(full):
                handle.write(big)
            handle.write(chunk * rest)


def billion_laughs(path: Path) -> None:
    lines = ['a: &a ["lol", "lol", "lol", "lol", "lol", "lol", "lol", "lol", "lol"]']
    names = "abcdefghi"
    for prev, name in zip(names, names[1:]):
        lines.append(f"{name}: &{name} [" + ", ".join([f"*{prev}"] * 9) + "]")
    path.write_text("\n".join(lines) + "\n")


CASES = [
    # name, file name, builder, expected (exception class, exact message) or ACCEPTED, what
    ("JSON nesting 10^7 deep", "deep.json",
     lambda p: write_repeated(p, [(b"[", DEPTH), (b"]", DEPTH)]),
     ("ValueError", "Invalid JSON config: recursion limit exceeded at line 1 column 128"),
     "`[` x 10^7 then `]` x 10^7"),
    ("YAML nesting 10^7 deep", "deep.yaml",
     lambda p: write_repeated(p, [(b"[", DEPTH), (b"]", DEPTH)]),
     ("ValueError", "Invalid YAML config: recursion limit exceeded at line 1 column 129"),
     "flow `[` x 10^7 then `]` x 10^7"),
    ("YAML billion laughs", "laughs.yaml", billion_laughs,
     ("ValueError", "Invalid YAML config: repetition limit exceeded"),
     "9 levels, each an anchored flow sequence of 9 aliases of the level below (9^9 strings)"),
    ("JSON 100 MiB string", "scalar.json",
     lambda p: write_repeated(p, [(b'"', 1), (b"training-config-", SCALAR // 16), (b'"\n', 1)]),
     ACCEPTED, "one string of 100 MiB"),
    ("YAML 100 MiB scalar", "scalar.yaml",
     lambda p: write_repeated(p, [(b"training-config-", SCALAR // 16), (b"\n", 1)]),
     ACCEPTED, "one plain scalar of 100 MiB"),
    ("YAML 10^6 aliases", "aliases.yaml",
     lambda p: write_repeated(p, [(b"a: &a x\nb:\n", 1), (b"- *a\n", ALIASES)]),
     ACCEPTED, "`a: &a x`, then `b:` holding a block sequence of 10^6 `*a`"),
]


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--print", action="store_true", help="print only, do not write results.md")
    parser.add_argument("--output", type=Path, default=bl.RESULTS)
    parser.add_argument("--only", default=None, help="run only the cases whose name contains this text")
    args = parser.parse_args()

    info = bl.machine()
    work = bl.scratch_dir("solvarinth-hostile-")
    bl.build_tiny(work)
    out_dir = str(work / "out")
    for line in bl.machine_lines(info):
        print(line)

    rows = []
    failures = 0
    for name, file_name, build, expected, what in CASES:
        if args.only and args.only not in name:
            continue
        path = work / file_name
        build(path)
        size = path.stat().st_size
        data = bl.probe("module", path, out_dir, timeout=900, address_limit=ADDRESS_LIMIT)
        if data["ok"]:
            got = ("None", None) if data.get("result") == "None" else ("returned", data.get("result"))
        else:
            got = (data["type"], data["message"])
        ok = got == expected
        failures += not ok
        shown = "accepted (None)" if got == ACCEPTED else f"{got[0]}: {got[1]}"
        want = "accepted (None)" if expected == ACCEPTED else f"{expected[0]}: {expected[1]}"
        row = {"name": name, "what": what, "size": size, "got": shown, "want": want, "ok": ok,
               "ns": data["ns"], "peak": data["peak"]}
        rows.append(row)
        time_text = bl.fmt_time(row["ns"]) if row["ns"] is not None else "-"
        peak_text = bl.fmt_size(row["peak"]) if row["peak"] is not None else "-"
        print(f"{'ok  ' if ok else 'FAIL'} {name:24s} {bl.fmt_size(size):>10s}  {time_text:>10s}  peak {peak_text:>10s}  {shown}",
              flush=True)
        if not ok:
            print(f"     expected {want}")
        path.unlink()

    load_end = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    if not args.print:
        lines = ["## Hostile inputs (`bench/hostile.py`)", ""]
        lines += bl.machine_lines(info)
        lines += [f"- Load at end: `{load_end}`",
                  f"- Command: `{Path(sys.executable).name} bench/hostile.py`",
                  "- Each input checked once by `train_from_config` in a fresh interpreter "
                  f"(address space capped at {ADDRESS_LIMIT >> 30} GiB); peak = memory the call added "
                  "above the interpreter's baseline.",
                  "", "| input | file | size | outcome | expected | time | peak above baseline |",
                  "|---|---|---|---|---|---|---|"]
        for row in rows:
            time_text = bl.fmt_time(row["ns"]) if row["ns"] is not None else "-"
            peak_text = bl.fmt_size(row["peak"]) if row["peak"] is not None else "-"
            mark = "as documented" if row["ok"] else "**NOT as documented**"
            lines.append(f"| {row['name']} | {row['what']} | {row['size']:,} B | {row['got']} ({mark}) | "
                         f"{row['want']} | {time_text} | {peak_text} |")
        bl.update_results("hostile", "\n".join(lines), args.output)
        print(f"wrote {args.output}")
    shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

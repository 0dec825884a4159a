"""Adds third-party licence texts to a built wheel, and checks what makes a wheel portable.

    check_wheel.py add-licenses WHEEL DIR   # DIR/*.txt into <dist-info>/licenses/thirdparty/
    check_wheel.py check WHEEL...           # prints each problem; exit status 1 if any

The check covers every ELF file in the wheel (the extension module and any executable in the
scripts directory): code for the architecture the wheel's platform tag names (x86_64 or
aarch64), shared libraries needed only from glibc's core (libc, libm, libpthread, libdl, the
loader), no symbol version newer than that architecture's glibc baseline (2.17 for both), and
the module exporting nothing but its init function. It also bounds the wheel's size and asks for
the licence texts of what is linked in. Uses binutils' readelf, which reads either architecture.
"""

from __future__ import annotations

import base64
import hashlib
import re
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path
from typing import NamedTuple

MAX_BYTES = 1_000_000
GLIBC_CORE = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2"}


class Arch(NamedTuple):
    machine: int               # the ELF header's e_machine
    loader: str                # the dynamic loader, which a module may name as needed
    max_glibc: tuple[int, int]  # manylinux_2_17: the oldest glibc of that architecture we support


# The architecture is read from the wheel's platform tag, the one pip matches against the machine.
ARCHES = {
    "x86_64": Arch(62, "ld-linux-x86-64.so.2", (2, 17)),
    "aarch64": Arch(183, "ld-linux-aarch64.so.1", (2, 17)),
}
MODULE_EXPORTS = {"PyInit_solvarinth_trainer"}
# Our own licence, those of libyaml and RapidJSON (both compiled in), and the C++ runtime's (zig's
# libc++ and libc++abi).
REQUIRED_LICENSES = ["LICENSE", "libyaml.txt", "rapidjson.txt", "llvm-libcxx.txt", "llvm-libcxxabi.txt"]


def readelf(data: bytes, *flags: str) -> str:
    with tempfile.NamedTemporaryFile(suffix=".elf") as tmp:
        tmp.write(data)
        tmp.flush()
        return subprocess.run(["readelf", "-W", *flags, tmp.name], check=True,
                              capture_output=True, text=True).stdout


def needed(data: bytes) -> set[str]:
    return set(re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", readelf(data, "-d")))


def version_needs(data: bytes) -> set[str]:
    """Symbol versions the file asks of the libraries it loads, e.g. GLIBC_2.14."""
    text = readelf(data, "-V")
    section = text.split("Version needs section", 1)[1] if "Version needs section" in text else ""
    return set(re.findall(r"Name: (\S+)\s+Flags", section))


def exports(data: bytes) -> set[str]:
    """Defined global or weak symbols of default or protected visibility in the dynamic table."""
    names = set()
    for line in readelf(data, "--dyn-syms").splitlines():
        cols = line.split()
        if len(cols) >= 8 and cols[0].endswith(":") and cols[6] != "UND" \
                and cols[4] in ("GLOBAL", "WEAK") and cols[5] in ("DEFAULT", "PROTECTED"):
            names.add(cols[7].split("@")[0])
    return names


def machine_name(machine: int) -> str:
    return next((name for name, arch in ARCHES.items() if arch.machine == machine), f"machine {machine}")


def elf_problems(name: str, data: bytes, arch_name: str) -> list[str]:
    arch = ARCHES[arch_name]
    # e_machine, after the 16-byte ident and e_type; both architectures are little-endian.
    machine = int.from_bytes(data[18:20], "little")
    if machine != arch.machine:
        # pip would install it on a machine that cannot load it: nothing else about it matters.
        return [f"{name} is {machine_name(machine)} code in a wheel for {arch_name}"]
    problems = [f"{name} needs {lib}" for lib in sorted(needed(data) - GLIBC_CORE - {arch.loader})]
    for version in sorted(version_needs(data)):
        match = re.fullmatch(r"GLIBC_(\d+)\.(\d+)(?:\.\d+)?", version)
        if not match:
            problems.append(f"{name} needs symbol version {version}")
        elif (int(match[1]), int(match[2])) > arch.max_glibc:
            problems.append(f"{name} needs {version}, newer than glibc {arch.max_glibc[0]}.{arch.max_glibc[1]}")
    if name.endswith(".so"):
        extra = exports(data) - MODULE_EXPORTS
        if extra:
            problems.append(f"{name} exports {', '.join(sorted(extra)[:10])}")
        if not MODULE_EXPORTS <= exports(data):
            problems.append(f"{name} does not export {', '.join(sorted(MODULE_EXPORTS))}")
    return problems


def wheel_arch(wheel: Path) -> str | None:
    """The architecture of the wheel's platform tags (the last field of its name), if one of ours."""
    platforms = wheel.stem.split("-")[-1].split(".")
    found = {arch for arch in ARCHES for platform in platforms if platform.endswith("_" + arch)}
    return found.pop() if len(found) == 1 else None


def wheel_problems(wheel: Path) -> list[str]:
    problems = []
    arch = wheel_arch(wheel)
    if arch is None:
        return [f"{wheel.name}: no platform tag of one of {', '.join(ARCHES)}"]
    size = wheel.stat().st_size
    if size >= MAX_BYTES:
        problems.append(f"{wheel.name} is {size} bytes, not below {MAX_BYTES}")
    elf_seen = 0
    with zipfile.ZipFile(wheel) as zf:
        names = zf.namelist()
        for name in names:
            data = zf.read(name)
            if data[:4] == b"\x7fELF":
                elf_seen += 1
                problems += elf_problems(name, data, arch)
    if elf_seen == 0:
        problems.append(f"{wheel.name} holds no ELF file")
    licences = {Path(n).name for n in names if ".dist-info/" in n}
    problems += [f"{wheel.name} lacks the licence text {lic}" for lic in REQUIRED_LICENSES if lic not in licences]
    return problems


def record_line(path: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}"


def add_licenses(wheel: Path, folder: Path) -> None:
    """Rewrites the wheel with folder/*.txt added to its .dist-info and listed in RECORD."""
    with zipfile.ZipFile(wheel) as zf:
        entries = [(info, zf.read(info)) for info in zf.infolist()]
    record = next(info.filename for info, _ in entries if info.filename.endswith(".dist-info/RECORD"))
    dist_info = record.rsplit("/", 1)[0]
    added = {f"{dist_info}/licenses/thirdparty/{f.name}": f.read_bytes() for f in sorted(folder.glob("*.txt"))}
    tmp = wheel.with_suffix(".tmp")
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as out:
        for info, data in entries:
            if info.filename == record:
                lines = [ln for ln in data.decode().splitlines() if ln and not ln.startswith(record + ",")]
                lines += [record_line(p, d) for p, d in added.items()] + [f"{record},,"]
                data = ("\n".join(lines) + "\n").encode()
                for path, content in added.items():
                    entry = zipfile.ZipInfo(path, info.date_time)
                    entry.external_attr = 0o644 << 16
                    out.writestr(entry, content, zipfile.ZIP_DEFLATED)
            out.writestr(info, data, zipfile.ZIP_DEFLATED)
    tmp.replace(wheel)


def main(argv: list[str]) -> int:
    if len(argv) == 3 and argv[0] == "add-licenses":
        add_licenses(Path(argv[1]), Path(argv[2]))
        return 0
    if len(argv) >= 2 and argv[0] == "check":
        problems = [p for wheel in argv[1:] for p in wheel_problems(Path(wheel))]
        for problem in problems:
            print(f"wheel check: {problem}", file=sys.stderr)
        return 1 if problems else 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

"""Adds third-party licence texts to a built wheel, and checks what makes a wheel portable.

    check_wheel.py add-licenses WHEEL DIR   # DIR/*.txt into <dist-info>/licenses/thirdparty/
    check_wheel.py check WHEEL...           # prints each problem; exit status 1 if any

The check covers every ELF file in the wheel (the extension module and any executable in the
scripts directory): shared libraries needed only from glibc's core (libc, libm, libpthread,
libdl), no symbol version newer than GLIBC_2.17, and the module exporting nothing but its init
function. It also bounds the wheel's size and asks for the licence texts of what is linked in.
Uses binutils' readelf.
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

MAX_BYTES = 1_000_000
ALLOWED_NEEDED = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "ld-linux-x86-64.so.2"}
MAX_GLIBC = (2, 17)
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


def elf_problems(name: str, data: bytes) -> list[str]:
    problems = [f"{name} needs {lib}" for lib in sorted(needed(data) - ALLOWED_NEEDED)]
    for version in sorted(version_needs(data)):
        match = re.fullmatch(r"GLIBC_(\d+)\.(\d+)(?:\.\d+)?", version)
        if not match:
            problems.append(f"{name} needs symbol version {version}")
        elif (int(match[1]), int(match[2])) > MAX_GLIBC:
            problems.append(f"{name} needs {version}, newer than glibc {MAX_GLIBC[0]}.{MAX_GLIBC[1]}")
    if name.endswith(".so"):
        extra = exports(data) - MODULE_EXPORTS
        if extra:
            problems.append(f"{name} exports {', '.join(sorted(extra)[:10])}")
        if not MODULE_EXPORTS <= exports(data):
            problems.append(f"{name} does not export {', '.join(sorted(MODULE_EXPORTS))}")
    return problems


def wheel_problems(wheel: Path) -> list[str]:
    problems = []
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
                problems += elf_problems(name, data)
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

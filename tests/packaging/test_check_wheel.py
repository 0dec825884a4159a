"""The portability check of built wheels flags each way a wheel can fail to install or load on an
older Linux: a library beyond glibc's core, a too-new glibc symbol (in the module or in any other
ELF file the wheel carries), stray exports, size, missing licence texts."""

import importlib.util
import os
import shutil
import subprocess
import zipfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
loader = importlib.util.spec_from_file_location("check_wheel", ROOT / "scripts" / "check_wheel.py")
check_wheel = importlib.util.module_from_spec(loader)
loader.loader.exec_module(check_wheel)

DIST_INFO = "solvarinth_trainer-0.1.4.dist-info"
MODULE = "solvarinth_trainer.cpython-312-x86_64-linux-gnu.so"
SCRIPT = "solvarinth_trainer-0.1.4.data/scripts/solvarinth-check"
LICENSES = ["licenses/LICENSE", "licenses/thirdparty/libyaml.txt", "licenses/thirdparty/rapidjson.txt",
            "licenses/thirdparty/llvm-libcxx.txt", "licenses/thirdparty/llvm-libcxxabi.txt"]

INIT = '__attribute__((visibility("default"))) int PyInit_solvarinth_trainer(void) { return 0; }\n'
# pthread_create resolves to GLIBC_2.34 when built against a current glibc.
NEW_GLIBC = "#include <pthread.h>\nvoid *go(void *p) { return p; }\nint use(void) { pthread_t t; return pthread_create(&t, 0, go, 0); }\n"
# Built against glibc 2.17, pthread_create is aarch64's baseline GLIBC_2.17 one (called from the
# init function, or zig's linker would drop it).
INIT_CALLING_GLIBC = ('#include <pthread.h>\nstatic void *go(void *p) { return p; }\n'
                      '__attribute__((visibility("default"))) int PyInit_solvarinth_trainer(void) '
                      '{ pthread_t t; return pthread_create(&t, 0, go, 0); }\n')
CXX_RUNTIME = '#include <string>\nextern "C" __attribute__((visibility("default"))) int PyInit_solvarinth_trainer() { return std::string(__FILE__).size(); }\n'

needs_tools = pytest.mark.skipif(not (shutil.which("cc") and shutil.which("g++") and shutil.which("readelf")),
                                 reason="needs cc, g++ and readelf")


def wheel_name(arch="x86_64"):
    return f"solvarinth_trainer-0.1.4-cp312-cp312-manylinux_2_17_{arch}.whl"


def aarch64_cc():
    """A C cross compiler for aarch64 with glibc 2.17: zig (on PATH, or the static binary of the
    ziglang package scripts/build_wheels.sh installs), else Debian's gcc-aarch64-linux-gnu. None if
    there is none."""
    cache = os.environ.get("SOLVARINTH_CACHE") or Path.home() / ".cache" / "solvarinth-trainer"
    tools = Path(cache) / "wheel-tools" / "venv"
    for zig in (shutil.which("zig"), *sorted(tools.glob("lib/python3*/site-packages/ziglang/zig"))):
        if zig and os.access(zig, os.X_OK):
            return [str(zig), "cc", "-target", "aarch64-linux-gnu.2.17"]
    gcc = shutil.which("aarch64-linux-gnu-gcc")
    return [gcc] if gcc else None


def compile_elf(tmp_path, source, *, cxx=False, shared=True, cc=None):
    src = tmp_path / ("x.cpp" if cxx else "x.c")
    src.write_text(source)
    out = tmp_path / ("x.so" if shared else "x")
    flags = ["-shared", "-fPIC", "-fvisibility=hidden"] if shared else []
    compiler = cc or ["g++" if cxx else "cc"]
    subprocess.run([*compiler, "-O1", *flags, "-o", str(out), str(src), "-lpthread"], check=True)
    return out.read_bytes()


def make_wheel(path, files):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as zf:
        for name, data in files.items():
            zf.writestr(name, data)
        zf.writestr(f"{DIST_INFO}/RECORD", "")
    return path


def base_files(tmp_path):
    files = {f"{DIST_INFO}/{lic}": b"text" for lic in LICENSES}
    files[MODULE] = compile_elf(tmp_path, INIT)
    return files


def change_module(source, **kw):
    return lambda tmp, files: files.update({MODULE: compile_elf(tmp, source, **kw)})


def add_script(source):
    return lambda tmp, files: files.update({SCRIPT: compile_elf(tmp, source, shared=False)})


@needs_tools
@pytest.mark.parametrize("change, problem", [
    (lambda tmp, files: None, None),
    (change_module(INIT + '__attribute__((visibility("default"))) int helper(void) { return 1; }\n'), f"{MODULE} exports helper"),
    (change_module(INIT.replace("PyInit_solvarinth_trainer", "PyInit_other")), "does not export PyInit_solvarinth_trainer"),
    (change_module(INIT + NEW_GLIBC), f"{MODULE} needs GLIBC_2.34, newer than glibc 2.17"),
    # A host-built executable already asks for the 2.34 __libc_start_main.
    (add_script("int main(void) { return 0; }\n"), f"{SCRIPT} needs GLIBC_2.34"),
    (change_module(CXX_RUNTIME, cxx=True), f"{MODULE} needs libstdc++.so.6"),
    (change_module(CXX_RUNTIME, cxx=True), "needs symbol version GLIBCXX_"),
    (lambda tmp, files: files.pop(f"{DIST_INFO}/licenses/thirdparty/libyaml.txt"), "lacks the licence text libyaml.txt"),
    (lambda tmp, files: files.pop(f"{DIST_INFO}/licenses/LICENSE"), "lacks the licence text LICENSE"),
    (lambda tmp, files: files.update({"big.bin": os.urandom(1_000_000)}), "bytes, not below 1000000"),
    (lambda tmp, files: files.pop(MODULE), "holds no ELF file"),
])
def test_check_flags_what_would_not_load_elsewhere(tmp_path, change, problem):
    files = base_files(tmp_path)
    change(tmp_path, files)
    found = check_wheel.wheel_problems(make_wheel(tmp_path / wheel_name(), files))
    if problem is None:
        assert found == []
    else:
        assert any(problem in p for p in found), found


def aarch64_module(tmp_path, files):
    cc = aarch64_cc()
    if cc is None:
        pytest.skip("no aarch64 cross compiler (zig or aarch64-linux-gnu-gcc)")
    files[MODULE.replace("x86_64", "aarch64")] = compile_elf(tmp_path, INIT_CALLING_GLIBC, cc=cc)
    del files[MODULE]


@needs_tools
@pytest.mark.parametrize("change, problem", [
    # An aarch64 module asking for aarch64's first glibc, 2.17, passes.
    (aarch64_module, None),
    # An x86_64 module would install on an aarch64 machine and fail at import.
    (lambda tmp, files: None, f"{MODULE} is x86_64 code in a wheel for aarch64"),
])
def test_aarch64_wheel_holds_only_aarch64_code(tmp_path, change, problem):
    files = base_files(tmp_path)
    change(tmp_path, files)
    found = check_wheel.wheel_problems(make_wheel(tmp_path / wheel_name("aarch64"), files))
    if problem is None:
        assert found == []
    else:
        assert found == [problem]


def test_added_licences_are_listed_in_record(tmp_path):
    texts = tmp_path / "texts"
    texts.mkdir()
    (texts / "libyaml.txt").write_text("Copyright (c) 2006 Kirill Simonov\n")
    wheel = tmp_path / "w.whl"
    with zipfile.ZipFile(wheel, "w") as zf:
        zf.writestr(MODULE, b"\x7fELF")
        zf.writestr(f"{DIST_INFO}/RECORD", f"{MODULE},sha256=x,4\n{DIST_INFO}/RECORD,,\n")
    check_wheel.add_licenses(wheel, texts)
    with zipfile.ZipFile(wheel) as zf:
        record = zf.read(f"{DIST_INFO}/RECORD").decode().splitlines()
        added = f"{DIST_INFO}/licenses/thirdparty/libyaml.txt"
        assert zf.read(added) == b"Copyright (c) 2006 Kirill Simonov\n"
    assert record[0] == f"{MODULE},sha256=x,4"
    assert record[1] == check_wheel.record_line(added, b"Copyright (c) 2006 Kirill Simonov\n")
    assert record[-1] == f"{DIST_INFO}/RECORD,,"
    assert len(record) == 3

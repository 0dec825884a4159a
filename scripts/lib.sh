# shellcheck shell=bash
# Shared by the set-up scripts: system packages, a CPython >= 3.12, and one venv per interpreter.
# Sourced, not run.
# The variables set here are for the scripts that source this file, which shellcheck, reading this
# file alone, cannot see.
# shellcheck disable=SC2034

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# What takes minutes to make is kept outside the checkout, so that a fresh clone (CI's) finds it
# ready: the Debian roots (roots.sh) and zig's compiled C++ runtime (the wheel scripts).
CACHE_DIR=${SOLVARINTH_CACHE:-$HOME/.cache/solvarinth-trainer}
SYSTEM_PACKAGES=(g++)   # C and C++: libyaml and RapidJSON come with the sources, in third_party/
# What a build with SOLVARINTH_SYSTEM_LIBS=ON needs besides.
SYSTEM_LIB_PACKAGES=(pkg-config libyaml-dev rapidjson-dev)

say() { printf '==> %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# The CPython minor versions the project supports, oldest first, read from pyproject.toml's
# classifiers: the Debian roots' interpreters follow them, and a second list here would drift
# from the one a user sees. Read without Python, as nothing may have found one yet.
mapfile -t PYTHON_VERSIONS < <(sed -nE 's/^ *"Programming Language :: Python :: (3\.[0-9]+)",?$/\1/p' \
    "$ROOT/pyproject.toml" | sort -V)
[ ${#PYTHON_VERSIONS[@]} -gt 0 ] || die "no \"Programming Language :: Python :: 3.X\" classifier in $ROOT/pyproject.toml"

# pythons_from VERSION: "pythonX.Y" for each supported version from VERSION on, one a line.
pythons_from() {
    local version
    for version in "${PYTHON_VERSIONS[@]}"; do
        [ "${version#3.}" -lt "${1#3.}" ] || echo "python$version"
    done
}

# The wheel scripts' --arch: x86_64, aarch64, or all for both.
# arch_option ARG...: takes --arch ARCH or --arch=ARCH off the head of the arguments into ARCH and
# sets TAKEN to the number of arguments that was; fails, taking nothing, on any other argument.
arch_option() {
    case "${1:-}" in
        --arch) ARCH=${2:-}; TAKEN=2 ;;
        --arch=*) ARCH=${1#--arch=}; TAKEN=1 ;;
        *) return 1 ;;
    esac
}

# load_arches: ARCHES, the architectures $ARCH names, and HOST_ARCH, this machine's. Stops the
# script on an unknown one.
load_arches() {
    case "$ARCH" in
        all) ARCHES=(x86_64 aarch64) ;;
        x86_64 | aarch64) ARCHES=("$ARCH") ;;
        *) die "unknown --arch $ARCH (x86_64, aarch64 or all)" ;;
    esac
    HOST_ARCH=$(uname -m)
}

# What runs the interpreters below: nothing for the host's, "in_root NAME" (roots.sh, set as a
# local by its caller) for those of a Debian root.
PYTHON_RUNNER=()

# Installs the C and C++ toolchain and the packages given, when missing.
ensure_system_packages() {
    local missing=()
    for pkg in "${SYSTEM_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    command -v apt-get >/dev/null || die "apt-get not found; install these packages yourself: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    say "installing ${missing[*]}"
    "${sudo[@]}" apt-get update -qq || die "apt-get update failed"
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null \
        || die "apt-get install ${missing[*]} failed"
}

# Prints "major.minor" when $1 is a CPython >= 3.12 that can make venvs, else nothing.
python_version_of() {
    local out
    out=$("${PYTHON_RUNNER[@]}" "$1" -c 'import sys, venv, platform
if platform.python_implementation() == "CPython" and sys.version_info >= (3, 12):
    print("%d.%d" % sys.version_info[:2])' 2>/dev/null) || return 0
    [[ "$out" =~ ^3\.[0-9]+$ ]] && echo "$out"
    return 0
}

# Prints one interpreter path per supported CPython minor version found on this machine, or only
# $PYTHON when it is set. Dies when there is none.
find_pythons() {
    if [ -n "${PYTHON:-}" ]; then
        [ -n "$(python_version_of "$PYTHON")" ] || die "PYTHON=$PYTHON is not a CPython >= 3.12 with venv"
        echo "$PYTHON"
        return
    fi
    local seen=" " found=0 candidate version
    for candidate in $(compgen -c python3. | grep -E '^python3\.[0-9]+$' | sort -u) \
        /usr/bin/python3.1[2-9] /usr/local/bin/python3.1[2-9] \
        "${PYENV_ROOT:-$HOME/.pyenv}"/versions/3.1[2-9]*/bin/python python3; do
        [ -x "$candidate" ] || candidate=$(command -v "$candidate" 2>/dev/null) || continue
        [ -n "$candidate" ] || continue
        version=$(python_version_of "$candidate") || true
        [ -n "$version" ] || continue
        case "$seen" in *" $version "*) continue ;; esac
        seen="$seen$version "
        found=1
        echo "$candidate"
    done
    [ "$found" -eq 1 ] || die "no CPython >= 3.12 found; install one (e.g. apt-get install python3.12-venv) or set PYTHON=/path/to/python3.12"
}

# Fills the array pythons with find_pythons' list, or stops the script when there is none. (Read
# through a process substitution, find_pythons' own stop would only end that subshell and leave
# an empty list behind.)
load_pythons() {
    local found
    found=$(find_pythons) || exit 1
    mapfile -t pythons <<<"$found"
}

# load_host_pythons: load_pythons, and the map host_python from each one's "major.minor" to it.
load_host_pythons() {
    local python
    load_pythons
    declare -gA host_python=()
    for python in "${pythons[@]}"; do
        host_python[$(python_version_of "$python")]=$python
    done
}

# Puts a cargo on PATH: the one already there, else rustup's in ~/.cargo/bin, else Debian's package.
ensure_cargo() {
    command -v cargo >/dev/null && return 0
    if [ -x "$HOME/.cargo/bin/cargo" ]; then
        export PATH="$HOME/.cargo/bin:$PATH"
        return 0
    fi
    ensure_system_packages cargo
    command -v cargo >/dev/null || die "cargo not found, even after installing Debian's cargo package"
}

# Creates (or reuses) .venv/NAME with the interpreter $1 and a current pip. Prints the venv's python.
make_venv() {
    local python=$1 venv="$ROOT/.venv/$2"
    "${PYTHON_RUNNER[@]}" test -x "$venv/bin/python" || "${PYTHON_RUNNER[@]}" "$python" -m venv "$venv" >&2 \
        || die "could not create a venv with $python"
    "${PYTHON_RUNNER[@]}" "$venv/bin/python" -m pip install -q --upgrade pip >&2 || die "pip upgrade failed in $venv"
    echo "$venv/bin/python"
}

# Prints the test extras of pyproject.toml one per line, for a venv that builds the module its own
# way (a list written out in a script would drift from the project's).
test_requirements() {
    "$1" -c 'import sys, tomllib
with open(sys.argv[1], "rb") as f:
    print("\n".join(tomllib.load(f)["project"]["optional-dependencies"]["test"]))' "$ROOT/pyproject.toml"
}

# Creates (or reuses) .venv/<$3>py<version> for the interpreter and installs the module into it
# with the extras $2 (default: test). Prints the venv's python.
venv_with_module() {
    local python=$1 extras=${2:-test} version venv_python
    version=$(python_version_of "$python")
    [ -n "$version" ] || die "$python is not a CPython >= 3.12 with venv"
    venv_python=$(make_venv "$python" "${3:-}py$version") || exit 1
    say "building and installing solvarinth_trainer for Python $version"
    "${PYTHON_RUNNER[@]}" "$venv_python" -m pip install -q "${ROOT}[$extras]" >&2 || die "pip install of the module failed for Python $version"
    echo "$venv_python"
}

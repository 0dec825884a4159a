#!/usr/bin/env bash
# The reference-leak check: builds the module for Debian's debug interpreter (python3.14-dbg, in
# the amd64 sid root) and runs tests/refleak/check_refleaks.py with it, which calls every outcome
# kind in repeated batches and fails on any growth of the interpreter's reference total, its
# allocated blocks or the open descriptors. Exits non-zero on a leak. Run as root (chroot).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/roots.sh"

ROOT_NAME=sid-amd64
DEBUG_PYTHON=python3.14d
WORK="$ROOT/build/refleak"

# The part that runs inside the root: the build tools in a venv of the debug interpreter, the
# module built for it, then the check. The checkout is at the same path in the root.
inside() {
    local venv="$WORK/venv"
    export PATH="$venv/bin:/usr/local/bin:/usr/bin:/bin" PYTHONWARNINGS=ignore  # pip's own ResourceWarnings
    if [ ! -x "$venv/bin/cmake" ]; then
        "$DEBUG_PYTHON" -m venv "$venv" || die "could not create a venv with $DEBUG_PYTHON"
        "$venv/bin/python" -m pip install -q scikit-build-core cmake ninja >&2 \
            || die "could not install the build tools into $venv"
    fi
    say "building the module for $DEBUG_PYTHON"
    "$venv/bin/python" -m pip install -q --no-build-isolation --no-deps -C build-dir="$WORK/cmake" "$ROOT" \
        || die "the module did not build for $DEBUG_PYTHON"
    unset PYTHONWARNINGS
    say "reference-leak check on $DEBUG_PYTHON"
    (cd "$WORK" && "$venv/bin/python" "$ROOT/tests/refleak/check_refleaks.py")
}

if [ "${1:-}" = --inside ]; then
    inside
    exit
fi

ensure_root "$ROOT_NAME" amd64 sid "${SID_AMD64_PACKAGES[@]}"
in_root "$ROOT_NAME" bash "$ROOT/scripts/refleak.sh" --inside

#!/usr/bin/env bash
# Sets everything up and runs every test: the module's pytest suite on each CPython >= 3.12 found
# (or only $PYTHON), and the example trainer's own tests. Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_system_packages
mapfile -t pythons < <(find_pythons)
[ ${#pythons[@]} -gt 0 ] || die "no CPython >= 3.12 found"

failed=()
for python in "${pythons[@]}"; do
    venv_python=$(venv_with_module "$python")
    version=$(python_version_of "$venv_python")
    say "pytest on Python $version"
    # Run from the tests' own directory so the checkout never shadows the installed module.
    (cd "$ROOT" && "$venv_python" -m pytest -q -p no:cacheprovider tests) || failed+=("pytest on Python $version")
done

say "core unit tests (config and launch, without Python)"
cmake_cmd=$(command -v cmake || true)
if [ -z "$cmake_cmd" ]; then
    "$venv_python" -m pip install -q cmake >&2 || die "could not install cmake"
    cmake_cmd="$(dirname "$venv_python")/cmake"
fi
{ "$cmake_cmd" -S "$ROOT" -B "$ROOT/build/core-tests" -DSOLVARINTH_MODULE=OFF -DSOLVARINTH_CORE_TESTS=ON >/dev/null \
    && "$cmake_cmd" --build "$ROOT/build/core-tests" -j "$(nproc)" >/dev/null \
    && "$ROOT/build/core-tests/core_tests"; } || failed+=("core unit tests")

if [ -f "$ROOT/examples/trainer/Cargo.toml" ]; then
    if command -v cargo >/dev/null; then
        say "cargo test for the example trainer"
        (cd "$ROOT/examples/trainer" && cargo test --offline -q) || failed+=("cargo test (examples/trainer)")
    else
        failed+=("cargo not found: the example trainer's tests cannot run")
    fi
fi

if [ ${#failed[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}" >&2
    exit 1
fi
say "all tests passed"

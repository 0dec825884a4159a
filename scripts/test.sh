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

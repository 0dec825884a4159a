#!/usr/bin/env bash
# Sets everything up and runs every test: the module's pytest suite and a stub check on each
# CPython >= 3.12 found (or only $PYTHON), the C++ unit tests of the Python-free core, the example
# trainer's own tests, the suite once more under ASan + UBSan, the whole suite against each
# portable wheel installed into a fresh venv, and an sdist built from source. Exits non-zero on
# any failure, and ends with one "N passed, N failed" line over everything.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
failed=()
step=0

# run_step NAME COMMAND...: runs and echoes a step, keeping its output to count results later.
run_step() {
    local name=$1
    shift
    step=$((step + 1))
    say "$name"
    if ! "$@" 2>&1 | tee "$logs/$step.log"; then
        failed+=("$name")
    fi
}

ensure_system_packages unicode-data   # its data files are what the Unicode table is tested against
# The example trainer's tests and the end-to-end pytest need a real cargo.
ensure_cargo
mapfile -t pythons < <(find_pythons)
[ ${#pythons[@]} -gt 0 ] || die "no CPython >= 3.12 found"

# The pre-commit hook test builds this checkout from source in a hook environment twice (about
# 90 s): one run on the first interpreter says what it has to say.
once_only=()
for python in "${pythons[@]}"; do
    venv_python=$(venv_with_module "$python")
    version=$(python_version_of "$venv_python")
    run_step "pytest on Python $version" \
        "$venv_python" -m pytest -q -p no:cacheprovider "${once_only[@]}" "$ROOT/tests"
    once_only=(--ignore "$ROOT/tests/cli/test_pre_commit_hook.py")
    "$venv_python" -m pip install -q mypy >&2 || die "could not install mypy"
    run_step "stubs against the built module on Python $version" \
        "$venv_python" -m mypy.stubtest solvarinth_trainer
done

cmake_cmd=$(command -v cmake || true)
if [ -z "$cmake_cmd" ]; then
    "$venv_python" -m pip install -q cmake >&2 || die "could not install cmake"
    cmake_cmd="$(dirname "$venv_python")/cmake"
fi
# Under ASan + UBSan, so that a seed or crash input that corrupts memory without crashing fails too.
core_tests() {
    "$cmake_cmd" -S "$ROOT" -B "$ROOT/build/core-tests" -DSOLVARINTH_MODULE=OFF -DSOLVARINTH_CORE_TESTS=ON \
        -DSOLVARINTH_SANITIZE=ON >/dev/null &&
        "$cmake_cmd" --build "$ROOT/build/core-tests" -j "$(nproc)" >/dev/null &&
        "$(dirname "$cmake_cmd")/ctest" --test-dir "$ROOT/build/core-tests" --output-on-failure
}
run_step "core unit tests and the fuzz seed corpus replayed (without Python, through ctest)" core_tests

if command -v cargo >/dev/null; then
    run_step "cargo test for the example trainer" \
        bash -c "cd '$ROOT/examples/trainer' && cargo test --offline -q --lib --tests"
else
    failed+=("cargo not found: the example trainer's tests cannot run")
fi

run_step "the whole suite again against an ASan + UBSan build" \
    env PYTHON="${pythons[0]}" bash "$ROOT/scripts/sanitize.sh"

# The portable wheels as a user gets them, for x86_64 and aarch64: built, checked, installed into
# a fresh venv per interpreter and tested where each runs (scripts/test_wheels.sh says how).
wheel_suite() {
    bash "$ROOT/scripts/build_wheels.sh" && bash "$ROOT/scripts/test_wheels.sh"
}
run_step "portable wheels, each installed into a fresh venv and tested" wheel_suite

run_step "sdist, built from source into a fresh venv" \
    "$venv_python" "$ROOT/scripts/check_dist.py" "$ROOT"

passed=$(cat "$logs"/*.log | grep -oE '[0-9]+ passed' | awk '{s += $1} END {print s + 0}')
failures=$(cat "$logs"/*.log | grep -oE '[0-9]+ failed' | awk '{s += $1} END {print s + 0}')
# ctest closes with "100% tests passed out of N" or "94% tests passed, F tests failed out of N".
read -r ctest_passed ctest_failed < <(cat "$logs"/*.log | grep -E '^[0-9]+% tests passed' |
    awk '{n = $NF; f = ($0 ~ / tests failed /) ? $4 : 0; p += n - f; q += f} END {print p + 0, q + 0}')
passed=$((passed + ctest_passed))
failures=$((failures + ctest_failed))
if [ ${#failed[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}" >&2
    echo "total: $passed passed, $((failures > 0 ? failures : ${#failed[@]})) failed"
    exit 1
fi
echo "total: $passed passed, $failures failed"

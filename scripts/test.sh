#!/usr/bin/env bash
# Sets everything up and runs every test: the module's pytest suite and a stub check on each
# CPython >= 3.12 found (or only $PYTHON) and on Debian sid's 3.14 and 3.15 in a Debian root, the
# suite once against the system's libyaml and RapidJSON, the C++ unit tests of the Python-free
# core, the example trainer's own tests, the suite once more under ASan + UBSan, a reference-leak
# check on a debug interpreter, the whole suite against each portable wheel installed into a fresh
# venv, an sdist built from source, and the sdist built in a root that has a compiler only. Exits
# non-zero on any failure, and ends with one "total: N passed, N failed" line over everything,
# added up from the JUnit reports of the steps.
#
#     scripts/test.sh            # the quicker set, for working on the module
#     scripts/test.sh --full     # everything: what CI runs
#
# --full adds the aarch64 wheels (cross-built, tested under qemu-user: about half an hour on a
# 2-core machine), the suite under ASan + UBSan, the build on the system's libraries and the sdist
# in a root that has a compiler only.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/roots.sh"

wheel_arches=$(uname -m) full=0
case "${1:-}" in
    "") ;;
    --full) wheel_arches=all full=1 ;;
    *) die "usage: $0 [--full]" ;;
esac

# Inside the checkout, so that the steps that run in a Debian root can write their reports here too.
mkdir -p "$ROOT/build"
logs=$(mktemp -d "$ROOT/build/test-logs.XXXXXX")
trap 'rm -rf "$logs"' EXIT
failed=()
step=1

# run_step NAME COMMAND...: runs and echoes a step, and records whether it passed. $step is the
# number of the step about to run: its command writes its JUnit reports to $logs/$step.xml, or to
# $logs/$step-*.xml when it has several (summarize_junit.py).
run_step() {
    local name=$1 status=passed
    shift
    say "$name"
    "$@" || { status=failed; failed+=("$name"); }
    echo "$status" >"$logs/$step.status"
    step=$((step + 1))
}

ensure_system_packages unicode-data   # its data files are what the Unicode table is tested against
ensure_system_packages doctest-dev    # the core unit tests' framework (CMake's find_package(doctest))
# The example trainer's tests and the end-to-end pytest need a real cargo.
ensure_cargo
load_pythons

# The pre-commit hook test builds this checkout from source in a hook environment twice (about
# 90 s): one run on the first interpreter says what it has to say.
once_only=()
for python in "${pythons[@]}"; do
    venv_python=$(venv_with_module "$python" test,examples)   # examples: the Dask recipe's test
    version=$(python_version_of "$venv_python")
    run_step "pytest on Python $version" \
        "$venv_python" -m pytest -q -p no:cacheprovider --junitxml="$logs/$step.xml" "${once_only[@]}" "$ROOT/tests"
    once_only=(--ignore "$ROOT/tests/cli/test_pre_commit_hook.py")
    "$venv_python" -m pip install -q mypy >&2 || die "could not install mypy"
    run_step "stubs against the built module on Python $version" \
        "$venv_python" -m mypy.stubtest solvarinth_trainer
done

# Debian sid's interpreters, which the host lacks, in a Debian root: each builds the module from
# this checkout into its own venv there, then the whole suite and the stub check run.
build_root=(sid-amd64 amd64 sid "${SID_AMD64_PACKAGES[@]}")
ensure_root "${build_root[@]}"
for python in "${ROOT_PYTHONS[@]}"; do
    root_python=$(root_venv_with_module "${build_root[0]}" "$python") || exit 1
    run_step "pytest on Debian's $python in the root ${build_root[0]}" in_root "${build_root[0]}" \
        "$root_python" -m pytest -q -p no:cacheprovider --junitxml="$logs/$step.xml" "${once_only[@]}" "$ROOT/tests"
    in_root "${build_root[0]}" "$root_python" -m pip install -q mypy >&2 || die "could not install mypy in the root"
    run_step "stubs against the built module on Debian's $python in the root ${build_root[0]}" \
        in_root "${build_root[0]}" "$root_python" -m mypy.stubtest solvarinth_trainer
done

# Built once on the first interpreter against the system's libyaml and RapidJSON, as a
# distribution would build it, so that the option for them stays tested.
system_libs_suite() {
    ensure_system_packages "${SYSTEM_LIB_PACKAGES[@]}"
    local venv_python requirements
    venv_python=$(make_venv "${pythons[0]}" "system-libs") || return 1
    mapfile -t requirements < <(test_requirements "$venv_python")
    "$venv_python" -m pip install -q "${requirements[@]}" || return 1
    "$venv_python" -m pip install -q --force-reinstall --no-deps -C build-dir="$ROOT/build/system-libs" \
        -C cmake.define.SOLVARINTH_SYSTEM_LIBS=ON "$ROOT" || return 1
    "$venv_python" -m pytest -q -p no:cacheprovider --junitxml="$logs/$step.xml" --ignore "$ROOT/tests/cli/test_pre_commit_hook.py" "$ROOT/tests"
}
[ "$full" = 0 ] || run_step "the suite against a build on the system's libyaml and RapidJSON" system_libs_suite

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
        "$(dirname "$cmake_cmd")/ctest" --test-dir "$ROOT/build/core-tests" --output-on-failure \
            --output-junit "$logs/$step.xml"
}
run_step "core unit tests and the fuzz seed corpus replayed (without Python, through ctest)" core_tests

if command -v cargo >/dev/null; then
    run_step "cargo test for the example trainer" \
        bash -c "cd '$ROOT/examples/trainer' && cargo test --offline -q --lib --tests"
else
    run_step "cargo not found: the example trainer's tests cannot run" false
fi

[ "$full" = 0 ] || run_step "the whole suite again against an ASan + UBSan build" \
    env PYTHON="${pythons[0]}" bash "$ROOT/scripts/sanitize.sh" --junitxml="$logs/$step.xml"

# Reference counts, which only a debug interpreter totals: Debian's python3.14-dbg in the amd64
# sid root, every outcome kind in repeated batches, as CPython's -R runs judge them.
run_step "reference-leak check on python3.14-dbg (amd64 sid root)" bash "$ROOT/scripts/refleak.sh"

# The portable wheels as a user gets them: built, checked, installed into a fresh venv per
# interpreter and tested where each runs (scripts/test_wheels.sh says how); aarch64 with --full.
wheel_suite() {
    # The roots whose interpreters build the wheels the machine's own lack, and configure and run
    # the cross-built ones; build_wheels.sh uses those that are there.
    [ "$wheel_arches" != all ] || ensure_root sid-arm64 arm64 sid "${SID_ARM64_PACKAGES[@]}" || return 1
    bash "$ROOT/scripts/build_wheels.sh" --arch "$wheel_arches" &&
        bash "$ROOT/scripts/test_wheels.sh" --arch "$wheel_arches" --junit "$logs/$step"
}
run_step "portable wheels, each installed into a fresh venv and tested" wheel_suite

run_step "sdist, built from source into a fresh venv" \
    "$venv_python" "$ROOT/scripts/check_dist.py" "$ROOT"

[ "$full" = 0 ] || run_step "sdist, built in a Debian root that has a compiler only, and the whole suite there" \
    bash "$ROOT/scripts/check_sdist_in_root.sh" --junitxml="$logs/$step.xml" "${once_only[@]}"

"${pythons[0]}" "$ROOT/scripts/summarize_junit.py" "$logs"
if [ ${#failed[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}" >&2
    exit 1
fi

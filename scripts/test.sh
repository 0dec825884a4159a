#!/usr/bin/env bash
# Sets everything up and runs every test: shellcheck over the shell scripts, the module's pytest
# suite built from the checkout, the suite once against the system's libyaml and RapidJSON, the
# C++ unit tests of the Python-free core, the example trainer's own tests, the suite once more
# under ASan + UBSan, a reference-leak check on a debug interpreter, the whole suite and a stub
# check against each portable wheel installed into a fresh venv (one per CPython >= 3.12 found
# here or in the Debian root sid-amd64, which adds the newer ones; with $PYTHON set, that version
# only), an sdist built from source, and the sdist built in a root that has a compiler only.
# Exits non-zero on any failure, and ends with one "total: N passed, N failed" line over
# everything, added up from the JUnit reports of the steps.
#
#     scripts/test.sh            # the quicker set, for working on the module
#     scripts/test.sh --full     # everything: what CI runs
#
# --full adds the aarch64 wheels (cross-built, tested under qemu-user), the suite under ASan +
# UBSan, the build on the system's libraries and the sdist in a root that has a compiler only.
# The steps that need nothing from the others (the wheels' and the compiler-only sdist's) run in
# the background beside them, each with its output kept and shown at the end with its outcome.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/roots.sh"

full=0
case "${1:-}" in
    "") ;;
    --full) full=1 ;;
    *) die "usage: $0 [--full]" ;;
esac

# Inside the checkout, so that the steps that run in a Debian root can write their reports here too.
mkdir -p "$ROOT/build"
logs=$(mktemp -d "$ROOT/build/test-logs.XXXXXX")
# Steps still running in the background when this script stops early end with it.
background=()
trap 'for entry in "${background[@]}"; do kill -- "-${entry%%:*}" 2>/dev/null; done; rm -rf "$logs"' EXIT
failed=()
step=1

# run_step NAME COMMAND...: runs and echoes a step, and records whether it passed. $step is the
# number of the step about to run: its command writes its JUnit reports to $logs/$step.xml, or to
# $logs/$step-*.xml when it has several (summarize_junit.py).
run_step() {
    local name=$1 status=passed start=$SECONDS
    shift
    say "$name"
    "$@" || { status=failed; failed+=("$name"); }
    echo "$status" >"$logs/$step.status"
    say "$status in $((SECONDS - start)) s: $name"
    step=$((step + 1))
}

# run_step_in_background NAME COMMAND...: the same, but the step runs beside the ones that
# follow, its output kept until finish_background_steps shows it with its outcome.
# Its own process group (setsid), which the EXIT trap can end as a whole.
run_step_in_background() {
    local name=$1
    shift
    say "$name: started in the background"
    setsid -w bash -c 'start=$SECONDS; "${@:2}" >"$1.log" 2>&1; echo $? >"$1.exit"; echo $((SECONDS - start)) >"$1.time"' \
        _ "$logs/$step" "$@" &
    background+=("$!:$step:$name")
    step=$((step + 1))
}

finish_background_steps() {
    local entry pid number name status
    for entry in "${background[@]}"; do
        IFS=: read -r pid number name <<<"$entry"
        wait "$pid" || true
        background=("${background[@]:1}")
        say "$name (ran in the background)"
        cat "$logs/$number.log" >&2
        status=passed
        [ "$(cat "$logs/$number.exit" 2>/dev/null)" = 0 ] || { status=failed; failed+=("$name"); }
        echo "$status" >"$logs/$number.status"
        say "$status in $(cat "$logs/$number.time" 2>/dev/null) s: $name"
    done
}

ensure_system_packages unicode-data   # its data files are what the Unicode table is tested against
ensure_system_packages doctest-dev    # the core unit tests' framework (CMake's find_package(doctest))
ensure_system_packages shellcheck     # the lint of the shell scripts

# First, as it takes seconds: every shell script, with the files it sources read along
# (scripts/.shellcheckrc says where to find them).
run_step "shellcheck over the shell scripts" shellcheck -x -S warning "$ROOT"/scripts/*.sh "$ROOT/.ci/run"

# The example trainer's tests and the end-to-end pytest need a real cargo.
ensure_cargo
load_pythons
# Debian sid's interpreters, which the host lacks (their wheels are built and tested there), the
# debug interpreter and the compiler-only build.
ensure_root sid-amd64 amd64 sid "${SID_AMD64_PACKAGES[@]}"

# (full) The aarch64 wheels first, so that their tests under emulation, the longest step by far,
# run beside everything else.
aarch64_wheels() {
    ensure_root sid-arm64 arm64 sid "${SID_ARM64_PACKAGES[@]}" && bash "$ROOT/scripts/build_wheels.sh" --arch aarch64
}
if [ "$full" = 1 ]; then
    run_step "the aarch64 wheels, cross-built" aarch64_wheels
    if [ "$(cat "$logs/$((step - 1)).status")" = passed ]; then
        run_step_in_background "the aarch64 wheels, each installed into its root's venv and tested under emulation" \
            bash "$ROOT/scripts/test_wheels.sh" --arch aarch64 --junit "$logs/$step"
    fi
fi

# This machine's wheels as a user gets them: built, checked, installed into a fresh venv per
# interpreter (this machine's and the root's) and tested there, the stubs checked against each
# (scripts/test_wheels.sh says how). They need nothing from the steps below either.
run_step_in_background "portable wheels, each installed into a fresh venv and tested" \
    bash -c 'bash "$0/scripts/build_wheels.sh" --arch "$1" && bash "$0/scripts/test_wheels.sh" --arch "$1" --junit "$2"' \
    "$ROOT" "$(uname -m)" "$logs/$step"

# The suite against a build from the checkout, with the pre-commit hook test (it builds this
# checkout in a hook environment) and the Dask recipe's (the examples extra). With --full only
# those two: the builds from the checkout on the system's libraries and under ASan + UBSan run
# the rest below, and every version's wheel the whole suite.
venv_python=$(venv_with_module "${pythons[0]}" test,examples)
version=$(python_version_of "$venv_python")
source_tests=("$ROOT/tests")
[ "$full" = 0 ] || source_tests=("$ROOT/tests/cli/test_pre_commit_hook.py" "$ROOT/tests/test_sweep_example.py")
run_step "pytest on Python $version, the module built from the checkout" \
    "$venv_python" -m pytest -q -p no:cacheprovider --junitxml="$logs/$step.xml" "${source_tests[@]}"
"$venv_python" -m pip install -q mypy >&2 || die "could not install mypy"
run_step "stubs against the built module on Python $version" \
    "$venv_python" -m mypy.stubtest solvarinth_trainer
# (full) Also beside the rest, on its own: it needs nothing from the steps here.
[ "$full" = 0 ] || run_step_in_background "sdist, built in a Debian root that has a compiler only, and the whole suite there" \
    bash "$ROOT/scripts/check_sdist_in_root.sh" --junitxml="$logs/$step.xml" -m "not builds_checkout"

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
    "$venv_python" -m pytest -q -p no:cacheprovider --junitxml="$logs/$step.xml" -m "not builds_checkout" "$ROOT/tests"
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

run_step "sdist, built from source into a fresh venv" \
    "$venv_python" "$ROOT/scripts/check_dist.py" "$ROOT"

finish_background_steps
"${pythons[0]}" "$ROOT/scripts/summarize_junit.py" "$logs"
if [ ${#failed[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}" >&2
    exit 1
fi

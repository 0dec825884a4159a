#!/usr/bin/env bash
# Tests each wheel in dist/ (the newest per Python version and architecture, as
# scripts/build_wheels.sh leaves them; only $PYTHON's version when set) where it runs, installed as
# a user gets it:
#
#     scripts/test_wheels.sh [--arch x86_64|aarch64|all] [--junit PREFIX]   # or WHEEL_ARCH=...; default all
#
# - this machine's architecture: a fresh venv of an interpreter of that version (this machine's,
#   else the Debian root's), the wheel installed with its test extras, the whole suite run from
#   outside the checkout (the pre-commit hook test builds from source, not the wheel: left out),
#   then mypy's stubtest of the stubs the wheel installs;
# - the other architecture: inside its Debian root, under qemu-user. Emulation makes Python about
#   twenty times slower, so a venv with the test tools is kept between runs (the wheel itself is
#   reinstalled each time), and only the tests about what a wheel brings run there:
#   EMULATED_TESTS below. The fake cargo is cross-compiled with zig, not compiled under emulation.
# Exits non-zero if any wheel fails; prints pytest's summary and the time of each run.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/roots.sh"

# The import and real calls with a fake trainer (launch), every config table (config), the
# command the wheel installs (cli/test_check_command.py), the module's surface and the escape
# table behind its quoted form. Left out there: the leak tests (thousands of calls each, with RSS
# figures qemu distorts), the notebook test (a Jupyter kernel, timing), the wait tests (signal
# timing), the pre-commit, packaging and example-trainer tests (they build or audit from source).
EMULATED_TESTS=(tests/launch/test_launch.py tests/config tests/cli/test_check_command.py tests/module tests/common)
# Left out of those under emulation (by pytest's durations, five of their ten minutes there): the
# property tests, whose hundreds of generated documents exercise the code the tables do, at about
# a second each, and the tests that judge the process's memory by its RSS, which qemu distorts.
EMULATED_DESELECT=(tests/config/yaml/test_yaml.py::test_matches_reference_model
    tests/cli/test_check_command.py::test_agrees_with_the_module_on_generated_documents
    tests/config/yaml/test_yaml_stream.py::test_memory_stays_near_the_text_size
    tests/config/yaml/test_yaml.py::test_deep_nesting_memory_stays_near_the_text_size
    tests/module/test_trainer_config.py::test_no_leak_in_construction_and_assignment)
# For the newer versions under emulation, what the wheel of each must show at the least: the
# import (checked before), real calls (launch) and the module's surface. Their parser is the
# same code as the oldest version's, whose run covers it.
EMULATED_MINIMUM=(tests/launch/test_launch.py tests/module/test_surface.py)

ARCH=${WHEEL_ARCH:-all}
JUNIT=   # with --junit PREFIX, each pytest run writes PREFIX-ARCH-VERSION.xml
while [ $# -gt 0 ]; do
    if arch_option "$@"; then
        shift "$TAKEN"
        continue
    fi
    case "$1" in
        --junit) JUNIT=${2:-}; shift 2 ;;
        *) die "usage: $0 [--arch x86_64|aarch64|all] [--junit PREFIX]" ;;
    esac
done
load_arches

# One per --arch, so that the aarch64 tests can run while the x86_64 ones do.
WORK="$ROOT/build/test-wheels/$ARCH"
rm -rf "$WORK"
mkdir -p "$WORK/bin"
load_host_pythons

# The test extras as pyproject.toml pins them; under emulation only those the tests there import.
mapfile -t test_extras < <(test_requirements "${pythons[0]}")
emulated_extras=()
for requirement in "${test_extras[@]}"; do
    case "$requirement" in pytest*|hypothesis*|pyyaml*|PyYAML*) emulated_extras+=("$requirement") ;; esac
done

# native_run VERSION WHEEL: fresh venv, wheel with its test extras, whole suite from outside.
native_run() {
    local version=$1 wheel=$2 venv="$WORK/venv-$HOST_ARCH-$1" runner=() python
    if [ -n "${host_python[$version]:-}" ]; then
        python=${host_python[$version]}
    else
        runner=(in_root "$(debian_root_of "$HOST_ARCH")")
        python=/usr/bin/python$version
    fi
    "${runner[@]}" "$python" -m venv "$venv" || return 1
    "${runner[@]}" "$venv/bin/python" -m pip install -q "${wheel}[test]" mypy || return 1
    (cd "$WORK" && "${runner[@]}" "$venv/bin/python" -c \
        'import sys, solvarinth_trainer as m; assert m.__file__.startswith(sys.prefix), m.__file__') || return 1
    (cd "$WORK" && "${runner[@]}" "$venv/bin/python" -m pytest -q -p no:cacheprovider \
        ${JUNIT:+"--junitxml=$JUNIT-$HOST_ARCH-$version.xml"} \
        -m "not builds_checkout" "$ROOT/tests") || return 1
    # The stubs the wheel installs, against the module it installs beside them.
    (cd "$WORK" && "${runner[@]}" "$venv/bin/python" -m mypy.stubtest solvarinth_trainer)
}

# emulated_run ARCH VERSION WHEEL: in the root of ARCH under qemu-user, the kept venv, the wheel
# reinstalled, EMULATED_TESTS.
emulated_run() {
    local arch=$1 version=$2 wheel=$3 root venv
    root=$(debian_root_of "$arch")
    # Inside the root, which is kept outside the checkout: a fresh clone (CI's) finds it ready, and
    # pip under emulation is slow.
    venv="/opt/solvarinth-test-venvs/py$version"
    [ -f "$(root_dir "$root")$venv/pyvenv.cfg" ] || in_root "$root" "/usr/bin/python$version" -m venv "$venv" || return 1
    in_root "$root" "$venv/bin/python" -m pip install -q "${emulated_extras[@]}" || return 1
    in_root "$root" "$venv/bin/python" -m pip install -q --no-deps --force-reinstall "$wheel" || return 1
    in_root "$root" "$venv/bin/python" -c \
        'import sys, solvarinth_trainer as m; assert m.__file__.startswith(sys.prefix), m.__file__' || return 1
    local paths=() tests=("${EMULATED_TESTS[@]}")
    [ "$version" = "$first_emulated" ] || tests=("${EMULATED_MINIMUM[@]}")
    for path in "${tests[@]}"; do paths+=("$ROOT/$path"); done
    # Node ids, relative to the checkout, as pytest matches them.
    for path in "${EMULATED_DESELECT[@]}"; do paths+=(--deselect "$path"); done
    in_root "$root" env CC="$WORK/bin/cc-$arch" "$venv/bin/python" -m pytest -q -p no:cacheprovider \
        ${JUNIT:+"--junitxml=$JUNIT-$arch-$version.xml"} "${paths[@]}"
}

# zig's static binary, not the ziglang launcher: that one needs the tools venv's interpreter,
# which the root lacks.
zigs=("$WHEEL_TOOLS_DIR"/venv/lib/python3*/site-packages/ziglang/zig)
zig=${zigs[0]}
for arch in "${ARCHES[@]}"; do
    [ "$arch" = "$HOST_ARCH" ] && continue
    [ -x "$zig" ] || die "no zig in $WHEEL_TOOLS_DIR/venv: run scripts/build_wheels.sh first"
    zig_compiler "$zig" cc "$arch" "$WORK/bin/cc-$arch"
done

# wheel_versions [SKIP_ARCH]: "major.minor" of each version that has a wheel in dist/ (leaving
# out SKIP_ARCH's wheels), oldest first.
wheel_versions() {
    local wheel
    for wheel in "$ROOT"/dist/solvarinth_trainer-*-cp3*manylinux_2_17_*.whl; do
        [ -e "$wheel" ] || continue
        [ -n "${1:-}" ] && [[ "$wheel" == *"_$1.whl" ]] && continue
        echo "$wheel"
    done | sed -E 's/.*-cp3([0-9]+)-.*/3.\1/' | sort -uV
}

# Every version a wheel was built for, so that none goes untested.
mapfile -t versions < <(wheel_versions)
# The oldest version with a wheel for another architecture runs EMULATED_TESTS, the rest the minimum.
mapfile -t emulated_versions < <(wheel_versions "$HOST_ARCH")
first_emulated=${emulated_versions[0]:-}
[ -z "${PYTHON:-}" ] || versions=("$(python_version_of "$PYTHON")")
failed=() tested=0
for arch in "${ARCHES[@]}"; do
    for version in "${versions[@]}"; do
        tag="cp${version/./}"
        wheel=$(ls -t "$ROOT"/dist/solvarinth_trainer-*-"$tag-$tag"-*manylinux_2_17_"$arch".whl 2>/dev/null | head -1) || true
        [ -n "$wheel" ] || continue
        tested=$((tested + 1))
        start=$SECONDS
        if [ "$arch" = "$HOST_ARCH" ]; then
            say "the whole suite against $(basename "$wheel")"
            native_run "$version" "$wheel" || failed+=("$(basename "$wheel")")
        else
            say "tests under emulation against $(basename "$wheel")"
            emulated_run "$arch" "$version" "$wheel" || failed+=("$(basename "$wheel")")
        fi
        say "$(basename "$wheel"): $((SECONDS - start)) s"
    done
done
[ "$tested" -gt 0 ] || die "no wheel in dist/ for ${ARCHES[*]}: run scripts/build_wheels.sh first"
if [ ${#failed[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}" >&2
    exit 1
fi

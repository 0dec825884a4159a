#!/usr/bin/env bash
# Builds the module with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole
# pytest suite against it, on the first CPython >= 3.12 found (or $PYTHON).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

ensure_system_packages
load_pythons
python=${pythons[0]}
version=$(python_version_of "$python")
venv_python=$(make_venv "$python" "asan-py$version")
mapfile -t requirements < <(test_requirements "$venv_python")
[ ${#requirements[@]} -gt 0 ] || die "no test extras found in pyproject.toml"
"$venv_python" -m pip install -q "${requirements[@]}" || die "could not install the test extras"
say "building the sanitized module for Python $version"
"$venv_python" -m pip install -q --force-reinstall --no-deps \
    -Ccmake.define.SOLVARINTH_SANITIZE=ON -Ccmake.build-type=RelWithDebInfo "$ROOT"

# The interpreter is not built with ASan, so the runtime has to be loaded first. Leak checking is
# off because the interpreter keeps its own allocations until exit; the suite's leak loops watch
# our memory instead, and the quarantine is off so that freed memory shows up in those loops.
libasan=$(g++ -print-file-name=libasan.so)
export LD_PRELOAD="$libasan"
# Any report ends the process by SIGABRT, never by a plain exit status: the check command exits 1
# for an invalid config, and a sanitizer's default exit status of 1 would pass for that verdict
# wherever a test looks at the status alone.
export ASAN_OPTIONS="detect_leaks=0:quarantine_size_mb=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:abort_on_error=1"
say "pytest under ASan + UBSan"
# The hook test checks packaging, not memory: it runs in the plain suites, not here.
"$venv_python" -m pytest -q -p no:cacheprovider -m "not builds_checkout" "$ROOT/tests" "$@"

#!/usr/bin/env bash
# Builds one libFuzzer target (CMake's SOLVARINTH_FUZZ: clang, ASan + UBSan) and runs it.
# Usage: scripts/fuzz.sh json|yaml [SECONDS] [extra libFuzzer flags...]
set -euo pipefail
source "$(dirname "$0")/lib.sh"

target=${1:?usage: fuzz.sh json|yaml [SECONDS]}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
ensure_system_packages clang libclang-rt-14-dev
cmake_cmd=$(command -v cmake) || die "cmake not found (pip install cmake)"
clangxx=$(command -v clang++ || command -v clang++-14) || die "clang++ not found"
clang=$(command -v clang || command -v clang-14) || die "clang not found"

build="$ROOT/build/fuzz"
"$cmake_cmd" -S "$ROOT" -B "$build" -DCMAKE_CXX_COMPILER="$clangxx" -DCMAKE_C_COMPILER="$clang" \
    -DSOLVARINTH_MODULE=OFF -DSOLVARINTH_FUZZ=ON >/dev/null
"$cmake_cmd" --build "$build" -j "$(nproc)" --target "fuzz_$target" >/dev/null

# JSON: the dictionary of its tokens, escapes, surrogates and number shapes. YAML: the dictionary
# of its tokens (both kept up to date by scripts/grammar_gen.py dict), and room for the inputs
# that fuzz/yaml_mutator.cpp stretches to 2^24 + 1 bytes. Length control stays off (libFuzzer's
# default with a custom mutator, written out so that it stays so): it would hand the mutator
# little more than the largest input so far. The mutator keeps ordinary mutations within 64 KB
# itself. A stretched input takes seconds under the sanitizers, hence the longer timeout and the
# higher memory limit.
limits=(-dict="$ROOT/fuzz/json.dict" -max_len=65536 -timeout=10 -rss_limit_mb=2048)
if [ "$target" = yaml ]; then
    limits=(-dict="$ROOT/fuzz/yaml.dict" -max_len=$(((1 << 24) + 64)) -len_control=0 -timeout=60
            -rss_limit_mb=4096)
fi

work="$build/corpus-$target"
mkdir -p "$work" "$build/artifacts"
say "fuzzing $target for ${seconds}s (corpus $work, seeds fuzz/corpus/$target)"
exec "$build/fuzz_$target" "$work" "$ROOT/fuzz/corpus/$target" -max_total_time="$seconds" \
    -artifact_prefix="$build/artifacts/$target-" "${limits[@]}" "$@"

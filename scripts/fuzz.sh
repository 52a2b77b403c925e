#!/usr/bin/env bash
# Builds the list file fuzzer with clang into ./build-fuzz (or
# $JOBLET_FUZZ_BUILD_DIR) and runs it for the given seconds (60 by default)
# on a copy of the seed corpus. Exits non-zero on any finding; the input that
# caused it is left in the build folder as crash-*, leak-*, timeout-* or oom-*.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-60}"

"$root/scripts/install-deps.sh"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2

# A copy, so that what the run learns never lands in the repository.
corpus="$build/corpus/listfile"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$root/fuzz/corpus/listfile/"* "$corpus/"

# Allocation stacks taken through the uninstrumented Qt make ASan's stack
# store grow by hundreds of MB a minute; a finding's input can be rerun with
# them (ASAN_OPTIONS= "$build/listfile_fuzzer" crash-...).
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0}"
"$build/listfile_fuzzer" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
  -artifact_prefix="$build/" "$corpus"

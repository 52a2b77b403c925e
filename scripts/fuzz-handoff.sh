#!/usr/bin/env bash
# Builds the fuzzers with clang into ./build-fuzz (or $JOBLET_FUZZ_BUILD_DIR)
# and runs the hand-off reader fuzzer for the given seconds (30 by default)
# on a copy of its seed corpus. Exits non-zero on any finding; the input that
# caused it is left in the build folder as crash-*, leak-*, timeout-* or oom-*.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-30}"

"$root/scripts/install-deps.sh"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2 --target handoff_fuzzer

# A copy, so that what the run learns never lands in the repository.
corpus="$build/corpus/handoff"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$root/fuzz/corpus/handoff/"* "$corpus/"

# Allocation stacks through the uninstrumented Qt make ASan's stack store
# grow fast; rerun a finding with ASAN_OPTIONS= to see them.
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0}"
"$build/handoff_fuzzer" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
  -artifact_prefix="$build/" "$corpus"

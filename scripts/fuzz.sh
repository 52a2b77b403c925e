#!/usr/bin/env bash
# Builds the fuzzers with clang into ./build-fuzz (or $JOBLET_FUZZ_BUILD_DIR)
# and runs one of them for the given seconds on a copy of its seed corpus:
#   fuzz.sh [seconds=60] [listfile|handoff]
# Exits non-zero on any finding; the input that caused it is left in the
# build folder as crash-*, leak-*, timeout-* or oom-*.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-60}"
target="${2:-listfile}"

"$root/scripts/install-deps.sh"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2 --target "${target}_fuzzer"

# A copy, so that what the run learns never lands in the repository.
corpus="$build/corpus/$target"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$root/fuzz/corpus/$target/"* "$corpus/"

options=()
if [ "$target" = listfile ]; then
  # Seeds one step short of the reader's limits (BatchListFile::MaxLines
  # lines, MaxLineChars characters on a line, both 32767), made here rather
  # than kept: a mutation that adds a line or a character crosses them.
  limit=32767
  awk -v n="$limit" 'BEGIN { for (i = 0; i < n; ++i) print ";;;" }' >"$corpus/seed_max_lines.jlt"
  { head -c $((limit - 3)) /dev/zero | tr '\0' 'a'; printf ';;;\n'; } >"$corpus/seed_max_line_chars.jlt"
  # libFuzzer's default max_len (4096) never reaches those limits: the
  # shortest line that parses is ";;;" and a newline, so MaxLines + 1 of them
  # take 131072 bytes. len_control=0 lets mutations use that length at once.
  options=(-max_len=262144 -len_control=0)
fi

# Allocation stacks taken through the uninstrumented Qt make ASan's stack
# store grow by hundreds of MB a minute; a finding's input can be rerun with
# them (ASAN_OPTIONS= "$build/${target}_fuzzer" crash-...).
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0}"
"$build/${target}_fuzzer" "${options[@]}" -max_total_time="$seconds" -timeout=25 \
  -print_final_stats=1 -artifact_prefix="$build/" "$corpus"

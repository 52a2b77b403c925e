#!/usr/bin/env bash
# Builds the test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# into ./build-asan (or $JOBLET_ASAN_BUILD_DIR) and runs it. Any report from
# our own code fails the run; leaks inside the uninstrumented system
# libraries (fontconfig, the Qt platform plugin, drivers) are suppressed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_ASAN_BUILD_DIR:-$root/build-asan}"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DJOBLET_SANITIZE=address,undefined -DJOBLET_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
cd "$build"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"

#!/usr/bin/env bash
# Builds the engine's tests with ThreadSanitizer into ./build-tsan (or
# $JOBLET_TSAN_BUILD_DIR) and runs them once; exits non-zero on any report.
# Qt and the media libraries are not instrumented, so TSan sees none of
# their own accesses: keep engine threads from sharing library objects by
# design rather than relying on it. scripts/tsan.supp names the one report
# from inside Qt's test library; it never matches a frame of our code.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_TSAN_BUILD_DIR:-$root/build-tsan}"

"$root/scripts/install-deps.sh"
flags="-fsanitize=thread -fno-omit-frame-pointer -g -O1"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJOBLET_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
cmake --build "$build" -j 2 --target tst_ffmpegengine tst_encoderengine

# die_after_fork=0: the fixtures run the ffmpeg command through QProcess.
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 ${TSAN_OPTIONS:-}"
# Sanitized code runs several times slower; the tests' watchdogs allow for it.
export JOBLET_WATCHDOG_SCALE=10
cd "$build"
QT_QPA_PLATFORM=offscreen ctest -R 'tst_(ffmpeg|encoder)engine' --output-on-failure

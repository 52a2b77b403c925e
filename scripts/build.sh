#!/usr/bin/env bash
# Configures and builds into ./build (or $JOBLET_BUILD_DIR): the targets
# named as arguments, else everything (tests and benches too).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" ${1:+--target "$@"}

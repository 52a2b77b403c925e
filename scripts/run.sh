#!/usr/bin/env bash
# Installs what is missing, builds, and starts Joblet.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
exec "$build/joblet" "$@"

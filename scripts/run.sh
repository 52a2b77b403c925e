#!/usr/bin/env bash
# Installs what is missing, builds, and starts Joblet.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${JOBLET_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh"
# The two programs only: the tests and benches would take most of the build.
"$root/scripts/build.sh" joblet joblet-batch
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: run this from a desktop session, or under Xvfb:" >&2
  echo "  apt-get install xvfb && xvfb-run bash scripts/run.sh" >&2
  exit 1
fi
exec "$build/joblet" "$@"

#!/usr/bin/env bash
# Installs a one-node Slurm (controller, node daemon, client) and munge from
# Debian's packages, for scripts/slurm/smoke.sh; nothing when present.
set -euo pipefail
exec "$(dirname "$0")/../install-deps.sh" slurmctld slurmd slurm-client munge

#!/usr/bin/env bash
# Installs a one-node Slurm (controller, node daemon, client) and munge from
# Debian's packages, for scripts/slurm/smoke.sh; nothing when present.
set -euo pipefail

packages=(slurmctld slurmd slurm-client munge)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
# policy-rc.d keeps the packages from starting daemons with their stock configuration.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"

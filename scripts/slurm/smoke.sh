#!/usr/bin/env bash
# Starts a one-node Slurm on this machine (munged, slurmctld, slurmd, each
# with its own files in a temporary folder and ports of its own), submits a
# list of 8 generated clips as an array over 4 shards plus the merge, and
# checks that the merged list reads "Done" on every row. Needs root (the
# daemons run as root here) and the packages of scripts/slurm/install-slurm.sh.
#   bash scripts/slurm/smoke.sh [path/to/joblet-batch]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
batch=$(realpath "${1:-$here/../../build/joblet-batch}")
[ -x "$batch" ] || { echo "smoke: no joblet-batch at $batch (build it first)" >&2; exit 2; }
bash "$here/install-slurm.sh"

work=$(mktemp -d /tmp/joblet-slurm.XXXXXX)
pids=()
cleanup() {
  local status=$? f pid
  # Only the daemons this script started, by the ids they wrote; each one
  # has ended before anything of its folder is removed (slurmctld saves its
  # state while it stops).
  for f in "$work"/slurmd.pid "$work"/slurmctld.pid "$work"/munged.pid; do
    [ -s "$f" ] || continue
    pid=$(cat "$f")
    kill "$pid" 2>/dev/null || continue
    timeout 60 tail --pid="$pid" -f /dev/null || { echo "smoke: daemon $pid did not stop" >&2; status=1; }
  done
  if [ "${KEEP:-0}" = 1 ]; then echo "smoke: kept $work"; else rm -rf "$work" || status=1; fi
  exit "$status"
}
trap cleanup EXIT
start=$(date +%s)
node=$(hostname -s)
mkdir -p "$work"/{state,spool,munge,media,out}

# munge with its own key and socket, so a system munged is left alone.
dd if=/dev/urandom of="$work/munge/munge.key" bs=1024 count=1 status=none
chmod 600 "$work/munge/munge.key"
chmod 700 "$work/munge"
/usr/sbin/munged --force --key-file="$work/munge/munge.key" --socket="$work/munge/socket" \
  --pid-file="$work/munged.pid" --log-file="$work/munge/log" --seed-file="$work/munge/seed"

cat > "$work/slurm.conf" <<CONF
ClusterName=jobletsmoke
SlurmctldHost=$node
SlurmctldPort=16817
SlurmdPort=16818
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$work/munge/socket
CredType=cred/munge
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
SwitchType=switch/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
ReturnToService=2
NodeName=$node CPUs=$(nproc) State=UNKNOWN
PartitionName=smoke Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$work/slurm.conf"
/usr/sbin/slurmctld -i
/usr/sbin/slurmd

# The controller takes a moment to listen; bounded, one try a second.
for _ in $(seq 30); do
  scontrol ping 2>/dev/null | grep -q UP && break
  sleep 1
done
scontrol ping | grep -q UP || { echo "smoke: slurmctld did not come up" >&2; cat "$work/slurmctld.log" >&2; exit 1; }

# Eight short clips, one list of eight rows.
list="$work/media/list.jlt"
: > "$list"
for i in $(seq 8); do
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc=size=320x240:rate=30:duration=2" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -ac 2 \
    -c:v mpeg4 -c:a libmp3lame "$work/media/c$i.avi"
  printf '%s;%s;%s;\r\n' "$work/media/c$i.avi" "$work/out/c$i.wmv" "Qimto Clipwright 320X240" >> "$list"
done

export JOBLET_BATCH="$batch" XDG_DATA_HOME="$work/xdg"
cd "$work"
array=$(sbatch --parsable --array=1-4 "$here/joblet-array.sbatch" "$list")
# --wait blocks until the merge has ended, which is after every array task.
set +e
sbatch --wait --parsable --dependency="afterany:${array%%;*}" "$here/joblet-merge.sbatch" "$list" 4 >/dev/null
merged=$?
set -e

done_rows=$(grep -c ';Done'$'\r''$' "$list" || true)
echo "smoke: merge exit $merged, $done_rows of 8 rows Done, $(( $(date +%s) - start )) s"
if [ "$merged" -ne 0 ] || [ "$done_rows" -ne 8 ]; then
  tail -n +1 "$work"/joblet-*.log "$work/slurmd.log" >&2 || true
  exit 1
fi
echo "smoke: passed"

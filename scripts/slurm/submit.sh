#!/usr/bin/env bash
# Submits a list as an array of N shards and the merge that waits for them:
#   scripts/slurm/submit.sh /shared/list.jlt 8 [extra sbatch options...]
# Prints the array's and the merge's job ids. The list, its clips and the
# outputs must be on a folder every node sees at the same path.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
list=$(realpath "${1:?usage: submit.sh LIST.jlt N [sbatch options]}")
n=${2:?usage: submit.sh LIST.jlt N [sbatch options]}
shift 2

array=$(sbatch --parsable "$@" --array="1-$n" "$here/joblet-array.sbatch" "$list")
merge=$(sbatch --parsable "$@" --dependency="afterany:${array%%;*}" \
  "$here/joblet-merge.sbatch" "$list" "$n")
echo "array ${array%%;*} merge ${merge%%;*}"

#!/usr/bin/env bash
# Throughput of qxbatch on a study of many small cases: the bundled example
# copied N times, one case per directory, converted two at a time by
#   - xargs -P 2 running qxconv in each case's directory with its answers;
#   - qxbatch -j 2 (its record appended and synced per case);
# and, for the cost of looking, qxbatch --skip-done on the study once done.
#
# usage: bench/study_throughput.sh [N]      N cases (default 1000)
# environment: RUNS   timed runs of each command (default 5; the median is
#                     reported)
#              DIR    where the study goes (default out/ in the repository)
#
# Builds qxconv and qxbatch in build-bench/ (Release). Every command runs once
# untimed first; the timed runs are interleaved, and before each one the
# outputs and the record of the previous one are deleted and `sync` is run
# (untimed).
set -euo pipefail

cases=${1:-1000}
runs=${RUNS:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
dir=${DIR:-$root/out}

bench_name=bench/study_throughput.sh
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"

check_runs "$runs"
[[ $cases =~ ^[1-9][0-9]*$ ]] || die "N must be a positive number of cases, not '$cases'"
check_tools cmake ninja xargs /usr/bin/time

build_release qxconv qxbatch

mkdir -p "$dir"
scratch=$(mktemp -d "$dir/study.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

echo "copying the example $cases times ..."
mkdir "$scratch/study"
for ((i = 1; i <= cases; ++i)); do
  d=$(printf '%s/study/c%05d' "$scratch" "$i")
  mkdir "$d"
  cp "$root"/example/case1.qxin "$root"/example/case1.TP18 "$root"/example/case1.TP19 "$d/"
done
(cd "$scratch/study" && printf '%s\n' c*) >"$scratch/list"
printf 'case1.qxin\ncase1.TP18\nNo\n' >"$scratch/answers"

# Every case as qxbatch -j 2 leaves it, with its record: for the run that
# finds them done.
clean_outputs() {
  find "$scratch/study" -name 'case1_*' -delete
  rm -f "$scratch/record.tsv"
}

xargs_run() {
  # shellcheck disable=SC2016 # $1 and $2 belong to the inner shell
  (cd "$scratch/study" && timed xargs xargs -P 2 -I{} sh -c 'cd "$1" && "$2" <"$3" >/dev/null' sh {} \
    "$build/qxconv" "$scratch/answers" <"$scratch/list")
}

# qxbatch OPTION... on every case of the list, with the study's record.
qxbatch_study() {
  mapfile -t names <"$scratch/list"
  (cd "$scratch/study" && "$@" -q --record "$scratch/record.tsv" "${names[@]}") || die "$* failed"
}

run_one() {
  case $1 in
    xargs)
      clean_outputs
      sync
      xargs_run || die "xargs -P 2 qxconv failed"
      ;;
    qxbatch)
      clean_outputs
      sync
      qxbatch_study timed qxbatch "$build/qxbatch" -j 2
      ;;
    skip)
      [ -s "$scratch/record.tsv" ] || qxbatch_study "$build/qxbatch" -j 2
      sync
      qxbatch_study timed skip "$build/qxbatch" -j 2 --skip-done
      ;;
  esac
  local n
  n=$(find "$scratch/study" -name 'case1_TP18-19_COVT.lst' -exec tail -n 1 {} + | grep -c '^NORMAL END$' || true)
  ((n == cases)) || die "$1: $n of $cases cases end with NORMAL END"
}

load_before=$(load_average)
commands=(xargs qxbatch skip)
run_interleaved "$runs" "${commands[@]}"
load_after=$(load_average)

declare -A label=(
  [xargs]="xargs -P 2 qxconv"
  [qxbatch]="qxbatch -j 2"
  [skip]="qxbatch -j 2 --skip-done, all done"
)
echo
echo "study: $cases copies of example/case1 (one directory each)"
echo "machine: $(machine_text)"
echo "load average: $load_before before, $load_after after"
echo "runs: $runs timed runs of each command, interleaved, after one untimed warm-up"
echo
timing_table "${commands[@]}"
ratio=$(awk -v a="$(median qxbatch 1)" -v b="$(median xargs 1)" 'BEGIN {printf "%.3f", a / b}')
verdict=$(awk -v v="$ratio" 'BEGIN {print v <= 1.1 ? "met" : "NOT MET"}')
echo
echo "target (medians of wall time):"
printf '  %-44s %8s   %-16s %s\n' "qxbatch -j 2 / xargs -P 2 qxconv" "$ratio" "(at most 1.1)" "$verdict"

#!/usr/bin/env bash
# Several builds of qxconv side by side on one generated case, interleaved
# run by run, beside cp of the inputs and cp of the files that the run with
# every option writes; medians of wall time and of CPU time (user + sys,
# 10 ms resolution), peak RSS. For measuring a change against the build
# before it on a busy machine, where only figures taken together compare.
#
# usage: bench/compare.sh SIZE RUNS DIR QXCONV...
#   SIZE as for qxgen --size; DIR holds the scratch data (/dev/shm leaves
#   the disk out) and is cleaned up; QXGEN names the generator (default
#   build-bench/qxgen).
set -euo pipefail
(($# >= 4)) || { echo "usage: bench/compare.sh SIZE RUNS DIR QXCONV..." >&2; exit 2; }
size=$1 runs=$2 dir=$3
shift 3
progs=("$@")
root=$(cd "$(dirname "$0")/.." && pwd)
qxgen=${QXGEN:-$root/build-bench/qxgen}
bench_name=bench/compare.sh
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"
check_runs "$runs"
scratch=$(mktemp -d "$dir/compare.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
"$qxgen" --out "$scratch/case" --seed 1 --size "$size" >/dev/null
inputs=("$scratch/case.qxin" "$scratch/case.TP18" "$scratch/case.TP19")

convert() {
  local name=$1 prog=$2 answer=$3
  shift 3
  fresh_run_dir
  printf 'case.qxin\ncase.TP18\n%s\n' "$answer" >"$scratch/answers"
  (cd "$scratch/run" && timed "$name" "$prog" "$@" <"$scratch/answers" >/dev/null)
  rm -rf "$scratch/run"
  sync
}
copy() {
  rm -rf "$scratch/copy"
  mkdir "$scratch/copy"
  timed "$@" "$scratch/copy/"
  rm -rf "$scratch/copy"
  sync
}

fresh_run_dir
printf 'case.qxin\ncase.TP18\nNo\n' >"$scratch/answers"
(cd "$scratch/run" && "${progs[0]}" "${all_options[@]}" <"$scratch/answers" >/dev/null)
mkdir "$scratch/outputs"
find "$scratch/run" -maxdepth 1 -type f -exec mv {} "$scratch/outputs/" \;
# The builds take turns in the order of each round: the run after another
# build's was measured a few per cent faster than the run after cp here.
order=("${!progs[@]}")
for ((r = 0; r <= runs; r++)); do  # run 0 warms the page cache, untimed
  copy cp cp "${inputs[@]}"
  for ((k = 0; k < ${#order[@]}; k++)); do
    i=${order[r % 2 ? ${#order[@]} - 1 - k : k]}
    convert "le$i" "${progs[$i]}" No
    convert "be$i" "${progs[$i]}" Yes
    convert "all$i" "${progs[$i]}" No "${all_options[@]}"
  done
  copy cpout cp "$scratch"/outputs/*
  ((r > 0)) || rm -f "$scratch"/results.*
done

# Wall times (column 1) in microseconds, CPU times (column 2) in seconds:
# both printed in microseconds.
in_us() { median "$1" "$2" | awk -v k="$2" '{print k == 2 ? $1 * 1e6 : $1}'; }
peak() { column_max "$1" 3; }
echo "case $size (seed 1), $runs runs, in $dir, load average $(load_average)"
for column in 1 2; do
  ((column == 1)) && echo "wall time (medians):" || echo "CPU time (medians):"
  cp_in=$(in_us cp $column) cp_out=$(in_us cpout $column)
  awk -v a="$cp_in" -v b="$cp_out" 'BEGIN {printf "  cp of the inputs %.1f ms, cp of the outputs of every option %.1f ms\n", a / 1000, b / 1000}'
  for i in "${!progs[@]}"; do
    awk -v p="${progs[$i]}" -v le="$(in_us "le$i" $column)" -v be="$(in_us "be$i" $column)" \
      -v a="$(in_us "all$i" $column)" -v ci="$cp_in" -v co="$cp_out" -v r1="$(peak "le$i")" -v r2="$(peak "all$i")" \
      'BEGIN {printf "  %s\n    no option %.1f ms (%.2f x cp), big-endian %.1f ms (%.2f x LE), every option %.1f ms (%.2f x cp of its outputs), peak RSS %d / %d KB\n", p, le / 1000, le / ci, be / 1000, be / le, a / 1000, a / co, r1, r2}'
  done
done

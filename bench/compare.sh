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
qxgen=${QXGEN:-$(cd "$(dirname "$0")/.." && pwd)/build-bench/qxgen}
s=$(mktemp -d "$dir/compare.XXXXXX")
trap 'rm -rf "$s"' EXIT
"$qxgen" --out "$s/case" --seed 1 --size "$size" >/dev/null
inputs=("$s/case.qxin" "$s/case.TP18" "$s/case.TP19")
all=(-stru -spec -ampl -wave -maxr -four)

fresh() {
  rm -rf "$s/run"
  mkdir "$s/run"
  ln -s ../case.qxin ../case.TP18 ../case.TP19 "$s/run/"
}
# Appends "wall_us rss_kb cpu_us" to the results of NAME.
timed() {
  local name=$1 t0 t1 rss user sys
  shift
  t0=$(date +%s%N)
  /usr/bin/time -f '%M %U %S' -o "$s/time" "$@"
  t1=$(date +%s%N)
  read -r rss user sys <"$s/time"
  echo "$(((t1 - t0) / 1000)) $rss $(awk -v u="$user" -v s="$sys" 'BEGIN {print (u + s) * 1e6}')" >>"$s/res.$name"
}
convert() {
  local name=$1 prog=$2 answer=$3
  shift 3
  fresh
  printf 'case.qxin\ncase.TP18\n%s\n' "$answer" >"$s/answers"
  (cd "$s/run" && timed "$name" "$prog" "$@" <"$s/answers" >/dev/null)
  rm -rf "$s/run"
  sync
}
copy() {
  rm -rf "$s/copy"
  mkdir "$s/copy"
  timed "$@" "$s/copy/"
  rm -rf "$s/copy"
  sync
}

fresh
printf 'case.qxin\ncase.TP18\nNo\n' >"$s/answers"
(cd "$s/run" && "${progs[0]}" "${all[@]}" <"$s/answers" >/dev/null)
mkdir "$s/outputs"
find "$s/run" -maxdepth 1 -type f -exec mv {} "$s/outputs/" \;
for ((r = 0; r <= runs; r++)); do  # run 0 warms the page cache, untimed
  copy cp cp "${inputs[@]}"
  for i in "${!progs[@]}"; do
    convert "le$i" "${progs[$i]}" No
    convert "be$i" "${progs[$i]}" Yes
    convert "all$i" "${progs[$i]}" No "${all[@]}"
  done
  copy cpout cp "$s"/outputs/*
  ((r > 0)) || rm -f "$s"/res.*
done

median() { cut -d' ' -f"$2" "$s/res.$1" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
peak() { cut -d' ' -f2 "$s/res.$1" | sort -g | tail -1; }
echo "case $size (seed 1), $runs runs, in $dir, load average $(cut -d' ' -f1-3 /proc/loadavg)"
for column in 1 3; do
  ((column == 1)) && echo "wall time (medians):" || echo "CPU time (medians):"
  cp_in=$(median cp $column) cp_out=$(median cpout $column)
  awk -v a="$cp_in" -v b="$cp_out" 'BEGIN {printf "  cp of the inputs %.1f ms, cp of the outputs of every option %.1f ms\n", a / 1000, b / 1000}'
  for i in "${!progs[@]}"; do
    awk -v p="${progs[$i]}" -v le="$(median "le$i" $column)" -v be="$(median "be$i" $column)" \
      -v a="$(median "all$i" $column)" -v ci="$cp_in" -v co="$cp_out" -v r1="$(peak "le$i")" -v r2="$(peak "all$i")" \
      'BEGIN {printf "  %s\n    no option %.1f ms (%.2f x cp), big-endian %.1f ms (%.2f x LE), every option %.1f ms (%.2f x cp of its outputs), peak RSS %d / %d KB\n", p, le / 1000, le / ci, be / 1000, be / le, a / 1000, a / co, r1, r2}'
  done
done

#!/usr/bin/env bash
# Times qxdump --hdf5 on a converted file of about 1 GB beside cp of the same
# file, and measures its peak memory:
#   - cp of the converted file (reading and writing every byte once);
#   - qxdump --hdf5 of the little-endian file and of the big-endian one (the
#     values byte-swapped on the way);
#   - qxdump --hdf5 --compress (shuffle and deflate);
#   - qxdump --csv of the file's longest time history, for scale.
#
# usage: bench/hdf5_export.sh [SIZE]   SIZE as for qxgen --size (default
#                                      1600M: a TP18 file of 1.2 GB whose SV
#                                      file holds 0.98 GB)
# environment: RUNS   timed runs of each command (default 5; the median is
#                     reported)
#              SEED   seed of the case (default 1)
#
# Builds what it needs in build-bench/ (Release, with HDF5). Every command
# runs once untimed first, so that the input is in the page cache; the timed
# runs are interleaved, each on a fresh output after a sync. Scratch data
# lives in out/ and is removed at the end.
set -euo pipefail

size=${1:-1600M}
runs=${RUNS:-5}
seed=${SEED:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench

bench_name=bench/hdf5_export.sh
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"

check_runs "$runs"
bytes=$(size_bytes "$size")
check_tools cmake ninja /usr/bin/time

# The TP18 file, its SV and SH files in both byte orders, and the largest
# output, all at once.
mkdir -p "$root/out"
check_space "$root/out" $((bytes * 4 + (256 << 20)))

build_release

scratch=$(mktemp -d "$root/out/bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
if "$build/qxdump" --hdf5 "$scratch/probe.h5" "$scratch/none" 2>&1 | grep -q "built without HDF5"; then
  die "qxdump was built without HDF5 (Debian: libhdf5-dev)"
fi

echo "generating a $size case (seed $seed) and converting it both ways ..."
generate_case "$scratch/case" --only-tp18
for order in le be; do
  mkdir "$scratch/$order"
  ln -s ../case.qxin ../case.TP18 "$scratch/$order/"
  answer=No
  [[ $order == be ]] && answer=Yes
  (cd "$scratch/$order" && printf 'case.qxin\ncase.TP18\n%s\n' "$answer" | "$build/qxconv" >/dev/null) ||
    die "qxconv failed"
done
input=$scratch/le/case_QX2D.TP18
input_bytes=$(stat -c %s "$input")
# The longest time history, for the CSV run.
longest=$("$build/qxdump" "$input" | awk '$4 == "WAVE" { n = substr($7, 8) + 0; if (n > best) { best = n; block = $2 } } END { print block }')

run_one() {
  rm -f "$scratch/out.bin" "$scratch/out.h5" "$scratch/out.csv"
  sync
  case $1 in
    cp) timed cp cp "$input" "$scratch/out.bin" ;;
    le) timed le "$build/qxdump" --hdf5 "$scratch/out.h5" "$input" ;;
    be) timed be "$build/qxdump" --hdf5 "$scratch/out.h5" "$scratch/be/case_QX2D.TP18" ;;
    zip) timed zip "$build/qxdump" --hdf5 "$scratch/out.h5" --compress "$input" ;;
    csv) timed csv sh -c '"$1" --csv "$2" "$3" > "$4"' sh "$build/qxdump" "$longest" "$input" "$scratch/out.csv" ;;
  esac
  case $1 in
    le) h5_size=$(stat -c %s "$scratch/out.h5") ;;
    zip) zip_size=$(stat -c %s "$scratch/out.h5") ;;
    csv) csv_size=$(stat -c %s "$scratch/out.csv") ;;
  esac
}

load_before=$(load_average)
commands=(cp le be zip csv)
echo "warm-up (untimed) ..."
run_interleaved "$runs" "${commands[@]}"
load_after=$(load_average)

declare -A label=(
  [cp]="cp of the converted file"
  [le]="qxdump --hdf5, little-endian file"
  [be]="qxdump --hdf5, big-endian file"
  [zip]="qxdump --hdf5 --compress"
  [csv]="qxdump --csv of block $longest"
)

echo
echo "converted file: case_QX2D.TP18 of a $size case (seed $seed), $input_bytes bytes"
echo "HDF5 file: $h5_size bytes; with --compress $zip_size bytes; CSV of block $longest: $csv_size bytes"
echo "machine: $(machine_text)"
echo "load average: $load_before before, $load_after after"
echo "runs: $runs timed runs of each command, interleaved, after one untimed warm-up"
echo
timing_table "${commands[@]}"
ratio() { awk -v a="$(median "$1" 1)" -v b="$(median "$2" 1)" 'BEGIN {printf "%.2f", a / b}'; }
echo
echo "qxdump --hdf5 / cp (medians of wall time): little-endian $(ratio le cp), big-endian $(ratio be cp)"

#!/usr/bin/env bash
# Converts a generated case of the given size and sets the converter's wall
# time and peak memory beside its physical limits, in one run:
#   - cp of the input files (reading and writing every byte once);
#   - qxconv without options, little- and big-endian;
#   - qxconv with every option on (text twins of everything);
#   - cp of the files that run writes (its limit as a stream);
#   - a Fortran program (gfortran -O2) that writes as many values through
#     "(1P,6E15.5)" as the converter formats with every option on.
#
# usage: bench/run.sh [SIZE]      SIZE as for qxgen --size (default 1G)
# environment: RUNS   timed runs of each command (default 5; the median is
#                     reported)
#              SEED   seed of the case (default 1)
#              DIR    where the case and the outputs go (default out/ in the
#                     repository; /dev/shm leaves the disk's writeback out)
#
# Builds what it needs in build-bench/ (Release). Every command runs once
# untimed first, so that the inputs are in the page cache; the timed runs
# are interleaved, each on fresh output files after a sync, so that no run
# pays for another's writeback. Scratch data lives in DIR and is removed at
# the end.
set -euo pipefail

size=${1:-1G}
runs=${RUNS:-5}
seed=${SEED:-1}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench
dir=${DIR:-$root/out}

bench_name=bench/run.sh
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"

check_runs "$runs"
bytes=$(size_bytes "$size")
check_tools cmake ninja gfortran /usr/bin/time

# The inputs, the outputs of the largest run (binary files about as large as
# the inputs, text twins about four times as large), a copy of those outputs
# kept for cp, and the copy of cp or the Fortran text, whichever is larger,
# all at once at worst.
mkdir -p "$dir"
check_space "$dir" $((bytes * 13 + (256 << 20))) "Choose a smaller size or make room."

build_release
gfortran -O2 -o "$build/e15_writer" "$root/bench/e15_writer.f90"

scratch=$(mktemp -d "$dir/bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

echo "generating a $size case (seed $seed) ..."
generate_case "$scratch/case"
inputs=("$scratch/case.qxin" "$scratch/case.TP18" "$scratch/case.TP19")
input_bytes=$(stat -c %s "${inputs[@]}" | awk '{s += $1} END {print s}')

# One conversion; ANSWER is the answer to the byte-order question.
convert() {
  local name=$1 answer=$2
  shift 2
  fresh_run_dir
  printf 'case.qxin\ncase.TP18\n%s\n' "$answer" >"$scratch/answers"
  (cd "$scratch/run" && timed "$name" "$build/qxconv" "$@" <"$scratch/answers" >terminal.txt) ||
    die "qxconv $* failed: $(tail -3 "$scratch/run/terminal.txt")"
  grep -q "NORMAL END" "$scratch/run/case_TP18-19_COVT.lst" || die "qxconv $* did not end normally"
}

copy_inputs() {
  rm -rf "$scratch/copy"
  mkdir "$scratch/copy"
  timed "$1" cp "${inputs[@]}" "$scratch/copy/"
}

# The files that qxconv writes with every option on, copied.
copy_outputs() {
  rm -rf "$scratch/copy"
  mkdir "$scratch/copy"
  timed "$1" cp "$scratch"/outputs/* "$scratch/copy/"
}

fortran() {
  rm -rf "$scratch/fortran"
  mkdir "$scratch/fortran"
  timed "$1" "$build/e15_writer" "$values" "$scratch/fortran/values.txt"
}

# Values the converter formats with every option on: every value of the
# converted binary files (4-byte items between the record markers) is also
# shown in their text twins.
count_values() {
  local total=0 f end
  for f in "$scratch"/run/case_QX2D.TP18 "$scratch"/run/case_QXSH.TP18 \
    "$scratch"/run/case_QX2D.TP19 "$scratch"/run/case_QXSH.TP19; do
    end=$("$build/qxdump" "$f" | tail -1)
    [[ $end =~ ^end\ @([0-9]+)\ records=([0-9]+) ]] || die "qxdump cannot read $f"
    total=$((total + (BASH_REMATCH[1] - 8 * BASH_REMATCH[2]) / 4))
  done
  echo "$total"
}

run_one() {
  case $1 in
    cp) copy_inputs cp ;;
    cpout) copy_outputs cpout ;;
    le) convert le No ;;
    be) convert be Yes ;;
    all) convert all No "${all_options[@]}" ;;
    fortran) fortran fortran ;;
  esac
  rm -rf "$scratch/run" "$scratch/copy" "$scratch/fortran"
  sync
}

load_before=$(load_average)

echo "warm-up (untimed) ..."
fresh_run_dir
printf 'case.qxin\ncase.TP18\nNo\n' >"$scratch/answers"
(cd "$scratch/run" && "$build/qxconv" "${all_options[@]}" <"$scratch/answers" >/dev/null) || die "qxconv with every option failed"
values=$(count_values)
text_bytes=$(cat "$scratch"/run/*.txt | wc -c)
mkdir "$scratch/outputs"
find "$scratch/run" -maxdepth 1 -type f ! -name terminal.txt -exec mv {} "$scratch/outputs/" \;
output_bytes=$(cat "$scratch"/outputs/* | wc -c)
commands=(cp le be all cpout fortran)
run_interleaved "$runs" "${commands[@]}"
load_after=$(load_average)

declare -A label=(
  [cp]="cp of the input files"
  [le]="qxconv, no option, little-endian"
  [be]="qxconv, no option, big-endian"
  [all]="qxconv, every option on"
  [cpout]="cp of the files that run writes"
  [fortran]="gfortran -O2, (1P,6E15.5)"
)

echo
echo "case: $size, seed $seed: inputs $input_bytes bytes ($(stat -c '%n %s' "${inputs[@]}" | sed "s|$scratch/||" | paste -sd, | sed 's/,/, /g'))"
echo "values formatted with every option on: $values ($text_bytes bytes of text, $output_bytes bytes written in all)"
echo "machine: $(machine_text)"
echo "load average: $load_before before, $load_after after"
echo "runs: $runs timed runs of each command, interleaved, after one untimed warm-up"
echo
timing_table "${commands[@]}"

ratio() { awk -v a="$(median "$1" 1)" -v b="$(median "$2" 1)" 'BEGIN {printf "%.2f", a / b}'; }
verdict() {
  awk -v v="$1" -v lim="$2" -v op="$3" \
    'BEGIN {ok = op == "le" ? v <= lim : op == "lt" ? v < lim : v >= lim; print ok ? "met" : "NOT MET"}'
}
le_cp=$(ratio le cp)
all_cpout=$(ratio all cpout)
be_le=$(ratio be le)
fortran_all=$(ratio fortran all)
rss=$(cat "$scratch"/results.{le,be,all} | cut -d' ' -f3 | sort -g | tail -1)
rss_mb=$(awk -v k="$rss" 'BEGIN {printf "%.1f", k / 1024}')
echo
echo "targets (medians of wall time):"
printf '  %-44s %8s   %-16s %s\n' "qxconv without options / cp" "$le_cp" "(at most 1.15)" "$(verdict "$le_cp" 1.15 le)"
printf '  %-44s %8s   %-16s %s\n' "big-endian / little-endian" "$be_le" "(at most 1.1)" "$(verdict "$be_le" 1.1 le)"
printf '  %-44s %8s   %-16s %s\n' "every option on / cp of its outputs" "$all_cpout" "(at most 2.0)" "$(verdict "$all_cpout" 2.0 le)"
printf '  %-44s %8s   %-16s %s\n' "Fortran / qxconv with every option on" "$fortran_all" "(at least 5)" "$(verdict "$fortran_all" 5 ge)"
printf '  %-44s %8s   %-16s %s\n' "peak RSS of qxconv (MB)" "$rss_mb" "(under 64)" "$(verdict "$rss_mb" 64 lt)"

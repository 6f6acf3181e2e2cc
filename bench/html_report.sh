#!/usr/bin/env bash
# Measures qxdump --html on the four converted files of a case of about 1 GB:
#   - the time and peak memory of writing the page, beside cp of the same
#     files (reading and writing every byte once);
#   - the size of the page;
#   - the time headless Chromium takes to open it (until it is drawn, until
#     its load event) and to plot its longest curve (bench/report_page_load.mjs).
#
# usage: bench/html_report.sh [SIZE]   SIZE as for qxgen --size (default 1G:
#                                      TP18 and TP19 together)
# environment: RUNS     timed runs of each command (default 3; the median is
#                       reported)
#              SEED     seed of the case (default 1)
#              SCRATCH  directory for the case (default /dev/shm, so that the
#                       disk of a shared machine does not time itself)
#
# Builds what it needs in build-bench/ (Release). The page is loaded with the
# playwright-core of tests/browser (npm ci there, as tools/check.sh does) in
# /usr/bin/chromium. Everything generated is removed at the end.
set -euo pipefail

size=${1:-1G}
runs=${RUNS:-3}
seed=${SEED:-1}
scratch_root=${SCRATCH:-/dev/shm}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-bench

bench_name=bench/html_report.sh
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"

check_runs "$runs"
bytes=$(size_bytes "$size")
check_tools cmake ninja node /usr/bin/time /usr/bin/chromium
[ -d "$root/tests/browser/node_modules/playwright-core" ] ||
  die "needs playwright-core: run 'npm ci' in tests/browser (tools/check.sh does)"

# The result files, the converted files and their copy.
check_space "$scratch_root" $((bytes * 3 + (256 << 20)))

build_release

scratch=$(mktemp -d "$scratch_root/qx-html-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

echo "generating a $size case (seed $seed) and converting it ..."
generate_case "$scratch/case"
(cd "$scratch" && printf 'case.qxin\ncase.TP18\nNo\n' | "$build/qxconv" >/dev/null) || die "qxconv failed"
inputs=("$scratch/case_QX2D.TP18" "$scratch/case_QXSH.TP18" "$scratch/case_QX2D.TP19" "$scratch/case_QXSH.TP19")
input_bytes=$(stat -c %s "${inputs[@]}" | awk '{ s += $1 } END { print s }')
blocks=$(for f in "${inputs[@]}"; do "$build/qxdump" "$f"; done | grep -c '^block ')
largest_record=$(for f in "${inputs[@]}"; do "$build/qxdump" --records "$f"; done |
  awk '$1 == "record" { n = substr($3, 8) + 0; if (n > m) m = n } END { print m }')
rm -f "$scratch/case.TP18" "$scratch/case.TP19" "$scratch"/*.txt

run_one() {
  rm -rf "$scratch/copy" "$scratch/page.html"
  case $1 in
    cp) mkdir "$scratch/copy" && timed cp cp "${inputs[@]}" "$scratch/copy/" ;;
    html) timed html "$build/qxdump" --html "$scratch/page.html" "${inputs[@]}" ;;
  esac
}

load_before=$(load_average)
commands=(cp html)
echo "warm-up (untimed) ..."
run_interleaved "$runs" "${commands[@]}"
page_bytes=$(stat -c %s "$scratch/page.html")
echo "opening the page in headless Chromium, $runs times ..."
node "$root/bench/report_page_load.mjs" "$scratch/page.html" "$runs" >"$scratch/results.load"
load_after=$(load_average)

declare -A label=([cp]="cp of the four converted files" [html]="qxdump --html of the four files")

echo
echo "converted files: the four of a $size case (seed $seed), $input_bytes bytes, $blocks blocks; largest record $largest_record bytes"
echo "page: $page_bytes bytes ($(awk -v p="$page_bytes" -v i="$input_bytes" 'BEGIN {printf "%.2f", 100 * p / i}') % of the input)"
echo "machine: $(machine_text), scratch on $scratch_root"
echo "load average: $load_before before, $load_after after"
echo "runs: $runs timed runs of each command, interleaved, after one untimed warm-up"
echo
timing_table "${commands[@]}"
echo
echo "headless Chromium, ms (median of $runs; min, max):"
echo "  page drawn (its scripts run)         $(median load 1) ($(column_min load 1), $(column_max load 1))"
echo "  load event                           $(median load 2) ($(column_min load 2), $(column_max load 2))"
echo "  row of the longest curve drawn       $(median load 3) ($(column_min load 3), $(column_max load 3))"
echo "  that curve plotted after a click     $(median load 4) ($(column_min load 4), $(column_max load 4)), $(median load 5) points"

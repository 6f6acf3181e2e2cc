# shellcheck shell=bash disable=SC2154 # bench_name, root, build, size, seed, scratch, label and run_one come from the sourcing script
# Shared by the benchmark scripts (sourced): messages, the RUNS and SIZE
# settings, the Release build and the generated case, timed and interleaved
# runs, the statistics of their results and their table.
# The sourcing script sets bench_name (its name in messages) first; the build
# and the case use its root, build, size and seed; the runs and statistics
# use its run_one NAME, which appends one line of numbers to
# $scratch/results.NAME (timed does that for a command); the table labels each
# NAME from its associative array label.

die() {
  echo "$bench_name: $*" >&2
  exit 1
}

# check_runs N: N must be a positive count of timed runs.
check_runs() {
  [[ $1 =~ ^[1-9][0-9]*$ ]] || die "RUNS must be a positive number, not '$1'"
}

# size_bytes SIZE: the bytes of a size with an optional suffix k, M or G
# (powers of 1024), printed.
size_bytes() {
  [[ $1 =~ ^([0-9]+)([kMG]?)$ ]] || die "SIZE must be a number with an optional suffix k, M or G, not '$1'"
  case ${BASH_REMATCH[2]} in
    k) echo $((BASH_REMATCH[1] << 10)) ;;
    M) echo $((BASH_REMATCH[1] << 20)) ;;
    G) echo $((BASH_REMATCH[1] << 30)) ;;
    *) echo "${BASH_REMATCH[1]}" ;;
  esac
}

# check_tools COMMAND...: each command must be on the PATH.
check_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || die "needs $tool"
  done
}

# check_space DIR BYTES [ADVICE]: DIR must have BYTES free for the case of
# $size; ADVICE closes the message where it has not.
check_space() {
  local avail
  avail=$(df -B1 --output=avail "$1" | tail -1 | tr -d ' ')
  if ((avail < $2)); then
    die "a $size case needs about $(($2 >> 20)) MiB free under $1; only $((avail >> 20)) MiB are free${3:+. $3}"
  fi
}

# build_release [TARGET...]: the targets (qxconv, qxgen and qxdump when none
# is named) built in $build, a Release tree of the sources in $root without
# the tests.
build_release() {
  (($#)) || set -- qxconv qxgen qxdump
  echo "building in $build ..."
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQX_TESTS=OFF >/dev/null
  cmake --build "$build" -j 2 --target "$@" >/dev/null
}

# load_average: the machine's load averages over 1, 5 and 15 minutes.
load_average() { cut -d' ' -f1-3 /proc/loadavg; }

# cpu_text: the count of cores and the processor's model.
cpu_text() { echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"; }

# machine_text: the count of cores, the processor's model, the system and
# its release, for the line "machine: ..." of the reports.
machine_text() { echo "$(cpu_text), $(uname -sr)"; }

# generate_case CASE [QXGEN OPTION...]: the case of $size with $seed,
# written by $build/qxgen as CASE.qxin and its result files.
generate_case() {
  "$build/qxgen" --out "$1" --seed "$seed" --size "$size" "${@:2}" >/dev/null
}

# Every run option of qxconv, for the runs with all of them on.
# shellcheck disable=SC2034 # used by the sourcing scripts
all_options=(-stru -spec -ampl -wave -maxr -four)

# fresh_run_dir: $scratch/run made anew, holding only links to the case in
# $scratch, for one conversion.
fresh_run_dir() {
  rm -rf "$scratch/run"
  mkdir "$scratch/run"
  ln -s ../case.qxin ../case.TP18 ../case.TP19 "$scratch/run/"
}

# timed NAME COMMAND...: runs COMMAND under /usr/bin/time and appends
# "wall_us cpu_s maxrss_kb" to $scratch/results.NAME.
timed() {
  local name=$1
  shift
  local t0 t1 status=0
  t0=$(date +%s%N)
  /usr/bin/time -f '%U %S %M' -o "$scratch/time.txt" "$@" || status=$?
  t1=$(date +%s%N)
  ((status == 0)) || return "$status"
  read -r user sys rss < <(tail -1 "$scratch/time.txt")
  echo "$(((t1 - t0) / 1000)) $(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}') $rss" >>"$scratch/results.$name"
}

# run_interleaved RUNS COMMAND...: each command once untimed (its results
# dropped), then RUNS rounds of every command in turn, so that a change of
# the machine's load falls on all of them alike.
run_interleaved() {
  local rounds=$1 c r
  shift
  for c in "$@"; do
    run_one "$c"
  done
  rm -f "$scratch"/results.*
  for ((r = 1; r <= rounds; ++r)); do
    echo "run $r of $rounds ..."
    for c in "$@"; do
      run_one "$c"
    done
  done
}

# median NAME K, column_min NAME K, column_max NAME K: of column K of
# $scratch/results.NAME.
median() {
  cut -d' ' -f"$2" "$scratch/results.$1" | sort -g |
    awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
column_min() { cut -d' ' -f"$2" "$scratch/results.$1" | sort -g | head -1; }
column_max() { cut -d' ' -f"$2" "$scratch/results.$1" | sort -g | tail -1; }

# timing_table NAME...: for each NAME, labelled ${label[NAME]}, the median,
# smallest and largest wall time, the median CPU time and the peak RSS of its
# results, as a table.
timing_table() {
  local c
  printf '%-36s %10s %10s %10s %10s %12s\n' command "wall (s)" "min" "max" "cpu (s)" "peak RSS"
  for c in "$@"; do
    printf '%-36s %10.3f %10.3f %10.3f %10.3f %9d KB\n' "${label[$c]}" \
      "$(awk -v v="$(median "$c" 1)" 'BEGIN {print v / 1e6}')" \
      "$(awk -v v="$(column_min "$c" 1)" 'BEGIN {print v / 1e6}')" \
      "$(awk -v v="$(column_max "$c" 1)" 'BEGIN {print v / 1e6}')" \
      "$(median "$c" 2)" "$(column_max "$c" 3)"
  done
}

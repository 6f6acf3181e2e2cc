#!/usr/bin/env bash
# Where qxconv spends its time on a generated case, without options (little-
# and big-endian) and with every option on: CPU time beside cp of the inputs, a sampled profile
# (perf, software clock, kernel stacks) sorted into the converter's own work,
# the system calls it makes and the page faults it takes, and the count and
# size of its reads and writes (strace).
#
# usage: bench/profile.sh [SIZE]   SIZE as for qxgen --size (default 32M)
# environment: RUNS  conversions per option set (default 10)
#              SEED  seed of the case (default 1)
#              DIR   where the case and the outputs go (default /dev/shm, so
#                    that the disk's writeback stays out)
#
# Builds qxconv with symbols in build-prof/ (Release and -g). Needs perf and
# strace, and perf_event_paranoid at most 2 (the process's own kernel time).
# Scratch data is removed at the end.
set -euo pipefail

size=${1:-32M}
runs=${RUNS:-10}
seed=${SEED:-1}
base=${DIR:-/dev/shm}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-prof

bench_name=bench/profile.sh
# shellcheck source=bench/lib.sh
source "$root/bench/lib.sh"
check_runs "$runs"
check_tools cmake ninja perf strace

echo "building in $build ..." >&2
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O3 -DNDEBUG -g" \
  -DQX_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target qxconv qxgen >/dev/null

scratch=$(mktemp -d "$base/qxprofile.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
"$build/qxgen" --out "$scratch/case" --seed "$seed" --size "$size" >/dev/null
printf 'case.qxin\ncase.TP18\nNo\n' >"$scratch/answers.le"
printf 'case.qxin\ncase.TP18\nYes\n' >"$scratch/answers.be"
input_bytes=$(stat -c %s "$scratch"/case.* | awk '{s += $1} END {print s}')

# A fresh directory for one conversion: the inputs linked in, nothing else.
fresh_run_dir() {
  rm -rf "$scratch/run" && mkdir "$scratch/run" && ln -s ../case.qxin ../case.TP18 ../case.TP19 "$scratch/run/"
}

# Milliseconds of CPU (task clock) of one command, from perf stat.
task_ms() {
  perf stat -x, -o "$scratch/stat" -e task-clock -- "$@" <"$scratch/answers.$order" >/dev/null 2>&1
  grep task-clock "$scratch/stat" | cut -d, -f1
}

# the median of the numbers on standard input, one a line (the lower one of an even count)
median_of_lines() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

cp_ms() {
  local i
  for ((i = 0; i < runs; ++i)); do
    rm -rf "$scratch/copy" && mkdir "$scratch/copy"
    task_ms cp "$scratch/case.qxin" "$scratch/case.TP18" "$scratch/case.TP19" "$scratch/copy/"
  done | median_of_lines
}

qxconv_ms() {
  local i
  for ((i = 0; i < runs; ++i)); do
    fresh_run_dir
    (cd "$scratch/run" && task_ms "$build/qxconv" "$@")
  done | median_of_lines
}

# RUNS conversions one after the other, for perf record.
cat >"$scratch/conversions.sh" <<EOF
#!/usr/bin/env bash
for ((i = 0; i < $runs; ++i)); do
  rm -rf "$scratch/run" && mkdir "$scratch/run" && cd "$scratch/run" && ln -s ../case.qxin ../case.TP18 ../case.TP19 .
  "$build/qxconv" "\${@:2}" <"$scratch/answers.\$1" >/dev/null
done
EOF
chmod +x "$scratch/conversions.sh"

# Sorts the samples of perf script into: the converter's own code by what it
# does, the system calls by name, page faults, other kernel work.
classify() {
  awk '
    function bucket(sym) {
      if (sym ~ /edit_exp|round_significant|significant_exact|round_scaled|edit_fixed|edit_int|to_chars|real4_exp/)
        return "user: formatting (edits, decimal rounding)"
      if (sym ~ /walk_layout|LineWriter|write_layout|ItemCursor/) return "user: layout walk (per value and line)"
      if (sym ~ /memmove|memcpy/) return "user: memcpy (buffers)"
      if (sym ~ /memset/) return "user: memset (buffers)"
      if (sym ~ /swap|byte_order/) return "user: byte swaps"
      if (sym ~ /RecordReader|RecordWriter|TextWriter|Channels/) return "user: record and text I/O"
      if (sym ~ /_dl_|do_lookup|init_cpu_features|handle_amd|handle_intel/) return "user: program loading"
      return "user: other"
    }
    /^qxconv / { n = 0; next }
    /^\t/ {  # address, symbol+offset (spaces allowed), (dso)
      line = $0
      sub(/^[ \t]*[0-9a-f]+ /, "", line)
      dso[++n] = line
      sub(/ \([^()]*\)$/, "", line)
      sub(/.* \(/, "(", dso[n])
      frame[n] = line
      next
    }
    /^$/ {
      if (n == 0) next
      what = ""
      if (dso[1] ~ /kernel/) {
        # A page fault; a system call, named by its C library wrapper (the
        # first frame outside the kernel) or its kernel entry; or an
        # interrupt.
        call = 0
        for (i = 1; i <= n; ++i) if (frame[i] ~ /^(entry_SYSCALL|do_syscall_64)/) call = 1
        for (i = 1; i <= n && what == ""; ++i) {
          f = frame[i]
          sub(/\+0x.*/, "", f)
          if (f ~ /exc_page_fault/) {
            what = "kernel: page faults"
          } else if (call && (f ~ /^(__x64_sys_|__do_sys_)/ || (dso[i] !~ /kernel/ && f !~ /unknown/))) {
            sub(/^(__x64_sys_|__do_sys_)/, "", f)
            sub(/^_+/, "", f)
            sub(/^GI_+/, "", f)
            sub(/^libc_/, "", f)
            sub(/64$/, "", f)
            what = "kernel: " f
          }
        }
        if (what == "") what = "kernel: other (interrupts, scheduling)"
      } else {
        f = frame[1]
        sub(/\+0x.*/, "", f)
        what = bucket(f)
      }
      count[what]++
      total++
      n = 0
    }
    END {
      for (w in count) {
        if (count[w] >= total / 1000) printf "  %5.1f %%  %s\n", 100 * count[w] / total, w
        else rest += count[w]
      }
      if (rest) printf "  %5.1f %%  %s\n", 100 * rest / total, "(the rest, below 0.1 % each)"
    }' | sort -rn
}

# Calls, bytes and calls per MB of each read and write call in an strace log.
io_calls() {
  awk -v out="$1" -v in_="$2" '
    match($0, /^[a-z0-9]+\(/) {
      call = substr($0, 1, RLENGTH - 1)
      if (match($0, /= [0-9]+$/)) {
        n[call]++
        b[call] += substr($0, RSTART + 2)
      }
    }
    END {
      for (c in n) {
        w = c ~ /write/
        printf "  %-8s %7d calls %9.2f MB %8.1f kB per call %7.2f calls per MB %s\n", c, n[c], b[c] / 1e6,
               b[c] / n[c] / 1e3, n[c] / ((w ? out : in_) / 1e6), w ? "written" : "read"
      }
    }' "$3" | sort
}

echo "case: $size, seed $seed, $input_bytes bytes of input; $runs runs per option set; in $base"
echo "machine: $(cpu_text); load $(load_average)"
order=le
echo "cp of the inputs: $(cp_ms) ms of CPU (median)"
for set in le be all; do
  opts=()
  order=${set/all/le}
  [[ $set == all ]] && opts=("${all_options[@]}")
  echo
  echo "== qxconv ${opts[*]:-(no option)}, $([[ $order == le ]] && echo little || echo big)-endian"
  echo "CPU: $(qxconv_ms "${opts[@]}") ms (median)"
  perf record -q -e cpu-clock -F 10000 -g -o "$scratch/perf.data" -- "$scratch/conversions.sh" "$order" "${opts[@]}" >/dev/null 2>&1
  echo "samples of qxconv, by what they were doing:"
  perf script -i "$scratch/perf.data" --comm qxconv 2>/dev/null | classify
  echo "top symbols:"
  perf report -i "$scratch/perf.data" --comm qxconv --no-children --percentage relative --sort sym -g none 2>/dev/null |
    grep -E '^ +[0-9.]+%' | head -12 || true
  fresh_run_dir
  (cd "$scratch/run" && strace -o "$scratch/trace" -e trace=read,pread64,preadv,write,pwrite64,writev \
    "$build/qxconv" "${opts[@]}" <"$scratch/answers.$order" >/dev/null)
  output_bytes=$(find "$scratch/run" -maxdepth 1 -type f -printf '%s\n' | awk '{s += $1} END {print s}')
  echo "reads and writes of one run ($output_bytes bytes written to the output files):"
  io_calls "$output_bytes" "$input_bytes" "$scratch/trace"
done

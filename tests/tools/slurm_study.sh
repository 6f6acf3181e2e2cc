#!/usr/bin/env bash
# Converts a study of generated cases through a single-node Slurm cluster
# started here (munged, slurmctld and slurmd as root, everything in a
# temporary directory, stopped at the end), and checks that every output is
# byte for byte what single qxconv runs make, and that the collected summary
# says what a local qxbatch run says.
#
# usage: slurm_study.sh QXBATCH QXCONV QXGEN
# Exit status 77 (skipped) only where Slurm cannot be started here.
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"
qxbatch=$(realpath "$1") qxconv=$(realpath "$2") qxgen=$(realpath "$3")

skip() {
  echo "SKIPPED: $* -- the Slurm study did not run"
  exit 77
}
[ "$(id -u)" = 0 ] || skip "slurmd must run as root to start jobs, and this is $(id -un)"
for program in munged slurmctld slurmd sbatch squeue scancel sinfo; do
  command -v "$program" >/dev/null || skip "$program is missing (Debian packages slurm-wlm and munge)"
done

tmp=$(mktemp -d /tmp/qxslurm-XXXXXX)
daemons=()
controller=
started=$SECONDS

show_logs() {
  local log
  for log in "$tmp"/log/*.log; do
    if [ -f "$log" ]; then
      echo "--- $log"
      tail -n 25 "$log"
    fi
  done
}

stop_daemons() {
  local status=$?
  set +e
  trap - EXIT
  if [ "$status" != 0 ] && [ "$status" != 77 ]; then show_logs; fi
  # Jobs first, so that slurmd leaves no step behind; then the daemons, newest first.
  if [ -n "$controller" ] && kill -0 "$controller" 2>/dev/null; then
    timeout 20 scancel --quiet --user=root 2>/dev/null
    for _ in $(seq 20); do
      [ -z "$(timeout 10 squeue --noheader 2>/dev/null)" ] && break
      sleep 0.5
    done
  fi
  if [ ${#daemons[@]} -gt 0 ]; then
    for ((i = ${#daemons[@]} - 1; i >= 0; i--)); do
      kill -TERM "${daemons[i]}" 2>/dev/null || true
      for _ in $(seq 40); do
        kill -0 "${daemons[i]}" 2>/dev/null || break
        sleep 0.25
      done
      kill -KILL "${daemons[i]}" 2>/dev/null || true
      wait "${daemons[i]}" 2>/dev/null || true
    done
  fi
  rm -rf "$tmp"
  echo "slurm study: $((SECONDS - started)) s, exit status $status"
  exit "$status"
}
trap stop_daemons EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "FAILED: $*"
  exit 1
}

# A TCP port that nothing listens on.
free_port() {
  local port used=" " _ local_address state
  # Listening sockets (state 0A) and their ports, in hexadecimal after the colon.
  while read -r _ local_address _ state _; do
    [ "$state" = 0A ] && used+="$((16#${local_address##*:})) "
  done < <(cat /proc/net/tcp /proc/net/tcp6 2>/dev/null)
  while :; do
    port=$((20000 + RANDOM % 20000))
    [[ $used == *" $port "* ]] || { echo "$port"; return; }
  done
}

mkdir -p "$tmp"/{log,state,spool,munge}
# munged wants every directory up to its socket searchable by all.
chmod 755 "$tmp" "$tmp/munge"

# munge with a key of its own and a socket of its own.
head -c 1024 /dev/urandom >"$tmp/munge/munge.key"
chmod 400 "$tmp/munge/munge.key"
munged --foreground --socket="$tmp/munge/socket" --key-file="$tmp/munge/munge.key" \
  --pid-file="$tmp/munge/munged.pid" --seed-file="$tmp/munge/seed" --log-file="$tmp/log/munged.log" >"$tmp/log/munged.out.log" 2>&1 &
daemons+=($!)

# The node as slurmd sees it: its processors, their layout and its memory.
node=$(slurmd -C | head -n 1 | sed 's/^NodeName=[^ ]*//')
host=$(hostname -s)
export SLURM_CONF="$tmp/slurm.conf"
cat >"$SLURM_CONF" <<CONF
ClusterName=qxstudy
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
AuthType=auth/munge
AuthInfo=socket=$tmp/munge/socket
CredType=cred/munge
StateSaveLocation=$tmp/state
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/log/slurmctld.log
SlurmdLogFile=$tmp/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/backfill
MpiDefault=none
SwitchType=switch/none
ReturnToService=2
MailProg=/bin/true
NodeName=qxnode NodeAddr=127.0.0.1 $node State=UNKNOWN
PartitionName=study Nodes=qxnode Default=YES MaxTime=INFINITE State=UP
CONF

for _ in $(seq 40); do [ -S "$tmp/munge/socket" ] && break; sleep 0.25; done
[ -S "$tmp/munge/socket" ] || fail "munged did not start"
slurmctld -D -i -f "$SLURM_CONF" >"$tmp/log/slurmctld.out.log" 2>&1 &
controller=$!
daemons+=($!)
slurmd -D -N qxnode -f "$SLURM_CONF" >"$tmp/log/slurmd.out.log" 2>&1 &
daemons+=($!)
for _ in $(seq 120); do
  state=$(sinfo --noheader --Node --format=%t 2>/dev/null || true)
  [ "$state" = idle ] && break
  sleep 0.5
done
[ "$state" = idle ] || fail "the Slurm node did not become idle (state '$state')"
echo "slurm study: single-node Slurm up after $((SECONDS - started)) s ($node)"

# The study: 24 cases, each in its own directory; names with blanks, dots
# and quotes; some with one result file only; two broken on purpose.
study=$tmp/study
mkdir -p "$study"
cases=()
for i in $(seq 1 22); do
  case $i in
    3) dir="dir with blanks $i" name="case.$i" ;;
    7) dir="it's \"quoted\" $i" name="q'$i" ;;
    11) dir="dots.in.the.name.$i" name="a.b.$i" ;;
    *) dir="case$i" name="case$i" ;;
  esac
  extra=()
  ((i % 5 == 0)) && extra=(--only-tp18)
  ((i % 7 == 0)) && extra=(--only-tp19)
  mkdir -p "$study/$dir"
  "$qxgen" --out "$study/$dir/$name" --seed "$i" --size "$((24 + i % 6 * 8))k" "${extra[@]}" >/dev/null
  cases+=("$dir")
done
mkdir -p "$study/cut" "$study/nomodel"
"$qxgen" --out "$study/cut/cut" --seed 5 --size 40k --truncate-tp18 20000 >/dev/null
"$qxgen" --out "$study/nomodel/nomodel" --seed 6 --size 30k >/dev/null
rm "$study/nomodel/nomodel.qxin"
cases+=(cut nomodel)

# Reference: each case converted by a single qxconv run in a copy.
cp -a "$study" "$tmp/single"
for dir in "${cases[@]}"; do
  base=$(cd "$tmp/single/$dir" && ls | sed -n 's/\.TP1[89]$//p' | head -n 1)
  quoted=$(printf '%s' "$base" | sed "s/'/''/g")
  (cd "$tmp/single/$dir" && printf "'%s.qxin'\n'%s.TP18'\nNo\n" "$quoted" "$quoted" | "$qxconv" -wave -maxr >/dev/null) || true
done
# And the same study converted by qxbatch here, for its summary.
cp -a "$study" "$tmp/local"
(cd "$tmp/local" && "$qxbatch" -q -j 2 --options '-wave -maxr' --summary "$tmp/local.csv" "${cases[@]}") && fail "the local run reported success with broken cases"

# Through Slurm: 6 array tasks of 2 processors each.
cd "$study"
set +e
"$qxbatch" --slurm --wait --workdir "$tmp/work" --array-size 6 --sbatch=--cpus-per-task=2 \
  --options '-wave -maxr' --summary "$tmp/slurm.csv" "${cases[@]}" 2>"$tmp/qxbatch.err"
status=$?
set -e
cat "$tmp/qxbatch.err"
[ "$status" = 1 ] || fail "qxbatch --slurm --wait exited with $status, not 1 (two cases are broken)"
[ "$(ls "$tmp/work"/task-*.csv | wc -l)" = 6 ] || fail "not every task wrote its summary"
grep -q "2 at a time" "$tmp"/work/slurm-*_0.out || fail "the task did not take its processors from Slurm"

diff -r "$tmp/single" "$study" || fail "the outputs of the Slurm run differ from single qxconv runs"
cut_columns() { sed 's/,[0-9.]*,[0-9]*,[0-9]*$//' "$1"; }
diff <(cut_columns "$tmp/local.csv") <(cut_columns "$tmp/slurm.csv") || fail "the Slurm summary differs from the local one"
[ "$(grep -c ',done,' "$tmp/slurm.csv")" = 22 ] || fail "not 22 cases done"
grep -q '^cut,failed,1007,TP1819 FILE READ ERROR' "$tmp/slurm.csv" || fail "the cut case's error is not in the summary"
grep -q "^nomodel,failed,,question (1): no such file 'nomodel.qxin'" "$tmp/slurm.csv" || fail "the refusal is not in the summary"

# A task that left no summary: its cases were not run.
rm "$tmp/work/task-2.csv"
set +e
"$qxbatch" --collect "$tmp/work" --summary "$tmp/again.jsonl" 2>"$tmp/collect.err"
status=$?
set -e
[ "$status" = 1 ] || fail "collect without a task's summary exited with $status"
not_run=$(grep -c '"status":"interrupted","error":null,"message":"not run: Slurm task 2 of job' "$tmp/again.jsonl" || true)
[ "$not_run" = 4 ] || fail "$not_run cases of the lost task reported as not run, not 4"
grep -q "4 cases interrupted: not run: Slurm task 2" "$tmp/collect.err" || fail "the report does not name the lost task"
echo "slurm study: 24 cases through Slurm match single runs"

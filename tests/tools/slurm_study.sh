#!/usr/bin/env bash
# Converts a study of generated cases through a single-node Slurm cluster
# started here (munged, slurmctld and slurmd as root, everything in a
# temporary directory, stopped at the end), and checks that every output is
# byte for byte what single qxconv runs make, and that the collected summary
# says what a local qxbatch run says. Then what Slurm says of a job: a dry
# run queues nothing, a held job's cases are queued, a task killed outright
# keeps the cases it finished, and a resume submits only the cases left.
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

# wait_until_gone JOB TRIES: waits, a quarter of a second a try, until the
# queue no longer lists JOB.
wait_until_gone() {
  for _ in $(seq "$2"); do
    [ -z "$(squeue --noheader --jobs="$1")" ] && break
    sleep 0.25
  done
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

# Through Slurm: 6 array tasks of 2 processors each; a work directory whose
# name the #SBATCH lines must quote. The study record lies outside the study.
work="$tmp/work dir #1"
cd "$study"
dry=$("$qxbatch" --slurm --dry-run --workdir "$work" --array-size 6 --sbatch=--cpus-per-task=2 \
  --record "$tmp/study.tsv" --options '-wave -maxr' "${cases[@]}" 2>/dev/null)
grep -qx '#SBATCH --array=0-5' <<<"$dry" || fail "the dry run shows no array of 6 tasks"
grep -qx '#SBATCH --cpus-per-task=2' <<<"$dry" || fail "the dry run shows no --cpus-per-task"
[ -z "$(squeue --noheader)" ] || fail "the dry run queued a job"
[ ! -e "$work" ] || fail "the dry run made the work directory"
status=0
"$qxbatch" --slurm --wait --workdir "$work" --array-size 6 --sbatch=--cpus-per-task=2 --record "$tmp/study.tsv" \
  --options '-wave -maxr' --summary "$tmp/slurm.csv" "${cases[@]}" 2>"$tmp/qxbatch.err" || status=$?
cat "$tmp/qxbatch.err"
[ "$status" = 1 ] || fail "qxbatch --slurm --wait exited with $status, not 1 (two cases are broken)"
[ "$(ls "$work"/task-*.ended | wc -l)" = 6 ] || fail "not every task left its end mark"
grep -q "2 at a time" "$work"/slurm-*_0.out || fail "the task did not take its processors from Slurm"
# The job script alone submits the same job again.
[ "$(sed -n 's/^#SBATCH //p' "$work/job.sh")" = "$(sed -n 's/^#SBATCH //p' <<<"$dry")" ] ||
  fail "the job script's #SBATCH lines are not those of the dry run"

diff -r "$tmp/single" "$study" || fail "the outputs of the Slurm run differ from single qxconv runs"
cut_columns() { sed 's/,[0-9.]*,[0-9]*,[0-9]*$//' "$1"; }
diff <(cut_columns "$tmp/local.csv") <(cut_columns "$tmp/slurm.csv") || fail "the Slurm summary differs from the local one"
[ "$(grep -c ',done,' "$tmp/slurm.csv")" = 22 ] || fail "not 22 cases done"
grep -q '^cut,failed,1007,TP1819 FILE READ ERROR' "$tmp/slurm.csv" || fail "the cut case's error is not in the summary"
grep -q "^nomodel,failed,,question (1): no such file 'nomodel.qxin'" "$tmp/slurm.csv" || fail "the refusal is not in the summary"
[ "$(grep -c $'\tdone\t' "$tmp/study.tsv")" = 22 ] || fail "the study record does not hold the 22 cases done"

# A task whose record is lost: its cases were not run, and Slurm says how it ended.
rm "$work/task-2.tsv" "$work/task-2.ended"
status=0
"$qxbatch" --collect "$work" --summary "$tmp/again.jsonl" 2>"$tmp/collect.err" || status=$?
[ "$status" = 1 ] || fail "collect without a task's record exited with $status"
not_run=$(grep -c '"status":"interrupted","error":null,"message":"not run: Slurm task 2 of job [0-9]* ended (COMPLETED)' "$tmp/again.jsonl" || true)
[ "$not_run" = 4 ] || fail "$not_run cases of the lost task reported as not run, not 4"
grep -q "4 cases interrupted: not run: Slurm task 2" "$tmp/collect.err" || fail "the report does not name the lost task"
echo "slurm study: 24 cases through Slurm match single runs ($((SECONDS - started)) s)"

# A held job: its cases are queued, --collect says so with status 3, and
# once the job is cancelled they were not run.
# A submission that fails shows in the status of --collect.
"$qxbatch" -q --slurm --sbatch=--hold --workdir "$tmp/held" --record "$tmp/held.tsv" "${cases[@]:0:2}" || true
status=0
"$qxbatch" --collect "$tmp/held" 2>"$tmp/held.err" || status=$?
[ "$status" = 3 ] || fail "--collect of a held job exited with $status, not 3"
grep -q '2 queued of 2 cases' "$tmp/held.err" || fail "the held job's cases are not queued: $(cat "$tmp/held.err")"
grep -q 'is pending (JobHeldUser)' "$tmp/held.err" || fail "the reason of the wait is not told"
scancel "$(cat "$tmp/held/job")"
wait_until_gone "$(cat "$tmp/held/job")" 40
status=0
"$qxbatch" --collect "$tmp/held" --summary "$tmp/held.csv" 2>/dev/null || status=$?
[ "$status" = 1 ] || fail "--collect of a cancelled job exited with $status, not 1"
[ "$(grep -c ',interrupted,,not run: Slurm task [01] of job [0-9]* ended (CANCELLED)' "$tmp/held.csv")" = 2 ] ||
  fail "the cancelled job's cases: $(cat "$tmp/held.csv")"

# A task killed outright after some of its cases ended keeps them in its
# record; a resume submits only the cases left, without a --collect first.
resume=$tmp/resume
mkdir -p "$resume"
left_cases=()
for i in 1 2 3 4 5 6; do
  mkdir -p "$resume/r$i"
  "$qxgen" --out "$resume/r$i/r$i" --seed "$((40 + i))" --size 24k >/dev/null
  left_cases+=("r$i")
done
cp -a "$resume" "$tmp/resume-single"
for dir in "${left_cases[@]}"; do
  (cd "$tmp/resume-single/$dir" && printf '%s.qxin\n%s.TP18\nNo\n' "$dir" "$dir" | "$qxconv" -wave >/dev/null)
done
printf '#!/bin/sh\n[ "$1" = --version ] && exec %q --version\nsleep 1\nexec %q "$@"\n' "$qxconv" "$qxconv" >"$tmp/slow-qxconv"
chmod +x "$tmp/slow-qxconv"
cd "$resume"
"$qxbatch" -q --slurm --array-size 1 --qxconv "$tmp/slow-qxconv" --options -wave --workdir "$tmp/killed" \
  --record "$tmp/resume.tsv" "${left_cases[@]}"
job=$(cat "$tmp/killed/job")
for _ in $(seq 120); do
  done_before=$(grep -c $'\tdone\t' "$tmp/killed/task-0.tsv" 2>/dev/null || true)
  [ "${done_before:-0}" -ge 3 ] && break
  sleep 0.25
done
[ "${done_before:-0}" -ge 3 ] || fail "the task did not convert 3 cases"
scancel --batch --signal=KILL "$job"
wait_until_gone "$job" 80
done_before=$(grep -c $'\tdone\t' "$tmp/killed/task-0.tsv")
left=$((6 - done_before))
((left > 0)) || fail "the task ended every case before it was killed"
[ ! -e "$tmp/killed/task-0.ended" ] || fail "the killed task left an end mark"
dry=$("$qxbatch" --slurm --skip-done --dry-run --options -wave --record "$tmp/resume.tsv" "${left_cases[@]}" 2>/dev/null)
grep -qx "#SBATCH --array=0-$((left - 1))" <<<"$dry" || fail "the resume would not submit the $left cases left: $dry"
"$qxbatch" --slurm --skip-done --wait --options -wave --workdir "$tmp/resumed" --record "$tmp/resume.tsv" \
  --summary "$tmp/resume.csv" "${left_cases[@]}" 2>"$tmp/resume.err" || fail "the resume failed: $(cat "$tmp/resume.err")"
[ "$(grep -c ',done,' "$tmp/resume.csv")" = "$left" ] || fail "the resume did not convert the $left cases left"
[ "$(grep -c ',skipped,' "$tmp/resume.csv")" = "$done_before" ] || fail "the resume did not pass over $done_before cases"
[ "$(cat "$tmp/resumed/tasks")" = "$left" ] || fail "the resume submitted $(cat "$tmp/resumed/tasks") tasks, not $left"
diff -r "$tmp/resume-single" "$resume" || fail "the outputs of the resumed study differ from single qxconv runs"
status=0
"$qxbatch" --collect "$tmp/killed" 2>"$tmp/killed.err" || status=$?
[ "$status" = 1 ] || fail "--collect of the killed job exited with $status, not 1"
grep -q "^qxbatch: $done_before done, 0 failed, 0 skipped, $left interrupted of 6 cases" "$tmp/killed.err" ||
  fail "the killed task's finished cases are not kept: $(cat "$tmp/killed.err")"
grep -q "not run: Slurm task 0 of job $job ended (FAILED) before converting it" "$tmp/killed.err" ||
  fail "the killed task's state is not told: $(cat "$tmp/killed.err")"
"$qxbatch" --slurm --skip-done --options -wave --record "$tmp/resume.tsv" "${left_cases[@]}" 2>"$tmp/nothing.err" ||
  fail "a resume of a study that is done failed"
grep -q 'nothing to submit' "$tmp/nothing.err" || fail "a resume of a study that is done submitted: $(cat "$tmp/nothing.err")"
[ -z "$(squeue --noheader)" ] || fail "a job is left in the queue"
echo "slurm study: a held job, a killed task and a resume as Slurm tells them"

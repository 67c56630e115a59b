#!/usr/bin/env bash
# Runs the README's Slurm recipe on a real one-node Slurm cluster of its own: munged, slurmctld and
# slurmd started here with their configuration, state, spool, logs and munge socket and key under
# build/slurm, and stopped by their process ids at the end, pass or fail. A short shot is split
# into a job array of four tasks by the README's own grey.sh; the pictures must equal those of one
# local `apply --range shot` run byte for byte, and every task must have written its report.
# A cluster that does not come up fails the stage with the daemons' logs.
#   slurm-stage.sh [BUILD_DIR]   (default build/native, holding bin/deepglass)
set -euo pipefail
cd "$(dirname "$0")/.."
project=$PWD
build=$(cd "${1:-build/native}" && pwd)
root=$project/build/slurm
frames=8 tasks=4 chunk=2 wait_seconds=120
started=$SECONDS

pids=()
logs() {
    [ ${#pids[@]} -gt 0 ] || return 0 # the logs of this run only
    for log in "$root"/log/*; do
        [ -f "$log" ] || continue
        echo "---- ${log#"$project"/}"
        tail -n 40 "$log"
    done
}
fail() {
    echo "FAIL: $*" >&2
    logs >&2
    exit 1
}
stop() {
    # Jobs first, so that no task outlives its slurmd; then the daemons, newest first.
    if [ ${#pids[@]} -gt 1 ]; then
        timeout 10 scancel --quiet --full "--name=grey.sh" 2>/dev/null || true
    fi
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    done
}
trap stop EXIT

# A TCP port nothing on this machine listens on, so that other clusters here do not collide.
free_port() {
    local port
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 20000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
    fail "no free TCP port found"
}

[ -x "$build/bin/deepglass" ] || fail "no $build/bin/deepglass: build the native preset first"
rm -rf "$root"
mkdir -p "$root"/{etc,state,spool,log,munge,key,work}
chmod 755 "$root/munge" # munged wants its socket's folder reachable by everyone
chmod 700 "$root/key"
head -c 1024 /dev/urandom >"$root/key/munge.key"
chmod 400 "$root/key/munge.key"
munged --foreground --socket="$root/munge/munge.socket" --key-file="$root/key/munge.key" \
    --pid-file="$root/munge/munged.pid" --seed-file="$root/key/munged.seed" >"$root/log/munged.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$root/munge/munge.socket" ] && break; sleep 0.1; done
[ -S "$root/munge/munge.socket" ] || fail "munged did not open its socket"

node=$(hostname -s)
memory=$(awk '/^MemTotal:/ {print int($2 / 1024)}' /proc/meminfo)
controller_port=$(free_port)
node_port=$(free_port)
conf=$root/etc/slurm.conf
cat >"$conf" <<CONF
# A one-node cluster for the test stage: both daemons as root, no cgroups, no accounting.
ClusterName=deepglass
SlurmctldHost=$node(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$root/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$root/state
SlurmdSpoolDir=$root/spool
SlurmctldPidFile=$root/state/slurmctld.pid
SlurmdPidFile=$root/spool/slurmd.pid
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
ReturnToService=2
MailProg=/bin/true
# Tasks start as soon as CPUs are free, not up to 3 s later.
SchedulerParameters=batch_sched_delay=0
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) RealMemory=$memory State=UNKNOWN
PartitionName=farm Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF=$conf
# In the foreground (-D) the daemons log to their standard error, kept under log/.
slurmctld -D -f "$conf" >"$root/log/slurmctld.log" 2>&1 &
pids+=($!)
slurmd -D -f "$conf" >"$root/log/slurmd.log" 2>&1 &
pids+=($!)
state=
for _ in $(seq 60); do
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null || fail "a daemon of the cluster ended (pid $pid)"; done
    state=$(sinfo -h -n "$node" -o %T 2>/dev/null || true)
    [ "$state" = idle ] && break
    sleep 0.5
done
[ "$state" = idle ] || fail "the node is not idle after 30 s (state: '${state:-no answer}')"
echo "slurm: one-node cluster up on $node ($(nproc) CPUs) in $((SECONDS - started)) s"

# The README's job script as it stands, with chunks of $chunk frames for the short shot.
cd "$root/work"
awk '/^```/ { if (open) { if (found) exit; open = 0; text = "" } else open = 1; next }
     open { text = text $0 "\n"; if ($0 == "# grey.sh") found = 1 }
     END { if (found) printf "%s", text }' "$project/README.md" >grey.sh.readme
grep -q '^chunk=24 ' grey.sh.readme || fail "README.md holds no grey.sh with a line 'chunk=24 ...'"
sed "s/^chunk=24 /chunk=$chunk /" grey.sh.readme >grey.sh
export PATH=$build/bin:$PATH
unset DEEPGLASS_MODULE
mkdir shot logs
for i in $(seq "$frames"); do
    # Frames of different sizes have different depth ranges: one scale has to be shared.
    deepglass sample --width $((40 + 4 * i)) --height $((24 + 2 * i)) "$(printf 'shot/beauty.%04d.exr' "$i")" \
        >/dev/null
done

# The README's two steps: the shot's range, then the job array.
range=$(deepglass info --frames "1-$frames" shot/beauty.%04d.exr | sed -n 's/^shot range: //p') || true
[ -n "$range" ] || fail "info printed no shot range"
submitted=$SECONDS
job=$(sbatch --parsable --export=ALL,RANGE="$range" --array="0-$((tasks - 1))" --cpus-per-task=1 --mem=200M \
    --output=logs/task-%a.out grey.sh) || fail "sbatch refused the job array"
# Polled here rather than by sbatch --wait, which looks only every few seconds.
while [ -n "$(squeue -h -j "$job" -o %i)" ]; do
    if ((SECONDS - submitted > wait_seconds)); then
        squeue >&2
        fail "the job array was not done after $wait_seconds s"
    fi
    sleep 0.2
done
# Finished jobs stay known to slurmctld for minutes, each task with its state and exit code.
states=$(scontrol -o show job "$job" | grep -oE 'JobState=[A-Z_]+ .*ExitCode=[0-9:]+' |
    sed -E 's/JobState=([A-Z_]+) .*ExitCode=([0-9:]+)/\1 \2/' | sort | uniq -c | sed 's/^ *//') || true
if [ "$states" != "$tasks COMPLETED 0:0" ]; then
    tail -n 20 logs/* >&2 || true
    fail "the tasks ended as: $states"
fi
echo "slurm: $tasks tasks of $chunk frames done in $((SECONDS - submitted)) s (scale $range)"

# The same shot filtered in one local run on the shot's scale.
local_run=$(deepglass apply --range shot --frames "1-$frames" shot/beauty.%04d.exr -o local/grey.%04d.png 2>&1) ||
    fail "the local run failed: $local_run"
grep -qxF "shot range: $range over $frames frames" <<<"$local_run" ||
    fail "the local run's scale is not the one info printed ($range): $local_run"
for i in $(seq "$frames"); do
    name=$(printf 'grey.%04d.png' "$i")
    [ -f "grey/$name" ] || fail "no task wrote grey/$name"
    cmp -s "grey/$name" "local/$name" || fail "grey/$name differs from the local run's"
done
for ((task = 0; task < tasks; task++)); do
    first=$((task * chunk + 1))
    report=reports/grey.$first-$((first + chunk - 1)).json
    [ -f "$report" ] || fail "task $task wrote no $report"
    [ "$(jq -r '"\(.counts.written) \(.counts.failed) \(.frames | length)"' "$report")" = "$chunk 0 $chunk" ] ||
        fail "$report does not count $chunk frames written: $(cat "$report")"
done
echo "slurm: $frames pictures equal to one local run's, $tasks reports; stage took $((SECONDS - started)) s"

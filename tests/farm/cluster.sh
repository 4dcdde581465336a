# A one-node Slurm cluster of the current user's own in folder DIR, on ports of its own, without
# cgroups. Sourced: start_cluster DIR starts munged, slurmctld and slurmd (SLURM_CONF exported)
# and waits for the node to be idle; stop_cluster stops every daemon it started, by pid.

cluster_pids=()

stop_cluster() {
    local pid
    for pid in "${cluster_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${cluster_pids[@]}"; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
    cluster_pids=()
}

# A TCP port nobody listens on now.
free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_cluster() {
    local dir=$1 user host cpus
    user=$(id -un)
    host=$(hostname -s)
    cpus=$(nproc)
    mkdir -p "$dir"/{munge,state,spool,log}
    chmod 711 "$dir/munge"
    head -c 1024 /dev/urandom >"$dir/munge/munge.key"
    chmod 400 "$dir/munge/munge.key"
    munged --force --foreground --key-file="$dir/munge/munge.key" \
        --socket="$dir/munge/munge.socket" --pid-file="$dir/munge/munged.pid" \
        --log-file="$dir/log/munged.log" --seed-file="$dir/munge/munge.seed" \
        >"$dir/log/munged.out" 2>&1 &
    cluster_pids+=($!)
    for _ in $(seq 100); do [ -S "$dir/munge/munge.socket" ] && break; sleep 0.1; done
    cat >"$dir/slurm.conf" <<CONF
ClusterName=tesk
SlurmctldHost=$host(127.0.0.1)
SlurmUser=$user
SlurmdUser=$user
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
ReturnToService=2
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
JobAcctGatherType=jobacct_gather/none
SlurmctldTimeout=30
SlurmdTimeout=30
InactiveLimit=0
KillWait=5
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=tesk Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
    export SLURM_CONF=$dir/slurm.conf
    slurmctld -D -i -f "$SLURM_CONF" >"$dir/log/slurmctld.out" 2>&1 &
    cluster_pids+=($!)
    slurmd -D -f "$SLURM_CONF" >"$dir/log/slurmd.out" 2>&1 &
    cluster_pids+=($!)
    local state=""
    for _ in $(seq 300); do
        state=$(sinfo -h -o %T 2>/dev/null | head -n 1)
        [ "$state" = idle ] && return 0
        sleep 0.2
    done
    echo "the node did not come up (state '$state'); logs in $dir/log" >&2
    return 1
}

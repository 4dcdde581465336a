#!/usr/bin/env bash
# tesk-ae over a Slurm job array on a one-node cluster of its own (cluster.sh), in the three
# cases the echo lines name. Usage: farm_test.sh TESK_AE FARM_SCRIPT; 77 (skipped) without Slurm.
set -euo pipefail
program=$(realpath "$1")
farm=$(realpath "$2")
for tool in munged slurmctld slurmd sbatch squeue scancel sinfo; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
source "$here/cluster.sh"
finish() {
    local status=$?
    stop_cluster
    [ $status -eq 0 ] || { echo "--- daemon logs" >&2; tail -n 20 "$scratch"/cluster/log/* >&2 || true; }
    rm -rf "$scratch"
}
trap finish EXIT
start_cluster "$scratch/cluster"

fail() { echo "FAILED: $*" >&2; exit 1; }

# Waits for every task of the job to leave the queue.
wait_job() {
    for _ in $(seq 600); do
        [ -z "$(squeue -h -j "$1" 2>/dev/null)" ] && return 0
        sleep 0.5
    done
    fail "job $1 did not finish"
}

cd "$scratch"
mkdir frames
# 48 different frames, made as the program's own test pictures would be: noise of a seed each.
/usr/bin/python3 - <<'PY'
import random
for frame in range(1, 49):
    rng = random.Random(frame)
    data = bytes(rng.randrange(256) for _ in range(96 * 64 * 3))
    with open("frames/in.%04d.ppm" % frame, "wb") as f:
        f.write(b"P6\n96 64\n255\n" + data)
PY
blur=(blur --size 9 --frames 1-48 frames/in.####.ppm)
"$program" "${blur[@]}" reference.####.exr 2>/dev/null

echo "== four tasks give the frames one process gives"
job=$("$farm" submit --chunk-size 12 --logs logs --tesk-ae "$program" -- "${blur[@]}" split.####.exr)
[ "$(grep -c '' <<<"$job")" = 1 ] || fail "submit printed '$job', not one job id"
wait_job "$job"
for frame in $(seq -f %04g 1 48); do
    cmp -s "reference.$frame.exr" "split.$frame.exr" || fail "frame $frame differs"
done
"$farm" report "$job" --logs logs | grep -q "48 of 48 frames done" || fail "report: not all done"
[ "$(ls logs/"${job}"_*.err | wc -l)" = 4 ] || fail "not four tasks"

echo "== a cancelled task leaves no partial file; a resubmission finishes the set"
# Frames large enough that the task is still at work when it is cancelled.
"$program" resize 1024x1024 frames/in.0001.ppm large.exr 2>/dev/null
for frame in $(seq -f %04g 1 48); do cp large.exr "frames/large.$frame.exr"; done
slow=(blur --size 61 --frames 1-48 frames/large.####.exr)
job=$("$farm" submit --chunk-size 48 --logs logs --tesk-ae "$program" -- "${slow[@]}" cut.####.exr)
for _ in $(seq 600); do
    [ -n "$(ls cut.*.exr 2>/dev/null)" ] && break
    sleep 0.1
done
scancel "$job"
wait_job "$job"
done_before=$(ls cut.*.exr 2>/dev/null | wc -l)
[ "$done_before" -lt 48 ] || fail "the task finished before it was cancelled"
[ -z "$(ls -a | grep '\.tmp$' || true)" ] || fail "a temporary file is left"
for file in cut.*.exr; do
    "$program" copy "$file" check.exr 2>/dev/null || fail "$file is not a whole image"
done
job=$("$farm" submit --chunk-size 12 --logs logs --tesk-ae "$program" -- "${slow[@]}" cut.####.exr)
wait_job "$job"
[ "$(ls cut.*.exr | wc -l)" = 48 ] || fail "the resubmission did not complete the set"
grep -q "frames are done already" logs/"${job}"_*.err || fail "no frame was skipped"

echo "== a frame that fails is reported with its reason; the others finish"
echo "not a picture" >frames/in.0007.ppm
job=$("$farm" submit --chunk-size 12 --logs logs --tesk-ae "$program" -- "${blur[@]}" bad.####.exr)
wait_job "$job"
report=$("$farm" report "$job" --logs logs)
grep -q "47 of 48 frames done" <<<"$report" || fail "not the other 47 frames: $report"
grep -q "missing: 7$" <<<"$report" || fail "frame 7 is not the one missing"
grep -q "failed: frame 7: cannot read 'frames/in.0007.ppm'" <<<"$report" || fail "no reason for frame 7"
echo "farm test passed"

#!/usr/bin/env bash
# Times tesk-ae and oiiotool doing the same work on one frame sequence, side by side in one run,
# and prints a Markdown table of both times and their ratio (below 1: tesk-ae is faster).
#
#   bench/sequence_bench.sh [--frames N] [--size WxH] [--reps R] [--only WORD]
#                           [--tesk PATH] [--baseline PATH] [--oiiotool PATH] [--dir DIR]
#
# The sequence is N frames (default 24) of WxH (default 1920x1080) half-float RGBA EXR noise,
# made with oiiotool, plus a second one for the commands that take two images. Every command
# runs R times (default 3), in turns with the others of its row, and the table keeps each
# one's best time: the machines this runs on are shared. --baseline times another tesk-ae
# build in the same turns (a column of its own). --only runs the rows whose command holds
# WORD. The programs are taken from the options, else $TESK_AE, $TESK_AE_BASELINE and
# $OIIOTOOL, else from PATH; the frames go to DIR (default: a fresh temporary folder, removed
# at the end).
set -euo pipefail

frames=24 size=1920x1080 reps=3 only="" dir=""
tesk=${TESK_AE:-tesk-ae} baseline=${TESK_AE_BASELINE:-} oiiotool=${OIIOTOOL:-oiiotool}
while [ $# -gt 0 ]; do
    case $1 in
    --frames) frames=$2 ;;
    --size) size=$2 ;;
    --reps) reps=$2 ;;
    --only) only=$2 ;;
    --tesk) tesk=$2 ;;
    --baseline) baseline=$2 ;;
    --oiiotool) oiiotool=$2 ;;
    --dir) dir=$2 ;;
    *)
        sed -n '2,/^set /p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
        exit 2
        ;;
    esac
    shift 2
done
for program in "$tesk" "$oiiotool" ${baseline:+"$baseline"}; do
    command -v "$program" >/dev/null || { echo "sequence_bench: no program '$program'" >&2; exit 2; }
done
if [ -z "$dir" ]; then
    dir=$(mktemp -d "${TMPDIR:-/tmp}/tesk-sequence-XXXXXX")
    trap 'rm -rf "$dir"' EXIT
fi
mkdir -p "$dir"
cd "$dir"
range=1-$frames

echo "Making $frames frames of $size half-float RGBA noise in $dir ..." >&2
noise="--pattern noise $size 4 --noise:type=uniform:min=0:max=1"
"$oiiotool" --frames "$range" $noise:seed={FRAME_NUMBER} -d half -o a.#.exr
"$oiiotool" --frames "$range" $noise:seed={FRAME_NUMBER+1000} -d half -o b.#.exr

# The seconds one command takes, wall-clock and CPU (user + system, all threads), or "failed"
# (its messages then go to stderr).
elapsed() {
    local TIMEFORMAT='%R %U %S' timing
    if timing=$({ time "$@" >/dev/null 2>log.txt; } 2>&1); then
        awk -v t="$timing" 'BEGIN { split(t, f, " "); printf "%.3f %.3f", f[1], f[2] + f[3] }'
    else
        cat log.txt >&2
        echo failed
    fi
}

# The faster of two timings (the first may be empty); "failed" wins.
best() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        if (a == "failed" || b == "failed") print "failed"
        else print (a == "" || b + 0 < a + 0) ? b : a }'
}

# Wall-clock ratio of two timings.
ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "n/a" }'
}

# A timing as "wall s (CPU)".
seconds() {
    awk -v t="$1" 'BEGIN {
        if (split(t, f, " ") == 2) printf "%.2f s (%.1f)", f[1], f[2]; else print t }'
}

# The largest difference between the two programs' first frames, as oiiotool reports it (0
# for identical ones, where it reports none).
difference() {
    local report
    report=$("$oiiotool" --diff "$1" "$2" 2>/dev/null || true)
    case $report in
    *"Max error"*) sed -n 's/.*Max error *= *\([^ ]*\).*/\1/p' <<<"$report" ;;
    *PASS*) echo 0 ;;
    esac
}

# The words of a command line with IN, IN2 and OUT standing for the sequences, the frame
# number written as the program takes it (#### or #).
expand() {
    local number=$1 out=$2 word
    shift 2
    for word in "$@"; do
        word=${word//IN2/b.$number.exr}
        word=${word//IN/a.$number.exr}
        echo "${word//OUT/$out.$number.exr}"
    done
}

# One row: the tesk-ae arguments after the command's name, then the oiiotool arguments ("-"
# where it has no equivalent).
row() {
    local teskArgs=$1 oiioArgs=$2 t="" b="" o=n/a diff=n/a rep load
    [[ -n "$only" && "$teskArgs" != *"$only"* ]] && return 0
    local teskLine baselineLine oiioLine
    read -ra teskLine <<<"$teskArgs"
    mapfile -t baselineLine < <(expand '####' p "${teskLine[@]}")
    mapfile -t teskLine < <(expand '####' t "${teskLine[@]}")
    read -ra oiioLine <<<"$oiioArgs"
    mapfile -t oiioLine < <(expand '#' o "${oiioLine[@]}")
    [ "$oiioArgs" != - ] && o=""
    load=$(cut -d' ' -f1 /proc/loadavg)
    for ((rep = 0; rep < reps; ++rep)); do
        rm -f t.*.exr p.*.exr o.*.exr
        if [ -n "$baseline" ]; then
            b=$(best "$b" "$(elapsed "$baseline" "${baselineLine[0]}" --frames "$range" "${baselineLine[@]:1}")")
        fi
        t=$(best "$t" "$(elapsed "$tesk" "${teskLine[0]}" --frames "$range" "${teskLine[@]:1}")")
        if [ "$oiioArgs" != - ]; then
            o=$(best "$o" "$(elapsed "$oiiotool" --frames "$range" "${oiioLine[@]}")")
        fi
    done
    if [ "$oiioArgs" != - ] && [ "$o" != failed ] && [ "$t" != failed ]; then
        diff=$(difference t.0001.exr o.0001.exr)
    fi
    [ "$oiioArgs" = - ] && oiioArgs="(none)"
    if [ -n "$baseline" ]; then
        printf '| `%s` | `%s` | %s | %s | %s | %s | %s | %s | %s |\n' "$teskArgs" "$oiioArgs" \
            "$(seconds "$b")" "$(seconds "$t")" "$(seconds "$o")" "$(ratio "$b" "$o")" \
            "$(ratio "$t" "$o")" "${diff:-n/a}" "$load"
    else
        printf '| `%s` | `%s` | %s | %s | %s | %s | %s |\n' "$teskArgs" "$oiioArgs" \
            "$(seconds "$t")" "$(seconds "$o")" "$(ratio "$t" "$o")" "${diff:-n/a}" "$load"
    fi
}

cpu=$(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -1)
gl=$("$tesk" info 2>/dev/null | sed -n 's/^OpenGL Version: *//p' | head -1)
echo "Machine: $cpu, $(nproc) cores; OpenGL ${gl:-?}; $("$oiiotool" --version | head -1 | sed 's/^/oiiotool /')."
echo "$frames frames of $size half-float RGBA EXR (zip), best of $reps, wall-clock seconds (CPU seconds, user + system);"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg); the load column is the 1-minute one as a row starts."
echo
if [ -n "$baseline" ]; then
    echo "| tesk-ae | oiiotool | baseline | tesk-ae | oiiotool | baseline / oiiotool | tesk-ae / oiiotool | max diff | load |"
    echo "|---|---|---:|---:|---:|---:|---:|---:|---:|"
else
    echo "| tesk-ae | oiiotool | tesk-ae | oiiotool | tesk-ae / oiiotool | max diff | load |"
    echo "|---|---|---:|---:|---:|---:|---:|"
fi
row "premultiply IN OUT" "IN --premult -o OUT"
row "premultiply --layout half IN OUT" "IN --premult -o OUT"
row "copy IN OUT" "IN -o OUT"
row "resize 960x540 IN OUT" "IN --resample 960x540 -o OUT"
row "blend --mode Over IN IN2 OUT" "IN IN2 --over -o OUT"
row "blend --mode Multiply IN IN2 OUT" "IN IN2 --mul -o OUT"
row "blend --mode Screen IN IN2 OUT" "-"
row "blur --size 9 IN OUT" "IN --blur 9x9 -o OUT"
row "transform --rotation 0,0,30 IN IN2 OUT" "IN --rotate:filter=triangle 30 IN2 --over -o OUT"
echo
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."

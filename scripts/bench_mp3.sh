#!/usr/bin/env bash
# Decode speed of the MP3 decoder next to mpg123 and ffmpeg, on the same
# files in the same run, one core each. Files: 60 s of 44.1 kHz stereo test
# signal encoded by lame at 128 kbit/s joint stereo and at 320 kbit/s.
#   scripts/bench_mp3.sh [BUILD_DIR]   (default build/native; needs bench_mp3 built)
set -euo pipefail
build=${1:-build/native}
bench="$build/bench_mp3"
[ -x "$bench" ] || { echo "build $bench first (ninja -C $build bench_mp3)" >&2; exit 1; }
for tool in lame mpg123 ffmpeg sox; do command -v $tool >/dev/null || { echo "$tool missing" >&2; exit 1; }; done
runs=${RUNS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pin=""
command -v taskset >/dev/null && pin="taskset -c 0"

sox -n -r 44100 -c 2 "$work/src.wav" synth 60 pinknoise sine 440 sine 3000 gain -8 remix 1,2v0.4 1v0.4,2 2>/dev/null
lame --quiet -b 128 -m j "$work/src.wav" "$work/128k_joint.mp3"
lame --quiet -b 320 -m j "$work/src.wav" "$work/320k.mp3"

# Best of $runs wall-clock runs of a command, in seconds.
best_of() {
    local best=999999 t
    for _ in $(seq "$runs"); do
        local s e
        s=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        e=$(date +%s.%N)
        t=$(echo "$e - $s" | bc -l)
        best=$(echo "if ($t < $best) $t else $best" | bc -l)
    done
    printf "%.4f" "$best"
}

# bench_mp3 times the decoder in process; sonvel-tool decode is timed like the
# other two tools, process start and writing the PCM to /dev/null included.
echo "| file | bench_mp3 (s) | x real time | sonvel-tool decode (s) | x real time | mpg123 (s) | x real time | ffmpeg (s) | x real time | sonvel-tool / mpg123 |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for f in 128k_joint 320k; do
    mp3="$work/$f.mp3"
    ours=$($pin "$bench" -n "$runs" "$mp3" | awk -F'\t' '{print $2}' | awk '{print $1}')
    tool=$(best_of $pin "$build/sonvel-tool" decode "$mp3")
    mpg=$(best_of $pin mpg123 -q -s "$mp3")
    ff=$(best_of $pin ffmpeg -nostdin -v quiet -threads 1 -i "$mp3" -f s16le -y /dev/null)
    rt() { printf "%.0f" "$(echo "60 / $1" | bc -l)"; }
    ratio=$(printf "%.2f" "$(echo "$tool / $mpg" | bc -l)")
    echo "| $f | $ours | $(rt "$ours") | $tool | $(rt "$tool") | $mpg | $(rt "$mpg") | $ff | $(rt "$ff") | $ratio |"
done

#!/usr/bin/env bash
# Decode speed of the MP3 decoder next to mpg123 on the same files in the same
# run. Files: SECONDS of 44.1 kHz stereo test signal (pink noise and tones)
# encoded by lame at 128, 192 and 320 kbit/s joint stereo, and the same signal
# at 22.05 kHz (MPEG-2) at 64 kbit/s.
#
# Both sides are timed as whole processes, decoding to 16-bit PCM on stdout
# thrown away: `sonvel-tool decode FILE` against `mpg123 -q -s FILE` (its
# default decoder, AVX where the processor has it). The two run in turn, RUNS
# times each; CPU seconds are user + system. Printed: the medians and the
# median of the run-by-run ratios (ours / mpg123).
#   scripts/bench_mp3.sh [BUILD_DIR] [SECONDS] [RUNS]   (default build/native 60 15)
set -euo pipefail
build=${1:-build/native}
seconds=${2:-60}
runs=${3:-15}
tool="$build/sonvel-tool"
[ -x "$tool" ] || { echo "build $tool first (ninja -C $build sonvel-tool)" >&2; exit 1; }
for t in lame mpg123 sox; do command -v $t >/dev/null || { echo "$t missing" >&2; exit 1; }; done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -n -r 44100 -c 2 "$work/src.wav" synth "$seconds" pinknoise sine 440 sine 3000 gain -8 \
    remix 1,2v0.4 1v0.4,2 2>/dev/null
sox "$work/src.wav" -r 22050 "$work/src22.wav"
lame --quiet -b 128 -m j "$work/src.wav" "$work/128k.mp3"
lame --quiet -b 192 -m j "$work/src.wav" "$work/192k.mp3"
lame --quiet -b 320 -m j "$work/src.wav" "$work/320k.mp3"
lame --quiet -b 64 -m j "$work/src22.wav" "$work/22k_64k.mp3"

# CPU seconds (user + system) of one run of a command, output discarded.
cpu() {
    local TIMEFORMAT='%U %S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.4f", $1 + $2 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'); mpg123 $(mpg123 --version | awk '{ print $2 }'); $seconds s per file, $runs runs each"
echo
echo "| file | Sonvel CPU s | x real time | mpg123 CPU s | x real time | Sonvel / mpg123 |"
echo "|---|---|---|---|---|---|"
for f in 128k 192k 320k 22k_64k; do
    mp3="$work/$f.mp3"
    cpu "$tool" decode "$mp3" >/dev/null # warm-up
    cpu mpg123 -q -s "$mp3" >/dev/null
    : >"$work/a" && : >"$work/b" && : >"$work/r"
    for _ in $(seq "$runs"); do
        a=$(cpu "$tool" decode "$mp3")
        b=$(cpu mpg123 -q -s "$mp3")
        echo "$a" >>"$work/a" && echo "$b" >>"$work/b"
        awk -v a="$a" -v b="$b" 'BEGIN { if (b > 0) print a / b }' >>"$work/r"
    done
    ma=$(median <"$work/a") mb=$(median <"$work/b") mr=$(median <"$work/r")
    awk -v f="$f" -v a="$ma" -v b="$mb" -v r="$mr" -v s="$seconds" \
        'BEGIN { printf "| %s | %.3f | %.0f | %.3f | %.0f | %.2f |\n", f, a, s / a, b, s / b, r }'
done

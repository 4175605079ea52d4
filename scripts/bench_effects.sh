#!/bin/bash
# Effect throughput next to sox, on the same input in the same run.
#
# Per type: `sonvel-tool fx` with a one-entry chain (the type's start values,
# 48 kHz stereo, 10 ms blocks) against `sox` running its nearest effect, both
# as whole processes reading the WAV file and throwing the result away, in
# turn, RUNS times each. CPU seconds are user + system; printed are the medians
# and the median of the run-by-run ratios (Sonvel / sox).
# Chains: bench_effects (in process, CPU time of the chain alone, best of RUNS)
# for the twenty-one as three full chains, and sox's nine-effect chain (chorus,
# flanger, echo, echos, reverb, tremolo, an 8-band equalizer, a 65-tap FIR
# band-pass, compand) as a whole process.
#
# Usage: scripts/bench_effects.sh [BUILD-DIR] [SECONDS] [RUNS]   (default build/native 60 9)
set -eu
build=${1:-build/native}
seconds=${2:-60}
runs=${3:-9}
bench=$build/bench_effects
tool=$build/sonvel-tool
[ -x "$bench" ] && [ -x "$tool" ] || { echo "build $bench and $tool first (SONVEL_BENCH=ON)" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
in=$work/in.wav
# Pink noise with a tone on top: broadband, never silent, well below clipping.
sox -D -n -r 48000 -c 2 -b 16 "$in" synth "$seconds" pinknoise synth "$seconds" sine mix 440 gain -6

# The 65-tap Hann-windowed band-pass 2000..4000 Hz at 48 kHz (FIR BPF's own design).
fir=$(awk 'BEGIN { pi = atan2(0, -1); fl = 2000 / 48000; fh = 4000 / 48000
  for (n = -32; n <= 32; n++) {
    if (n == 0) ideal = 2 * fh - 2 * fl
    else ideal = sin(2 * pi * fh * n) / (pi * n) - sin(2 * pi * fl * n) / (pi * n)
    printf "%.12g ", ideal * 0.5 * (1 - cos((n + 32) * pi / 32)) } }')
eq8="equalizer 60 50h 1 equalizer 120 100h 1 equalizer 240 200h 1 equalizer 480 400h 1 equalizer 960 800h 1 equalizer 1920 1600h 1 equalizer 3840 3200h 1 equalizer 7680 6400h 1"

# CPU seconds (user + system) of one run of a command, output discarded.
cpu() {
    local TIMEFORMAT='%U %S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.4f", $1 + $2 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# A chain file of one entry: type, then value min max for each value in use.
chain() {
    local type=$1 j=0
    shift
    printf '<?xml version="1.0" ?>\r\n<EffectList><EffectItem><Num>0</Num><Type>%d</Type><Enabled>1</Enabled><Params>%d</Params>' \
        "$type" $(($# / 3))
    while [ $# -ge 3 ]; do
        printf '<ParamValue Num="%d" Min="%d" Max="%d">%d</ParamValue>' "$j" "$2" "$3" "$1"
        shift 3
        j=$((j + 1))
    done
    printf '</EffectItem></EffectList>\r\n'
}
# Each type's start values (value min max ...), as the editor gives a new entry.
start=("" "50 0 100 50 0 100 50 0 100" "50 0 100 50 0 100 50 0 100" "50 0 100 2 1 10 50 0 100" "50 0 100"
    "50 0 100 50 0 100" "" "$(printf '0 -20 20 %.0s' 1 2 3 4 5 6 7 8 9)" "2000 0 24000 4000 0 24000"
    "3000 0 24000" "1000 0 24000" "50 0 100 50 0 100 50 0 100" "99 0 99 1000 20 20000" "30 0 100" "50 0 100"
    "80 0 99 1000 20 20000" "62 0 1000 0 0 100 90 0 100" "10 0 100 1 0 1" "50 0 100 50 0 100"
    "50 0 100 50 0 100" "")
names=("THROUGH" "CHORUS" "COMPRESSOR" "DELAY ECHO" "DELAY" "DISTORTION" "ECHO" "EQUALIZER" "FIR BPF" "FIR HPF"
    "FIR LPF" "FLANGER" "INV NOTCH" "LIMITTER" "NOISE_GATE" "NOTCH" "REVERB" "SOFT CLIPPING" "TREMOLO" "VIBRATO" "WAU")

declare -A nearest=(
    ["THROUGH"]="gain -0.1"
    ["CHORUS"]="chorus 0.7 0.9 25 0.4 0.25 10 -s"
    ["COMPRESSOR"]="compand 0.01,0.1 -60,-60,-20,-10"
    ["DELAY ECHO"]="echos 0.8 0.7 20 0.5 40 0.25"
    ["DELAY"]="delay 1 1"
    ["DISTORTION"]="overdrive 20"
    ["ECHO"]="echo 0.8 0.9 41.67 0.8 83.33 0.7 125 0.6"
    ["EQUALIZER"]="$eq8"
    ["FIR BPF"]="fir $fir"
    ["FIR HPF"]="fir $fir"
    ["FIR LPF"]="fir $fir"
    ["FLANGER"]="flanger"
    ["INV NOTCH"]="bandpass 1000 100h"
    ["LIMITTER"]="compand 0.001,0.001 -90,-90,-10.5,-10.5,0,-10.5"
    ["NOISE_GATE"]="compand 0.001,0.001 -90,-90,-34.1,-90,-34,-34,0,0"
    ["NOTCH"]="bandreject 1000 100h"
    ["REVERB"]="reverb"
    ["SOFT CLIPPING"]="overdrive 20"
    ["TREMOLO"]="tremolo 15 50"
    ["VIBRATO"]="flanger 0 2 0 100 5 sine"
    ["WAU"]="phaser 0.8 0.74 3 0.4 0.5 -s"
)

echo "# Effect throughput, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "Input: $seconds s of 48 kHz stereo 16-bit (pink noise and a 440 Hz tone). $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')."
echo "sox: $(sox --version 2>&1 | sed 's/.*SoX //'). Whole processes, CPU seconds (user + system), medians of $runs runs in turn."
echo
echo "| type | Sonvel CPU s | sox nearest effect | sox CPU s | Sonvel / sox |"
echo "|---|---|---|---|---|"
for t in $(seq 0 20); do
    name=${names[$t]}
    # shellcheck disable=SC2086
    chain $t ${start[$t]} >"$work/t$t.xml"
    # shellcheck disable=SC2206
    effect=(${nearest[$name]})
    cpu "$tool" fx --chain "$work/t$t.xml" "$in" /dev/null >/dev/null # warm-up
    : >"$work/a" && : >"$work/b" && : >"$work/r"
    for ((r = 0; r < runs; r++)); do
        a=$(cpu "$tool" fx --chain "$work/t$t.xml" "$in" /dev/null)
        b=$(cpu sox -D "$in" -t null /dev/null "${effect[@]}")
        echo "$a" >>"$work/a" && echo "$b" >>"$work/b"
        awk -v a="$a" -v b="$b" 'BEGIN { if (b > 0) print a / b }' >>"$work/r"
    done
    label=${nearest[$name]}
    [ "${label:0:4}" = "fir " ] && label="fir (65 taps)"
    [ "${label:0:10}" = "equalizer " ] && label="equalizer x 8"
    awk -v n="$name" -v e="$label" -v a="$(median <"$work/a")" -v b="$(median <"$work/b")" -v r="$(median <"$work/r")" \
        'BEGIN { printf "| %s | %.3f | `%s` | %.3f | %.2f |\n", n, a, e, b, r }'
done

ours=$("$bench" "$in" "$runs" all)
all=$(awk -F'|' '$1 == "all twenty-one" { print $2 }' <<< "$ours")
allx=$(awk -F'|' '$1 == "all twenty-one" { print $3 }' <<< "$ours")
: >"$work/c"
for ((r = 0; r < runs; r++)); do
    # shellcheck disable=SC2086
    cpu sox -D "$in" -t null /dev/null chorus 0.7 0.9 25 0.4 0.25 10 -s flanger echo 0.8 0.9 41.67 0.8 83.33 0.7 125 0.6 \
        echos 0.8 0.7 20 0.5 40 0.25 reverb tremolo 15 50 $eq8 fir $fir compand 0.01,0.1 -60,-60,-20,-10 >>"$work/c"
    echo >>"$work/c"
done
chain=$(median <"$work/c")
chainx=$(awk -v a="$seconds" -v b="$chain" 'BEGIN { printf "%.1f", a / b }')
echo
echo "| chain | CPU s | x RT |"
echo "|---|---|---|"
awk -F'|' '$1 ~ /^chain / { printf "| Sonvel %s (in process, best of '"$runs"') | %s | %s |\n", $1, $2, $3 }' <<< "$ours"
echo "| **Sonvel, all twenty-one (three chains, in process)** | **$all** | **$allx** |"
echo "| **sox, nine-effect chain (whole process, median)** | **$chain** | **$chainx** |"

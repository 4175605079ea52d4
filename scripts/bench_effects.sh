#!/bin/bash
# Effect throughput next to sox, on the same input in the same run.
#
# Each of the twenty-one types runs alone through CEffectManager (48 kHz
# stereo, 10 ms blocks), then the twenty-one as three full chains; sox runs its
# nearest effect for each type and a comparable nine-effect chain (chorus,
# flanger, echo, echos, reverb, tremolo, an 8-band equalizer, a 65-tap FIR
# band-pass, compand). Times are CPU seconds (user + system), best of RUNS, so a
# busy machine does not count against either side. Prints a Markdown report.
#
# Usage: scripts/bench_effects.sh [BUILD-DIR] [SECONDS] [RUNS]
set -eu
build=${1:-build/native}
seconds=${2:-30}
runs=${3:-5}
bench=$build/bench_effects
[ -x "$bench" ] || { echo "no $bench: build with SONVEL_BENCH=ON first" >&2; exit 1; }
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

# CPU seconds of one sox run with the given effects, best of $runs.
sox_time() {
    local best=999 s r
    for ((r = 0; r < runs; r++)); do
        s=$( { TIMEFORMAT='%U %S'; time sox -D "$in" -t null /dev/null "$@" 2>/dev/null; } 2>&1 | awk '{ print $1 + $2 }')
        best=$(awk -v a="$s" -v b="$best" 'BEGIN { print (a < b) ? a : b }')
    done
    echo "$best"
}

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

ours=$("$bench" "$in" "$runs")
base=$(sox_time)
echo "# Effect throughput, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo
echo "Input: $seconds s of 48 kHz stereo 16-bit (pink noise and a 440 Hz tone). CPU seconds, best of $runs runs;"
echo "\"x RT\" is seconds of audio per CPU second on one core. $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')."
echo "sox: $(sox --version 2>&1 | sed 's/.*SoX //'); sox reading and discarding the file with no effect takes $base s."
echo
echo "| type | Sonvel s | x RT | sox nearest effect | sox s | x RT | faster |"
echo "|---|---|---|---|---|---|---|"
while IFS='|' read -r name secs xrt; do
    [ -n "${nearest[$name]+x}" ] || continue
    # shellcheck disable=SC2086
    st=$(sox_time ${nearest[$name]})
    sx=$(awk -v a="$seconds" -v b="$st" 'BEGIN { printf "%.0f", a / b }')
    effect=${nearest[$name]}
    [ "${effect:0:4}" = "fir " ] && effect="fir (65 taps)"
    [ "${effect:0:10}" = "equalizer " ] && effect="equalizer x 8"
    verdict=$(awk -v a="$secs" -v b="$st" 'BEGIN { print (a < b) ? "yes" : "no" }')
    echo "| $name | $secs | $xrt | \`$effect\` | $st | $sx | $verdict |"
done <<< "$ours"
all=$(awk -F'|' '$1 == "all twenty-one" { print $2 }' <<< "$ours")
allx=$(awk -F'|' '$1 == "all twenty-one" { print $3 }' <<< "$ours")
# shellcheck disable=SC2086
chain=$(sox_time chorus 0.7 0.9 25 0.4 0.25 10 -s flanger echo 0.8 0.9 41.67 0.8 83.33 0.7 125 0.6 \
    echos 0.8 0.7 20 0.5 40 0.25 reverb tremolo 15 50 $eq8 fir $fir compand 0.01,0.1 -60,-60,-20,-10)
chainx=$(awk -v a="$seconds" -v b="$chain" 'BEGIN { printf "%.1f", a / b }')
echo
echo "| chain | CPU s | x RT |"
echo "|---|---|---|"
awk -F'|' '$1 ~ /^(empty chain|chain )/ { printf "| Sonvel %s | %s | %s |\n", $1, $2, $3 }' <<< "$ours"
echo "| **Sonvel, all twenty-one (three chains)** | **$all** | **$allx** |"
echo "| **sox, nine-effect chain** | **$chain** | **$chainx** |"

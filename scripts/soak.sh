#!/usr/bin/env bash
# Soak: a steady tone recorded for SOAK_SECONDS (default 600) by the real
# program with the monitor on and a five-effect chain, sampled every 10 s for
# the process's memory. Prints the figures docs/acceptance.md records.
#   scripts/soak.sh [mme|wasapi]     (needs build/win; uses the test bed of the environment)
set -u
cd "$(dirname "$0")/.."
BUILD=$(pwd)/build/win WORK=$(pwd)/build/win/soak-${1:-mme}
DURATION=${SOAK_SECONDS:-600}
rm -rf "$WORK" && mkdir -p "$WORK"
source scripts/testbed.sh start >/dev/null 2>&1 || { echo "test bed did not start"; exit 1; }
source tests/accept/lib.bash
DRIVER=${1:-mme}

tone=$(sig soak-tone synth $((DURATION + 20)) sine 997 vol 0.5)
app_setup "$DRIVER"
# Linear effects only, so the tone stays a steady tone whose breaks can be counted.
chain_file 9:"FIR HPF":50 10:"FIR LPF":8000 7:EQUALIZER 4:DELAY:30 15:NOTCH:80
drv_begin; app_start
must press $MIC; must wait-text $CAP_STATUS 5000 Running
must check $SPK; [ "$R" = 1 ] || must press $SPK
must press $EFX; must wait-check $EFX 1 3000
must window main
pid=$(app_unix_pid) || die "no process"
play_start "$tone"
sleep 1
must settext $REC_NAME soak
must press $REC_START; must wait-check $REC_START 1 5000
start=$(now)
echo "t_s,rss_kb" >"$WORK/memory.csv"
while :; do
    t=$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%d", b - a }')
    echo "$t,$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")" >>"$WORK/memory.csv"
    [ "$t" -ge "$DURATION" ] && break
    drv responsive 5000 || { echo "FAIL: window hung at ${t}s"; fail=1; break; }
    sleep 10
done
must text $REC_TIME; rec_time=$R
must press $REC_STOP; must wait-check $REC_START 0 5000
kill "$PLAY_PID" 2>/dev/null; play_wait
t0=$(now)
drv quit 30000 || { echo "FAIL: the program did not end within 30 s of its close"; fail=1; }
echo "close_s: $(since "$t0")"

frames=$(value frames "$("${TOOL[@]}" compare "$REC/soak.wav" "$REC/soak.wav" 2>/dev/null)")
# Breaks counted per minute: the analyser's frequency is a median per window.
breaks=0
for ((m = 0; m < DURATION; m += 60)); do
    C=$("${TOOL[@]}" level "$REC/soak.wav" --hz 997 --from $((m + 1)) --to $((m + 60)) 2>/dev/null)
    breaks=$((breaks + $(value dropouts "$C")))
done
dropped=$(app_log | sed -n 's/.*blocks dropped \([0-9]*\), FIFO overflows[^0-9]*\([0-9]*\).*/\1 \2/p' | tail -n1)
rss_1=$(awk -F, 'NR > 1 && $1 >= 60 { print $2; exit }' "$WORK/memory.csv")
rss_end=$(tail -n1 "$WORK/memory.csv" | cut -d, -f2)
growth=$(awk -v a="$rss_1" -v b="$rss_end" 'BEGIN { printf "%.1f", (b - a) * 100 / a }')
echo "driver: $DRIVER"
echo "seconds: $DURATION (recorded-time box at STOP: $rec_time, file frames: $frames)"
echo "discontinuities: $breaks"
echo "dropped_blocks: ${dropped% *} fifo_overflows_record_or_monitor: ${dropped#* }"
echo "rss_kb_after_1_min: $rss_1 rss_kb_end: $rss_end growth_percent: $growth"
[ "$breaks" = 0 ] && [ "${dropped% *}" = 0 ] && [ "${dropped#* }" = 0 ] &&
    awk -v g="$growth" 'BEGIN { exit !(g < 5 && g > -5) }' && [ "$fail" = 0 ]

#!/usr/bin/env bash
# A device that disappears while it streams: for each driver family, play and
# record through a null sink of our own, unload the sink in the middle, and
# check that the tool finishes on time and its drivers close within about a
# second. Our own sink, so nothing else that uses the test bed loses its device.
#   driver_vanish.sh KIND WORKDIR TOOL-COMMAND...
set -u
kind=$1; work=$2; shift 2
[ "$kind" = win ] || exit 77
command -v pactl >/dev/null && timeout 5 pactl info >/dev/null 2>&1 || exit 77
mkdir -p "$work"

sink="sonvel_vanish_$$"
desc="Vanish$$"
module=""
cleanup() { [ -n "$module" ] && timeout 5 pactl unload-module "$module" >/dev/null 2>&1; }
trap cleanup EXIT

fail=0
for driver in mme wasapi; do
    module=$(timeout 5 pactl load-module module-null-sink "sink_name=$sink" "sink_properties=device.description=$desc") || exit 77
    out="$work/$driver.txt"
    # A new sink reaches Wine's device lists a moment after PulseAudio has it.
    for _ in $(seq 20); do
        "$@" devices 2>/dev/null | tr -d '\r' | grep -qF "Monitor of $desc" && break
        sleep 0.25
    done
    start=$(date +%s%N)
    "$@" probe --driver "$driver" --render "$desc" --capture "Monitor of $desc" --seconds 4 --trace >"$out" 2>&1 &
    pid=$!
    sleep 2.5
    timeout 5 pactl unload-module "$module"
    module=""
    wait "$pid"
    rc=$?
    elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
    close_ms=$(tr -d '\r' <"$out" | sed -n 's/^close_ms: //p')
    echo "$driver: rc=$rc elapsed=${elapsed_ms}ms close_ms=${close_ms:-none}"
    # Started, streamed, lost the device, stopped and closed: no crash, no hang.
    if [ "$rc" != 0 ] || [ -z "$close_ms" ] || [ "$close_ms" -gt 1500 ] || [ "$elapsed_ms" -gt 10000 ]; then
        echo "FAIL: $driver did not close cleanly after its device vanished"; cat "$out"; fail=1
    fi
    started='[MME] start render device'
    [ "$driver" = wasapi ] && started='Start WASAPI renderer'
    if ! grep -qF "$started" "$out"; then
        echo "FAIL: $driver was not streaming when its device vanished"; cat "$out"; fail=1
    fi
    if [ "$driver" = wasapi ] && [ "$(grep -c 'Unable to get capture buffer' "$out")" -gt 3 ]; then
        echo "FAIL: the capture thread kept reading a vanished device"; fail=1
    fi
done
exit $fail

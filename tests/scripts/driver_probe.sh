#!/usr/bin/env bash
# sonvel-tool devices and probe end to end on a null sink of our own (so
# nothing else on the test bed hears it or loses a device), for each driver
# family: the sink is listed by both families; a tone played into it comes back
# from its monitor at the right frequency and level; and with the sink unloaded
# in the middle of a stream the tool finishes on time, its drivers close within
# 1.5 s, and the WASAPI capture thread stops reading the vanished device.
#   driver_probe.sh KIND WORKDIR TOOL-COMMAND...
set -u
kind=$1; work=$2; shift 2
[ "$kind" = win ] || exit 77
command -v pactl >/dev/null && timeout 5 pactl info >/dev/null 2>&1 || exit 77
mkdir -p "$work"

sink="sonvel_probe_$$"; desc="Probe$$"; module=""
trap '[ -n "$module" ] && timeout 5 pactl unload-module "$module" >/dev/null 2>&1' EXIT
load_sink() {  # and wait until Wine's device lists have it
    module=$(timeout 5 pactl load-module module-null-sink "sink_name=$sink" "sink_properties=device.description=$desc") || exit 77
    for _ in $(seq 20); do
        "$@" devices 2>/dev/null | tr -d '\r' >"$work/devices.txt"
        grep -qF "Monitor of $desc" "$work/devices.txt" && return
        sleep 0.25
    done
}
fail=0
check() {  # name value low high
    if awk -v v="$2" -v lo="$3" -v hi="$4" 'BEGIN { exit !(v != "" && v >= lo && v <= hi) }'; then
        echo "  $1 = $2"
    else
        echo "FAIL: $1 = '${2}' not within $3 .. $4"; fail=1
    fi
}

load_sink "$@"
for line in "mme.render.[0-9]*: $desc" "mme.capture.[0-9]*: Monitor of $desc" "wasapi.render.[0-9]*: $desc" \
            "wasapi.capture.[0-9]*: Monitor of $desc" "wasapi.loopback.10[0-9][0-9]: $desc" "wasapi.render.[0-9]*.id: {"; do
    grep -q "^$line" "$work/devices.txt" || { echo "FAIL: devices lists no line '$line'"; fail=1; }
done

for driver in mme wasapi; do
    [ -n "$module" ] || load_sink "$@"
    out="$work/probe-$driver.txt"
    "$@" probe --driver "$driver" --render "$desc" --capture "Monitor of $desc" --seconds 3 --tone 1500 \
        | tr -d '\r' >"$out"
    echo "$driver: rc=$?"
    value() { sed -n "s/^$1: //p" "$out"; }
    check frequency "$(value frequency)" 1485 1515
    check level_dbfs "$(value level_dbfs)" -7.5 -4.5
    check latency_ms "$(value latency_ms)" 0 2000
    check close_ms "$(value close_ms)" 0 1500

    out="$work/vanish-$driver.txt"
    start=$(date +%s%N)
    "$@" probe --driver "$driver" --render "$desc" --capture "Monitor of $desc" --seconds 4 --trace >"$out" 2>&1 &
    pid=$!
    sleep 2.5
    timeout 5 pactl unload-module "$module"; module=""
    wait "$pid"; rc=$?
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    echo "$driver vanish: rc=$rc elapsed=${elapsed}ms"
    [ "$rc" = 0 ] || { echo "FAIL: $driver probe failed after its device vanished"; fail=1; }
    check vanish_close_ms "$(tr -d '\r' <"$out" | sed -n 's/^close_ms: //p')" 0 1500
    check vanish_elapsed_ms "$elapsed" 0 10000
    started='[MME] start render device'; [ "$driver" = wasapi ] && started='Start WASAPI renderer'
    grep -qF "$started" "$out" || { echo "FAIL: $driver was not streaming when its device vanished"; fail=1; }
    if [ "$driver" = wasapi ] && [ "$(grep -c 'Unable to get capture buffer' "$out")" -gt 3 ]; then
        echo "FAIL: the capture thread kept reading a vanished device"; fail=1
    fi
done
[ "$fail" = 0 ] || cat "$work"/vanish-*.txt
exit $fail

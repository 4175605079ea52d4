#!/usr/bin/env bash
# sonvel-tool devices and probe end to end: the devices of a null sink of our
# own are listed by both families, and a tone played into it comes back from
# its monitor at the right frequency and level through either driver family.
#   driver_probe.sh KIND WORKDIR TOOL-COMMAND...
set -u
kind=$1; work=$2; shift 2
[ "$kind" = win ] || exit 77
command -v pactl >/dev/null && timeout 5 pactl info >/dev/null 2>&1 || exit 77
mkdir -p "$work"

sink="sonvel_probe_$$"
desc="Probe$$"
module=$(timeout 5 pactl load-module module-null-sink "sink_name=$sink" "sink_properties=device.description=$desc") || exit 77
trap 'timeout 5 pactl unload-module "$module" >/dev/null 2>&1' EXIT

fail=0
check() {  # name value low high
    if awk -v v="$2" -v lo="$3" -v hi="$4" 'BEGIN { exit !(v != "" && v >= lo && v <= hi) }'; then
        echo "  $1 = $2"
    else
        echo "FAIL: $1 = '${2}' not within $3 .. $4"; fail=1
    fi
}

"$@" devices | tr -d '\r' >"$work/devices.txt"
for line in "mme.render.[0-9]*: $desc" "mme.capture.[0-9]*: Monitor of $desc" "wasapi.render.[0-9]*: $desc" \
            "wasapi.capture.[0-9]*: Monitor of $desc" "wasapi.loopback.10[0-9][0-9]: $desc" "wasapi.render.[0-9]*.id: {"; do
    grep -q "^$line" "$work/devices.txt" || { echo "FAIL: devices lists no line '$line'"; fail=1; }
done

for driver in mme wasapi; do
    out="$work/probe-$driver.txt"
    "$@" probe --driver "$driver" --render "$desc" --capture "Monitor of $desc" --seconds 3 --tone 1500 \
        | tr -d '\r' >"$out"
    echo "$driver: rc=$?"
    value() { sed -n "s/^$1: //p" "$out"; }
    check frequency "$(value frequency)" 1485 1515
    check level_dbfs "$(value level_dbfs)" -7.5 -4.5
    check latency_ms "$(value latency_ms)" 0 2000
    check close_ms "$(value close_ms)" 0 1500
done
exit $fail

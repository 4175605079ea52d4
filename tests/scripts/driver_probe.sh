#!/usr/bin/env bash
# sonvel-tool devices and probe end to end on a null sink of our own (so
# nothing else on the test bed hears it or loses a device), for each driver
# family: the sink is listed by both families; a tone played into it comes back
# from its monitor at the right frequency and level; and with the sink unloaded
# in the middle of a stream the tool finishes on time, its drivers close within
# 1.5 s, and the WASAPI capture thread stops reading the vanished device.
#   driver_probe.sh KIND WORKDIR TOOL-COMMAND...
set -u
[ "$1" = win ] || exit 77
command -v pactl >/dev/null && timeout 5 pactl info >/dev/null 2>&1 || exit 77
source "$(dirname "$0")/lib/tool_check.bash"

desc="Probe$$"; SINK_MODULE=""
trap '[ -n "$SINK_MODULE" ] && timeout 5 pactl unload-module "$SINK_MODULE" >/dev/null 2>&1' EXIT
load_sink() { null_sink "sonvel_probe_$$" "$desc" "${tool[@]}"; [ $? != 2 ] || exit 77; }
probe() { "${tool[@]}" probe --driver "$driver" --render "$desc" --capture "Monitor of $desc" "$@"; }

load_sink
for line in "mme.render.[0-9]*: $desc" "mme.capture.[0-9]*: Monitor of $desc" "wasapi.render.[0-9]*: $desc" \
            "wasapi.capture.[0-9]*: Monitor of $desc" "wasapi.loopback.10[0-9][0-9]: $desc" "wasapi.render.[0-9]*.id: {"; do
    grep -q "^$line" <<<"$DEVICES"; check $? "devices lists a line '$line'"
done

for driver in mme wasapi; do
    [ -n "$SINK_MODULE" ] || load_sink
    out=$(probe --seconds 3 --tone 1500)
    echo "$driver: rc=$?"
    expect "frequency=$(value frequency "$out") level_dbfs=$(value level_dbfs "$out")" \
        'frequency >= 1485 && frequency <= 1515 && level_dbfs >= -7.5 && level_dbfs <= -4.5' "$driver: the tone comes back"
    expect "latency_ms=$(value latency_ms "$out") close_ms=$(value close_ms "$out")" \
        'latency_ms >= 0 && latency_ms <= 2000 && close_ms >= 0 && close_ms <= 1500' "$driver: latency and close"

    # Wine can take seconds to start the tool, so the sink goes only once
    # both streams are running, and a second later so that they really flow.
    started='[MME] start render device'; [ "$driver" = wasapi ] && started='Start WASAPI renderer'
    probe --seconds 4 --trace >"vanish-$driver.txt" 2>&1 &
    pid=$!
    for _ in $(seq 200); do
        grep -qF "$started" "vanish-$driver.txt" 2>/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    sleep 1
    start=$(date +%s%N)
    timeout 5 pactl unload-module "$SINK_MODULE"; SINK_MODULE=""
    wait "$pid"; rc=$?
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    check $rc "$driver: the probe succeeds after its device vanished"
    out=$(tr -d '\r' <"vanish-$driver.txt")
    grep -qF "$started" <<<"$out"; check $? "$driver was streaming when its device vanished"
    # The probe meant to stream about 4 s more; it must not hang on the lost device.
    expect "close_ms=$(value close_ms "$out") elapsed_ms=$elapsed" \
        'close_ms >= 0 && close_ms <= 1500 && elapsed_ms >= 0 && elapsed_ms <= 8000' "$driver vanish: close and finish on time"
    [ "$driver" = mme ] || [ "$(grep -c 'Unable to get capture buffer' <<<"$out")" -le 3 ]
    check $? "$driver: the capture thread stops reading a vanished device"
done
[ "$fail" = 0 ] || cat vanish-*.txt
exit $fail

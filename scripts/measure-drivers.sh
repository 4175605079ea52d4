#!/usr/bin/env bash
# Round-trip latency and CPU of each driver family through a test-bed null sink:
# runs `sonvel-tool probe` RUNS times per driver and latency and prints the
# median, lowest and highest of each measure. Needs the test bed:
#   source scripts/testbed.sh start
#   bash scripts/measure-drivers.sh [build/win/sonvel-tool.exe] [RUNS] [SECONDS]
set -u
tool=${1:-build/win/sonvel-tool.exe}
runs=${2:-5}
seconds=${3:-5}
sink=${SONVEL_MEASURE_SINK:-LineOut}

stats() {  # median min max of the numbers on stdin
    sort -g | awk '{v[NR]=$1} END {if (NR==0) {print "- - -"; exit}
        m = NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2; printf "%.1f %.1f %.1f\n", m, v[1], v[NR]}'
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-7s %7s | %-26s | %-20s | %-12s\n" driver latency "round trip ms (med min max)" "cpu ms/s (med min max)" "dropouts med"
for driver in mme wasapi; do
    for latency in 20 50 100; do
        lat=(); cpu=(); drop=()
        for _ in $(seq "$runs"); do
            out=$(timeout $((seconds + 30)) wine "$tool" probe --driver "$driver" --render "$sink" \
                  --capture "Monitor of $sink" --seconds "$seconds" --latency "$latency" 2>/dev/null | tr -d '\r')
            lat+=("$(sed -n 's/^latency_ms: //p' <<<"$out")")
            cpu+=("$(sed -n 's/^cpu_ms_per_s: //p' <<<"$out")")
            drop+=("$(sed -n 's/^dropouts: //p' <<<"$out")")
        done
        printf "%-7s %7s | %-26s | %-20s | %-12s\n" "$driver" "$latency" \
            "$(printf '%s\n' "${lat[@]}" | grep -v '^-1' | stats)" \
            "$(printf '%s\n' "${cpu[@]}" | stats)" \
            "$(printf '%s\n' "${drop[@]}" | stats | cut -d' ' -f1)"
    done
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

#!/usr/bin/env bash
# Start-up time of sonvel.exe under Wine (process start to the main window
# shown, measured from outside by sonvel-drive) and the level meter's repaint
# time (bench_meter_paint). Numbers go to docs/bench-ui.md; they depend on the
# machine, so no test asserts them.
#   bash scripts/bench-ui.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
RUNS=${1:-7}
ninja -C build/win sonvel sonvel-drive bench_meter_paint >/dev/null
# shellcheck source=testbed.sh
source scripts/testbed.sh start
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp build/win/sonvel.exe "$work/"
for driver in 1 0; do
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<config>\n<language>1</language>\n<driver_type>%s</driver_type>\n</config>\n' \
        "$driver" >"$work/sonvel.ini"
    echo -n "start-up, $([ $driver = 1 ] && echo MME || echo WASAPI): "
    (cd "$work" && timeout 600 wine "$(winepath -w "$ROOT/build/win/sonvel-drive.exe")" startup \
        "$(winepath -w "$work/sonvel.exe")" "$RUNS")
done
timeout 300 wine build/win/bench_meter_paint.exe 2000
uptime

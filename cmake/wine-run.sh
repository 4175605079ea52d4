#!/usr/bin/env bash
# Test emulator for the Windows build: runs one .exe under Wine with a hard limit,
# so a hung test fails instead of stalling the whole suite. The environment
# (WINEPREFIX, DISPLAY, PULSE_SERVER ...) comes from scripts/testbed.sh.
#
# Now and then Wine gives up on a start within a few hundredths of a second,
# before the program has run at all: no output and a non-zero status, with its
# reason hidden by WINEDEBUG=-all. Such a start is made once more, and says so.
# A program that ran writes something first (every test prints its filter), so
# a program that ran and failed is never started again.
limit=${SONVEL_WINE_TIMEOUT:-120}
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
    started=$SECONDS
    # The output passes straight through, since some scripts watch it while
    # the program runs; the copies only tell whether anything was written.
    timeout -k 5 "$limit" wine "$@" 2> >(tee "$err" >&2) | tee "$out"
    rc=${PIPESTATUS[0]}
    wait $!
    if [ "$rc" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq 2 ] ||
        [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ] || [ $((SECONDS - started)) -gt 5 ]; then
        break
    fi
    echo "[wine-run] wine exited with $rc before $1 wrote anything; starting it once more" >&2
done
exit "$rc"

#!/usr/bin/env bash
# Test emulator for the Windows build: runs one .exe under Wine with a hard limit,
# so a hung test fails instead of stalling the whole suite. The environment
# (WINEPREFIX, DISPLAY, PULSE_SERVER ...) comes from scripts/testbed.sh.
exec timeout -k 5 "${SONVEL_WINE_TIMEOUT:-120}" wine "$@"

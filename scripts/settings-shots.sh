#!/usr/bin/env bash
# Screenshots of the device and recording settings dialogs in both languages,
# taken from the test bed's X display while the Windows test holds each dialog.
#   bash scripts/settings-shots.sh [build dir, default build/win] [output dir, default <build>/shots]
# Needs a Windows build with the tests (sonvel_win_tests.exe) and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/win}"
out="$(realpath -m "${2:-$build/shots}")"
mkdir -p "$out"
rm -f "$out"/*.rect "$out"/*.part
# shellcheck source=testbed.sh
source scripts/testbed.sh start >/dev/null

SONVEL_SHOT_DIR="Z:${out//\//\\}" cmake/wine-run.sh "$build/sonvel_win_tests.exe" \
    --gtest_filter='SettingsDialogs.NothingIsClippedInEitherLanguage' >"$out/test.log" 2>&1 &
test_pid=$!

# Each dialog announces its place in <name>.rect; the .png tells the test to go on.
while kill -0 "$test_pid" 2>/dev/null; do
    for rect in "$out"/*.rect; do
        [ -e "$rect" ] || continue
        name="${rect%.rect}"
        import -display "$DISPLAY" -window root -crop "$(cat "$rect")" +repage "$name.tmp.png"
        rm -f "$rect"
        mv "$name.tmp.png" "$name.png"
        echo "$name.png"
    done
    sleep 0.2
done
wait "$test_pid" || { echo "the layout test failed: see $out/test.log" >&2; exit 1; }

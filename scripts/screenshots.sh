#!/usr/bin/env bash
# Pictures of the main window, the About box and the language chooser in both
# languages, taken from the running program under the test bed (Xvfb, Wine,
# the Japanese font), into docs/screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=testbed.sh
source scripts/testbed.sh start
build=build/win
ninja -C "$build" sonvel_win_tests
rm -rf "$build/artifacts/screenshots"
cmake/wine-run.sh "$build/sonvel_win_tests.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='Screenshots.DISABLED_*'
mkdir -p docs/screenshots
for bmp in "$build"/artifacts/screenshots/*.bmp; do
    convert "$bmp" "docs/screenshots/$(basename "${bmp%.bmp}").png"
done
ls docs/screenshots

#!/usr/bin/env bash
# Start-up time of sonvel.exe under Wine and the level meter's repaint time
# (docs/bench-ui.md). Not part of the tests: the numbers depend on the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=testbed.sh
source scripts/testbed.sh start
ninja -C build/win sonvel sonvel_win_tests
cmake/wine-run.sh build/win/sonvel_win_tests.exe --gtest_also_run_disabled_tests \
    --gtest_filter='BenchUi.DISABLED_*' | grep -E '^(start|meter)'

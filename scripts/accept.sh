#!/usr/bin/env bash
# The acceptance scenarios with full-length signals (30 s; the test command uses
# 4 s ones to stay inside its time budget). Extra arguments go to ctest, e.g.
#   scripts/accept.sh -R 'record|pause'
set -u
cd "$(dirname "$0")/.."
source scripts/testbed.sh start || exit 1
cd build/win && SONVEL_ACCEPT_SECONDS=${SONVEL_ACCEPT_SECONDS:-30} ctest -L accept --output-on-failure "$@"

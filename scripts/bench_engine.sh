#!/usr/bin/env bash
# Builds and runs the engine benchmark natively (release-with-debug-info build).
# Usage: scripts/bench_engine.sh [SECONDS]   (audio seconds per realtime run, default 10)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
cmake -S "$root" -B "$build" -G Ninja -DSONVEL_TESTS=OFF -DSONVEL_BENCH=ON >/dev/null
ninja -C "$build" -j2 bench_engine >/dev/null
echo "# $(date -u +%Y-%m-%dT%H:%MZ) $(nproc) cores, $(uname -m)"
"$build/bench_engine" "${1:-10}"

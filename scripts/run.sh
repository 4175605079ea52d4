#!/usr/bin/env bash
# Builds the Windows recorder and starts it under Wine.
# With a desktop (DISPLAY set) it opens there and uses your sound server;
# without one it runs inside the headless test bed (Xvfb :77, PulseAudio null sinks).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build/win-release -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DSONVEL_TESTS=OFF -DSONVEL_BENCH=OFF
ninja -C build/win-release sonvel sonvel-tool

if [ -n "${DISPLAY:-}" ]; then
    export WINEPREFIX="${WINEPREFIX:-$HOME/.local/share/sonvel/wineprefix}"
    export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
    mkdir -p "$(dirname "$WINEPREFIX")"
else
    # shellcheck source=testbed.sh
    source scripts/testbed.sh start
    echo "No DISPLAY: running headless on $DISPLAY (screenshot: import -display $DISPLAY -window root shot.png)"
fi
cd build/win-release
exec wine ./sonvel.exe

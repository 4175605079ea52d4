#!/usr/bin/env bash
# Installs everything the builds and the test bed need, from Debian packages.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

PKGS=(
  python3 cmake ninja-build g++ clang-14 libclang-rt-14-dev clang-format googletest libbenchmark-dev
  g++-mingw-w64-x86-64 wine wine64 xvfb pulseaudio pulseaudio-utils
  fonts-wine fonts-vlgothic imagemagick xdotool nsis zip
  lame mpg123 sox libsox-fmt-all ffmpeg
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

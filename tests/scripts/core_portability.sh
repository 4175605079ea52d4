#!/usr/bin/env bash
# The portable core never includes <windows.h>: only app/, ui/, drivers/mme,
# drivers/wasapi, platform/win32 and Windows tests may. (Other Windows headers
# would already break the native build.)
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
cd "$root" || exit 1
hits=$(grep -rlE '^\s*#\s*include\s*[<"]windows\.h[>"]' \
    platform/*.h platform/*.cpp platform/posix settings media effects engine drivers/*.h drivers/*.cpp drivers/test \
    2>/dev/null | grep -v '^drivers/CWinDriverFactory' || true)
if [ -n "$hits" ]; then
    echo "core files that include <windows.h>:"
    echo "$hits"
    exit 1
fi
echo "core is free of <windows.h>"

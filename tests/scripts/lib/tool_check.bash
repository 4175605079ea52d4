# Sourced by the tool scripts (arguments KIND WORKDIR TOOL-COMMAND...): the
# tool as an array, a fresh work folder as the current one, host paths that
# Wine understands, and check lines that remember a failure in $fail.
kind=$1 work=$2
shift 2
tool=("$@")
if [ "$kind" = win ]; then
    command -v winepath >/dev/null || { echo "winepath missing"; exit 77; }
    hostpath() { winepath -w "$1" 2>/dev/null; }
else
    hostpath() { printf '%s' "$1"; }
fi
rm -rf "$work" && mkdir -p "$work" || exit 1
cd "$work" || exit 1
fail=0
check() { # what, condition result
    if [ "$2" -ne 0 ]; then echo "FAIL: $1"; fail=1; else echo "ok: $1"; fi
}

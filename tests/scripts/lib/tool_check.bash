# Sourced by the tool scripts (arguments KIND WORKDIR TOOL-COMMAND...): the
# tool as an array, a fresh work folder as the current one, host paths that
# Wine understands, and the shared check lines.
kind=$1 work=$2
shift 2
tool=("$@")
source "$(dirname "${BASH_SOURCE[0]}")/common.bash"
if [ "$kind" = win ]; then
    command -v winepath >/dev/null || { echo "winepath missing"; exit 77; }
    hostpath() { winepath -w "$1" 2>/dev/null; }
else
    hostpath() { printf '%s' "$1"; }
fi
rm -rf "$work" && mkdir -p "$work" || exit 1
cd "$work" || exit 1
decode() { "${tool[@]}" decode "$(hostpath "$PWD/$1")"; }
# A and B decode to the same samples, and not to nothing.
same_samples() { decode "$1" >"$1.pcm" && decode "$2" >"$2.pcm" && [ -s "$1.pcm" ] && cmp -s "$1.pcm" "$2.pcm"; }
# A chain file's text: chain "$(item NUM TYPE PARAMS [VALUE MIN MAX]...)"...
item() {
    local num=$1 type=$2 params=$3 j
    shift 3
    printf '<EffectItem><Num>%d</Num><Type>%d</Type><Enabled>1</Enabled><Params>%d</Params>' "$num" "$type" "$params"
    for ((j = 0; $# >= 3; j++)); do printf '<ParamValue Num="%d" Min="%d" Max="%d">%d</ParamValue>' "$j" "$2" "$3" "$1"; shift 3; done
    printf '</EffectItem>'
}
chain() { printf '<?xml version="1.0" ?>\r\n<EffectList>%s</EffectList>\r\n' "$*"; }

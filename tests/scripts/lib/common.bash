# Check lines shared by the tool scripts and the acceptance scenarios. A failed
# check is remembered in $fail and the run goes on.
fail=0
check() { # STATUS WHAT (the status first: it is expanded before WHAT's substitutions run)
    if [ "$1" -ne 0 ]; then echo "FAIL: $2"; fail=1; else echo "ok: $2"; fi
}
# awk condition on named numbers: cmp_num "a=1 b=2" 'a < b' (an empty value fails)
cmp_num() { awk "BEGIN { $(sed 's/\([a-z_0-9]*\)=\([^ ]*\)/\1=\2;/g' <<<"$1") exit !($2) }" 2>/dev/null; }
# expect "NAME=VALUE..." CONDITION WHAT: cmp_num checked, the values shown after WHAT.
expect() { cmp_num "$1" "$2"; check $? "$3 ($1)"; }
# The value of the line "NAME: VALUE" in TEXT.
value() { grep "^$1: " <<<"$2" | head -n1 | sed "s/^$1: //" | tr -d '\r'; }
# FILE LINE...: each LINE is a whole line of FILE (carriage returns ignored).
has_lines() {
    local f=$1 l
    shift
    for l; do tr -d '\r' <"$f" | grep -qxF -- "$l" || return 1; done
}
le32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' \r\n'; }
# null_sink NAME DESCRIPTION TOOL-COMMAND...: a PulseAudio null sink of our own
# (its module in $SINK_MODULE), once Wine's device lists ($DEVICES) show its
# monitor. Status 2 when it cannot be loaded, 1 when the lists never show it.
null_sink() {
    local name=$1 desc=$2 _
    shift 2
    SINK_MODULE=$(timeout 5 pactl load-module module-null-sink "sink_name=$name" \
        "sink_properties=device.description=$desc") || return 2
    for _ in $(seq 40); do
        DEVICES=$("$@" devices 2>/dev/null | tr -d '\r')
        grep -qF "Monitor of $desc" <<<"$DEVICES" && return 0
        sleep 0.25
    done
    return 1
}

# Shared steps of the acceptance scenarios: the real sonvel.exe in a folder of
# its own, worked by sonvel-drive (a coprocess speaking its line protocol),
# with sound played into the test bed's "Speakers" sink and read back from
# what the program recorded. Sourced with BUILD (the Windows build folder) and
# WORK (a fresh folder) set.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
[ -n "${WINEPREFIX:-}" ] || source "$ROOT/scripts/testbed.sh" env
TOOL=(timeout -k 5 120 wine "$BUILD/sonvel-tool.exe")
APP="$WORK/app"
REC="$WORK/rec"
source "$ROOT/tests/scripts/lib/common.bash"

winpath() { winepath -w "$1" 2>/dev/null; }
note() { echo "  $*"; }
# Fails the scenario at once (the program or the driver is in no state to go on).
# A signal still playing would sound into whatever records from "Speakers" next.
die() {
    echo "FAIL: $*"
    [ -n "${PLAY_PID:-}" ] && kill "$PLAY_PID" 2>/dev/null
    drv_end
    exit 1
}

# ---------------------------------------------------------------- the driver
drv_begin() {
    [ -n "${DRV_PID:-}" ] && return 0
    coproc DRV { exec timeout -k 5 "${SONVEL_DRIVE_TIMEOUT:-900}" wine "$BUILD/sonvel-drive.exe" serve 2>>"$WORK/drive.err"; }
    DRV_PID=$DRV_PID
}
# One command; its answer's value in $R. Returns non-zero on "err".
drv() {
    local line
    printf '%s\n' "$*" >&"${DRV[1]}" || { R="driver gone"; return 2; }
    IFS= read -r -t 180 line <&"${DRV[0]}" || { R="driver gave no answer"; return 2; }
    line=${line%$'\r'}
    R=${line#ok}; R=${R# }
    [ "${line:0:2}" = ok ] || { R=${line#err }; return 1; }
}
# A command that must succeed.
must() { drv "$@" || die "$* -> $R"; }
drv_end() {
    if [ -n "${DRV_PID:-}" ]; then
        drv kill >/dev/null 2>&1
        exec {DRV[1]}>&- 2>/dev/null
        wait "$DRV_PID" 2>/dev/null
        DRV_PID=
    fi
}
trap drv_end EXIT

# ---------------------------------------------------------------- the program
# app_setup DRIVER [KEY VALUE]...: the program and a settings file in $APP;
# DRIVER mme or wasapi. Recordings go to $REC. Keys given replace the defaults.
app_setup() {
    local driver=$1; shift
    rm -rf "$APP"; mkdir -p "$APP" "$REC"
    cp "$BUILD/sonvel.exe" "$BUILD/xprint64.dll" "$APP/"
    declare -A keys=([language]=0 [driver_type]=$([ "$driver" = mme ] && echo 1 || echo 0)
        [wave_path]="$(winpath "$REC")" [cap_device_name]="Monitor of Speakers" [mon_device_name]=LineOut
        [frequency]=48000 [in_channels]=2 [capture]=0 [latency]=100 [enable_effect]=1 [enable_voice_cancel]=1
        [play_file_mode]=1 [rec_file_channel]=0 [auto_recfile_name]=0 [play_delay]=0)
    while [ $# -ge 2 ]; do keys[$1]=$2; shift 2; done
    # WASAPI knows a device by name and endpoint id together; without the id it takes the default.
    if [ "$driver" = wasapi ]; then
        [ -n "${DEVICES:-}" ] || DEVICES=$("${TOOL[@]}" devices 2>/dev/null | tr -d '\r')
        keys[cap_device_id]=$(device_id capture "${keys[cap_device_name]}")
        keys[mon_device_id]=$(device_id render "${keys[mon_device_name]}")
    fi
    {
        printf '<?xml version="1.0" encoding="UTF-8"?>\n<config>\n'
        for k in "${!keys[@]}"; do printf '<%s>%s</%s>\n' "$k" "${keys[$k]}" "$k"; done
        printf '</config>\n'
    } >"$APP/sonvel.ini"
}
device_id() { # KIND NAME: the WASAPI endpoint id of a device
    local n; n=$(sed -n "s/^wasapi\.$1\.\([0-9]*\): $2\$/\1/p" <<<"$DEVICES" | head -n1)
    sed -n "s/^wasapi\.$1\.$n\.id: //p" <<<"$DEVICES"
}
app_start() { must start "$(winpath "$APP/sonvel.exe")"; APP_WINPID=$R; }
# app_up [KEY VALUE]...: set up for $DRIVER, the driver begun, the program started.
app_up() { app_setup "$DRIVER" "$@"; drv_begin; app_start; }
mic_on() { must press $MIC; must wait-text $CAP_STATUS 5000 Running; }
# rec_start [NAME]: REC (with NAME typed first) until its button is down; rec_stop: STOP until it is up.
rec_start() { [ -z "${1:-}" ] || must settext $REC_NAME "$1"; must press $REC_START; must wait-check $REC_START 1 5000; }
rec_stop() { must press $REC_STOP; must wait-check $REC_START 0 5000; }
# play_through MS: PLAY until the play file has ended, at most MS.
play_through() { must press $PLAY_START; must wait-check $PLAY_START 1 3000; must wait-check $PLAY_START 0 "$1"; }
# The Unix process of the running program (for kill -9 and its memory).
app_unix_pid() {
    local p
    for p in $(pgrep -f 'sonvel\.exe' 2>/dev/null); do
        if tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qF "$(basename "$WORK")"; then
            echo "$p"; return 0
        fi
    done
    return 1
}
app_quit() { must quit 30000; }

# chain_file TYPE:NAME[:V/MIN/MAX[,V/MIN/MAX]...]...: an effect chain file for
# the program, each value with its range (the program drops a value without one).
chain_file() {
    local i=0 j e type name vals v val lo hi params
    {
        printf '<?xml version="1.0" encoding="UTF-8"?>\n<EffectList>'
        for e in "$@"; do
            IFS=: read -r type name vals <<<"$e"
            printf '<EffectItem><Num>%d</Num><Name>%s</Name><Type>%d</Type><Enabled>1</Enabled>' "$i" "$name" "$type"
            j=0 params=""
            for v in ${vals//,/ }; do
                IFS=/ read -r val lo hi <<<"$v"
                params+=$(printf '<ParamValue Num="%d" Min="%s" Max="%s">%s</ParamValue>' "$j" "$lo" "$hi" "$val")
                j=$((j + 1))
            done
            printf '<Params>%d</Params>%s' "$j" "$params"
            printf '</EffectItem>'
            i=$((i + 1))
        done
        printf '</EffectList>\n'
    } >"$APP/sonvel.xml"
}
# Debug lines of the program (through the test xprint64.dll beside it).
app_log() { cat "$APP/xprint64.log" 2>/dev/null | tr -d '\r'; }

# ---------------------------------------------------------------- sound
# A signal file made by sox: sig NAME SOX-SYNTH-ARGS...
sig() { local f="$WORK/$1.wav"; shift; sox -D -n -r 48000 -c 2 -b 16 "$f" "$@" || die "sox $*"; echo "$f"; }
# Plays a file into "Speakers" in the background; its pid in $PLAY_PID.
play_start() { paplay --device=speakers "$1" & PLAY_PID=$!; }
play_wait() { wait "${PLAY_PID:-}" 2>/dev/null; PLAY_PID=; }
now() { date +%s.%N; }
calc() { awk "BEGIN { print $* }"; }
since() { calc "$(now) - $1"; }
# The level figures of a file (sonvel-tool level FILE [args]) in $C.
level() { C=$("${TOOL[@]}" level "$@" 2>/dev/null); }

# ---------------------------------------------------------------- the window
# Ids of res/resource.h used by the scenarios.
MIC=20100 SPK=20101 VCUT=20102 EFX=20103 REC_FOLDER=20130 REC_NAME=20131 REC_STOP=20132 REC_START=20133
REC_PAUSE=20134 REC_TIME=20136 PLAY_NAME=20160 PLAY_STOP=20162 PLAY_START=20163 CAP_DEVICE=20204
CAP_FREQ=20205 CAP_CHANNELS=20206 MON_DEVICE=20208 CAP_STATUS=20212 MENU_DEVICE=6001 MENU_RECORD=6002

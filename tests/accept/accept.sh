#!/usr/bin/env bash
# Acceptance scenarios: the real sonvel.exe worked from outside by sonvel-drive,
# sound played into the test bed's "Speakers" and recorded from "Monitor of
# Speakers". Usage: accept.sh SCENARIO.DRIVER BUILD WORK
#   SCENARIO: record pause effects play device unplug kill folders files
#   DRIVER:   mme or wasapi (the device-free scenarios take either)
# SONVEL_ACCEPT_SECONDS: length of the recorded signal (30 for the full run).
scenario=${1%.*} DRIVER=${1#*.} BUILD=$2 WORK=$3
rm -rf "$WORK" && mkdir -p "$WORK" || exit 1
# shellcheck source=lib.bash
source "$(dirname "$0")/lib.bash"
SECONDS_SIG=${SONVEL_ACCEPT_SECONDS:-4}
command -v sox >/dev/null && command -v paplay >/dev/null || { echo "sox/paplay missing"; exit 77; }

half() { calc "$SECONDS_SIG * ${1:-0.5}"; }

# compare REC SRC [args]: the figures in $C, echoed.
compare() { C=$("${TOOL[@]}" compare "$@" 2>/dev/null); note "$(tr '\n' ' ' <<<"$C")"; }
cv() { value "$1" "$C"; }
# matches TAKE SRC CHANNEL SRC-CHANNEL CONDITION WHAT: CONDITION on the jumps j,
# the correlation c and the gain g (dB) of TAKE's CHANNEL against SRC's.
matches() {
    compare "$1" "$2" --channel "$3" --src-channel "$4"
    expect "j=$(cv jumps) c=$(cv correlation) g=$(cv gain_db)" "$5" "$6"
}

sc_record() {
    local src take="$REC/take.wav" before stamp t t0 take_s
    # A chirp (it shows a lost or repeated block) then a steady tone (its level).
    src=$(sig source synth 1 sine 0 : synth "$(half)" sine 200-6000 vol 0.5 \
        : synth "$(half)" sine 997 vol 0.5 : synth 1 sine 0)
    app_up; mic_on
    # REC, the source played into the speakers, STOP half a second after it.
    must settext $REC_NAME take
    t0=$(now)
    rec_start
    play_start "$src"; play_wait
    sleep 0.5
    take_s=$(since "$t0")
    rec_stop
    must text $REC_NAME; [ "$R" = take.wav ]; check $? "typed name completed (box: $R)"
    for ch in 0 1; do
        matches "$take" "$src" $ch $ch 'c >= 0.95 && g > -1 && g < 1' "ch$ch: same signal, level within 1 dB"
        expect "lead=$(cv lead_frames)" 'lead >= 24000' "ch$ch: half a second of silence leads"
        expect "j=$(cv jumps) u=$(cv unmatched) g=$(cv gaps)" 'j == 0 && u == 0 && g == 0' "ch$ch: no discontinuity"
        expect "a=$(cv src_first_s) b=$(cv src_last_s) s=$SECONDS_SIG" 'a <= 1.1 && b >= s + 0.9' "ch$ch: the whole source is in the take"
    done
    # Never longer than REC to STOP; what was still on its way from the device at
    # STOP (the capture latency, up to about 1.5 s under Wine) is not in it.
    expect "f=$(cv frames) t=$take_s" '(f - 24000) / 48000 - t < 0.3' "take length against REC to STOP"
    # The tone part has no break and is at -6 dBFS (the tone analyser's own view).
    t=$(calc "$(cv lag_first) / 48000 + 1")
    level "$take" --hz 997 --from "$(calc "$t + $SECONDS_SIG / 2 + 0.2")" --to "$(calc "$t + $SECONDS_SIG - 0.2")"
    expect "d=$(cv dropouts) h=$(cv hz_dbfs)" 'd == 0 && h > -7 && h < -5' "tone: no break, -6 dBFS"

    # The same name again: No keeps the file, Yes overwrites it.
    before=$(md5sum <"$take")
    must press $REC_START; must msgbox no 5000
    grep -q 'take.wav" has already existed, overwrite' <<<"$R"; check $? "overwrite question ($R)"
    must wait-check $REC_START 0 3000
    [ "$(md5sum <"$take")" = "$before" ]; check $? "No keeps the old take"
    must press $REC_START; must msgbox yes 5000
    sleep 1; rec_stop
    [ "$(stat -c %s "$take")" -lt $((24000 * 4 + SECONDS_SIG * 192000)) ]; check $? "Yes overwrites it"
    app_quit

    # A name from the date and time, no question.
    app_setup "$DRIVER" auto_recfile_name 1
    rm -f "$REC"/2*.wav
    app_start
    stamp=$(date +%Y%m%d%H%M)
    must press $REC_START; sleep 1.5; rec_stop
    ls "$REC" | grep -qE "^($stamp|$(date +%Y%m%d%H%M))\.wav$"; check $? "date-and-time name ($(ls "$REC" | tr '\n' ' '))"
    app_quit
}

sc_pause() {
    local src pause_s=2 t_pause t_resume
    # One long sweep never repeats, so where each part of the take came from is certain.
    local sweep_s=$((SECONDS_SIG + 6))
    src=$(sig sweep synth 1 sine 0 : synth $sweep_s sine 200-6000 vol 0.5 : synth 1 sine 0)
    app_up; mic_on
    rec_start paused
    play_start "$src"
    # Past the capture latency, so the sweep before the pause is in the take.
    sleep 3.5
    must press $REC_PAUSE; must wait-check $REC_PAUSE 1 3000
    t_pause=$(now)
    must check $REC_START; [ "$R" = 0 ]; check $? "PAUSE releases REC"
    sleep $pause_s
    must press $REC_START; must wait-check $REC_START 1 3000
    t_resume=$(since "$t_pause")
    play_wait; sleep 0.5
    rec_stop
    compare "$REC/paused.wav" "$src"
    # The window across the cut matches neither side.
    expect "j=$(cv jumps) u=$(cv unmatched) g=$(cv gaps)" 'j == 1 && u <= 1 && g == 0' "one cut where the pause was, no other break"
    expect "a=$(cv lag_first) b=$(cv lag_last) p=$t_resume" '(a - b) / 48000 > p - 0.35 && (a - b) / 48000 < p + 0.35' \
        "the cut leaves out the pause"
    expect "a=$(cv src_first_s) b=$(cv src_last_s) s=$sweep_s" 'a <= 1.1 && b >= s + 0.9' "audio before and after the pause is there"
    app_quit
}

sc_effects() {
    local src lo hi t0 t1 t2 t_end span a b h9 cond
    # Spans of at least 3 s: each switch lands where the window was told, and the
    # measured middle keeps clear of it.
    local len=$((SECONDS_SIG + 6))
    lo=$(sig lo synth $len sine 700 vol 0.3)
    hi=$(sig hi synth $len sine 9000 vol 0.3)
    src="$WORK/mix.wav"; sox -m "$lo" "$hi" "$src" || die "sox -m" # each at half: -16.5 dBFS
    app_up; mic_on
    # Wine's shared-mode capture may deliver nothing for a second or two after it
    # starts and then catch up; a switch pressed meanwhile would land early in the
    # take. Let it settle before the take whose switch times are measured.
    sleep 3
    # EFX opens the editor; Add opens the chooser; a low-pass goes into the chain.
    must press $EFX; must wait-check $EFX 1 3000
    must window new; local editor=$R
    must press 20103; must window new
    must choose 20100 "FIR LPF"; must press 1
    must window title "$editor"; must wait-text 20105 3000 "FIR LPF"
    must window main
    rec_start fx
    t0=$(now)
    play_start "$src"
    sleep "$(calc "$len / 3")"; must press $EFX; t1=$(since "$t0")
    sleep "$(calc "$len / 3")"; must press $EFX; t2=$(since "$t0")
    play_wait; t_end=$(since "$t0")
    rec_stop
    # Take time = REC time + the half second lead; each span's middle, away from the switches.
    for span in "0.6 $t1 on" "$t1 $t2 off" "$t2 $t_end on"; do
        set -- $span
        a=$(calc "$1 + 0.5 + 0.6"); b=$(calc "$2 + 0.5 - 0.6")
        level "$REC/fx.wav" --hz 9000 --from "$a" --to "$b"; h9=$(cv hz_dbfs)
        level "$REC/fx.wav" --hz 700 --from "$a" --to "$b"
        cond='h > -20 && l > -20'; [ "$3" = on ] && cond='h < -40 && l > -26'
        expect "h=$h9 l=$(cv hz_dbfs)" "$cond" "effects $3 ${a}-${b}s: 9 kHz and 700 Hz in dBFS"
    done
    app_quit
    grep -q 'FIR LPF' "$APP/sonvel.xml" 2>/dev/null; check $? "the chain is in the chain file after exit"
}

# Plays PLAYFILE through the program during a take named NAME; play_file_mode MODE
# chosen in the recording settings dialog (its line MODE).
play_take() { # NAME PLAYFILE MODE
    must menu $MENU_RECORD; must window new
    must choose 20304 "#$3"; must press 1; must window main
    must settext $PLAY_NAME "$(winpath "$2")"
    rec_start "$1"
    play_through $((SECONDS_SIG * 1000 + 8000))
    sleep 0.3; rec_stop
}
silent() { # FILE CHANNEL WHAT: nothing above -60 dBFS
    level "$1" --channel "$2"; expect "r=$(cv rms_dbfs)" 'r < -60' "$3"
}
sc_play() {
    local play vplay mp3 L R ch
    # Left and right sweep different bands; the voice file has one centre sweep and a side tone.
    L=$(sig l synth "$(half)" sine 200-2000 vol 0.5)
    R=$(sig r synth "$(half)" sine 3000-6000 vol 0.5)
    play="$WORK/play.wav"; sox -M "$L" "$R" -c 2 "$play" remix 1 4 || die "sox -M"
    vplay=$(sig voice synth "$(half)" sine 300-3000 vol 0.4)
    sox -D "$vplay" "$WORK/voice2.wav" synth "$(half)" sine 1500 vol 0.3 remix 1v1,2v1 1v1 2>/dev/null || cp "$vplay" "$WORK/voice2.wav"
    mp3="$WORK/play.mp3"; lame --quiet -b 192 "$play" "$mp3" || die lame
    app_up; mic_on
    local at_3db='j == 0 && c > 0.95 && g > -4 && g < -2' mixed='c > 0.95 && g > -1 && g < 1'
    play_take asis "$play" 1
    for ch in 0 1; do matches "$REC/asis.wav" "$play" $ch $ch "$at_3db" "as is: channel $ch is the play file's at -3 dB"; done
    play_take left "$play" 2
    matches "$REC/left.wav" "$play" 0 mix "$mixed" "on L: the mono mix on the left"
    silent "$REC/left.wav" 1 "on L: the right silent"
    play_take right "$play" 3
    matches "$REC/right.wav" "$play" 1 mix "$mixed" "on R: the mono mix on the right"
    silent "$REC/right.wav" 0 "on R: the left silent"
    play_take off "$play" 0
    for ch in 0 1; do silent "$REC/off.wav" $ch "off: nothing of the play file recorded on channel $ch"; done
    play_take mp3 "$mp3" 1
    matches "$REC/mp3.wav" "$mp3" 0 0 "$at_3db" "MP3 as is: the decoded file at -3 dB"
    must press $VCUT; must wait-check $VCUT 1 2000
    play_take vcut "$WORK/voice2.wav" 1
    level "$REC/vcut.wav" --hz 1500 --from 0.6
    expect "r=$(cv rms_dbfs) h=$(cv hz_dbfs)" 'h > -20 && r - h < 1' "voice cancel: the centre sweep is gone, the side tone stays"
    app_quit
}

sc_device() {
    local other=WASAPI want_type=0 channels spk loop
    [ "$DRIVER" = wasapi ] && other=MME want_type=1
    app_up
    must menu $MENU_DEVICE; must window new
    must choose 20200 "$other"
    sleep 0.5
    must choose 20204 "Monitor of LineOut"
    must choose 20205 "44100 Hz"
    must choose 20206 "#0"; channels=$R
    must press 1; must window main
    must wait-text $CAP_DEVICE 3000 "Monitor of LineOut"; check 0 "the window shows the chosen device"
    must text $CAP_FREQ; [ "$R" = "44100 (Hz)" ]; check $? "and the rate ($R)"
    must text $CAP_CHANNELS; [ -n "$R" ] && [ "${channels#"$R"}" != "$channels" ]; check $? "and the channels ($R for $channels)"
    mic_on; check 0 "capture runs on the new family"
    must press $MIC
    grep -q "<driver_type>$want_type</driver_type>" "$APP/sonvel.ini"; check $? "the settings file keeps $other"
    # A loopback line (WASAPI lists one per output): the window shows it and the
    # monitor and playback controls step aside.
    must menu $MENU_DEVICE; must window new
    must choose 20200 WASAPI; sleep 0.5
    must items 20204; loop=$(tr '|' '\n' <<<"$R" | sed 's/^ *//; s/ *$//' | grep -i 'loopback' | grep -i speakers | head -n1)
    if [ -n "$loop" ]; then
        must choose 20204 "$loop"; must press 1; must window main
        must wait-text $CAP_DEVICE 3000 Speakers
        must enabled $SPK; spk=$R; must enabled $PLAY_START
        [ "$spk" = 0 ] && [ "$R" = 0 ]; check $? "loopback: SPK and PLAY disabled"
    else
        must close; must window main; check 1 "a loopback line in the WASAPI list ($R)"
    fi
    app_quit
}

# A sink of our own for the capture, so unloading it takes nothing from anyone else.
SINK=acc_vanish_$$ SINK_DESC=AccVanish$$ SINK_MODULE=
# A new sink reaches Wine's device lists a moment after PulseAudio has it.
sink_load() { null_sink "$SINK" "$SINK_DESC" "${TOOL[@]}" || die "the new sink is not in the device lists"; }
sink_unload() { [ -n "$SINK_MODULE" ] && timeout 5 pactl unload-module "$SINK_MODULE"; SINK_MODULE=; }

sc_unplug() {
    local tone t0
    tone=$(sig tone synth 12 sine 997 vol 0.5)
    trap 'sink_unload; drv_end' EXIT
    sink_load
    app_up cap_device_name "Monitor of $SINK_DESC"
    mic_on
    rec_start unplug
    paplay --device="$SINK" "$tone" & PLAY_PID=$!
    # Past the five seconds a start is given before a silent device counts as
    # lost, so the check below times the loss alone.
    sleep 5
    t0=$(now)
    sink_unload
    kill "$PLAY_PID" 2>/dev/null; play_wait
    drv wait-text $CAP_STATUS 2000 ERROR; check $? "an error status within 2 s of the unplug ($R after $(since "$t0")s)"
    drv responsive 5000; check $? "the window answers"
    drv check $REC_START; [ "$R" = 0 ] || must press $REC_STOP
    must wait-check $REC_START 0 5000
    level "$REC/unplug.wav" --hz 997; expect "h=$(cv hz_dbfs)" 'h > -14' "the take keeps what was captured"
    sink_load
    # The same running program: MIC again once the device is back.
    must press $MIC; drv wait-text $CAP_STATUS 5000 Running; check $? "MIC works again once the device is back ($R)"
    app_quit
    sink_unload
}

sc_kill() {
    local tone size data
    tone=$(sig tone synth 20 sine 997 vol 0.5)
    app_up; mic_on
    must settext $REC_NAME killed
    play_start "$tone"
    rec_start
    sleep 12.5
    kill -9 "$(app_unix_pid)" || die "no process"
    kill "$PLAY_PID" 2>/dev/null; play_wait
    must wait-exit 10000
    size=$(( $(stat -c %s "$REC/killed.wav") - 56 )); data=$(le32 "$REC/killed.wav" 52)
    expect "d=$data s=$size" 'd <= s && d >= s - 10 * 192000 && d >= 192000' "the header describes all but the last 10 s"
    level "$REC/killed.wav" --from 1; expect "r=$(cv rms_dbfs)" 'r > -7 && r < -5' "what the header describes plays"
}

# Start with a settings file and a chain file that are broken, and a damaged MP3.
sc_files() {
    app_setup "$DRIVER"
    printf '<?xml version="1.0"?>\n<config><language>0</language><driver_type>1<' >"$APP/sonvel.ini"
    printf '<?xml version="1.0"?>\n<EffectList><EffectItem><Num>0</Num><Type>10</Ty' >"$APP/sonvel.xml"
    cp "$APP/sonvel.xml" "$WORK/xml.orig"
    drv_begin
    must start "$(winpath "$APP/sonvel.exe")"
    drv msgbox ok 5000; grep -q 'settings file could not be read in full' <<<"$R" && grep -qF 'sonvel.ini' <<<"$R"
    check $? "a broken settings file: a message naming it ($R)"
    must window main
    grep -q 'Sound Recorder' <<<"$R"; check $? "the main window comes up in the language the broken file still names ($R)"
    must press $EFX; must wait-check $EFX 1 3000
    drv msgbox ok 5000; grep -q 'effect chain file could not be read' <<<"$R" && grep -qF 'sonvel.xml' <<<"$R"
    check $? "a broken chain file: a message naming it ($R)"
    must window new; must window main
    # A file that says it is MP3 and is not.
    { printf '\xff\xfb\x90\x64'; head -c 20000 /dev/urandom; } >"$WORK/damaged.mp3"
    must settext $PLAY_NAME "$(winpath "$WORK/damaged.mp3")"
    must press $PLAY_START
    drv msgbox ok 5000; grep -q 'play file' <<<"$R"; check $? "a damaged MP3: a message ($R)"
    must wait-check $PLAY_START 0 5000
    drv responsive 5000; check $? "the window answers"
    must press $EFX
    app_quit
    # What could be read of the settings carries over into the file written at
    # exit; the chain file that could not be read is kept beside the new one.
    grep -q '<language>0</language>' "$APP/sonvel.ini"; check $? "the readable settings carried over"
    cmp -s "$APP/sonvel.xml.bak" "$WORK/xml.orig"; check $? "the broken chain file is kept as sonvel.xml.bak"
    app_start; app_quit; check $? "the settings file the program wrote loads again"
}

# Record folders: read-only, full (a small tmpfs), and a Japanese name with spaces.
sc_folders() {
    local mnt="$WORK/mnt" tone
    mkdir -p "$mnt"
    if ! mount -t tmpfs -o size=400k tmpfs "$mnt" 2>/dev/null; then
        note "no tmpfs mount here: read-only and full folders left out"
    else
        trap 'umount "$mnt" 2>/dev/null; drv_end' EXIT
        mount -o remount,ro "$mnt"
        REC="$mnt" app_up
        must settext $REC_NAME ro
        must press $REC_START
        drv msgbox ok 8000; check $? "a read-only folder: a message ($R)"
        must wait-check $REC_START 0 3000
        app_quit
        mount -o remount,rw "$mnt"
        tone=$(sig tone synth 6 sine 997 vol 0.5)
        REC="$mnt" app_up; mic_on
        play_start "$tone"
        rec_start full
        drv msgbox ok 8000; check $? "a full disk: a message ($R)"
        play_wait
        must wait-check $REC_START 0 3000
        level "$mnt/full.wav" --hz 997 --from 0.6; expect "h=$(cv hz_dbfs)" 'h > -12' "the full take plays up to the full disk"
        app_quit
        umount "$mnt"
    fi
    # A folder and a play file with Japanese characters and spaces, set in the dialog.
    local jfolder="$WORK/録音 フォルダ" jplay="$WORK/再生 ファイル/音 声.wav"
    mkdir -p "$jfolder" "$(dirname "$jplay")"
    sox -D -n -r 48000 -c 2 -b 16 "$jplay" synth 2 sine 440 vol 0.5
    app_up
    must menu $MENU_RECORD; must window new
    must settext 20301 "$(winpath "$jfolder")"
    must press 1; must window main
    must text $REC_FOLDER; [ "$R" = "$(winpath "$jfolder")" ]; check $? "the folder box shows the Japanese folder"
    must settext $PLAY_NAME "$(winpath "$jplay")"
    rec_start "テイク 1"
    play_through 8000
    rec_stop
    level "$jfolder/テイク 1.wav" --hz 440 --from 0.6
    expect "h=$(cv hz_dbfs)" 'h > -20' "recorded into it, with the Japanese play file mixed"
    app_quit
}

declare -F "sc_$scenario" >/dev/null || { echo "unknown scenario $scenario"; exit 2; }
"sc_$scenario"
drv_end
[ "$fail" = 0 ] && echo OK
exit "$fail"

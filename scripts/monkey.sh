#!/usr/bin/env bash
# Monkey: ACTIONS (default 1000) random user actions on the real program with a
# fixed SEED (default 1): buttons, boxes, sliders, menus, dialogs opened and
# closed or cancelled, the effect editor, drops, message boxes answered. Fails
# on a crash, a hang (the window does not answer within 5 s) or a settings
# file that does not load afterwards. Prints the figures docs/acceptance.md records.
#   scripts/monkey.sh [SEED] [ACTIONS] [mme|wasapi]   (needs build/win)
set -u
cd "$(dirname "$0")/.."
SEED=${1:-1} ACTIONS=${2:-1000} DRIVER=${3:-mme}
BUILD=$(pwd)/build/win WORK=$(pwd)/build/win/monkey
rm -rf "$WORK" && mkdir -p "$WORK"
source scripts/testbed.sh start >/dev/null 2>&1 || { echo "test bed did not start"; exit 1; }
source tests/accept/lib.bash
RANDOM=$SEED
pick() { local a=("$@"); echo "${a[RANDOM % ${#a[@]}]}"; }

files=("$(sig m-wav synth 3 sine 440 vol 0.3)" "$WORK/missing.wav" "$WORK/damaged.mp3" "$WORK/m.mp3")
{ printf '\xff\xfb\x90\x64'; head -c 8000 /dev/urandom; } >"$WORK/damaged.mp3"
lame --quiet "${files[0]}" "$WORK/m.mp3"
app_setup "$DRIVER"
drv_begin; app_start
start=$(now) done=0 refused=0 boxes=0 dialogs=0
declare -A count

# A dialog opened by a menu entry: a few choices in it, then OK or Cancel.
dialog() { # MENU-ID CHOICES...
    drv menu "$1" && drv window new 1500 || { drv window main; return 1; }
    dialogs=$((dialogs + 1))
    shift
    local c; for c in "$@"; do drv choose "$c" "#$((RANDOM % 3))"; done
    drv press "$(pick 1 2)"
    drv window main
}
editor() {
    drv check $EFX; [ "$R" = 1 ] || { drv press $EFX; sleep 0.2; }
    drv window new 1000 || drv window title ffect || { drv window main; return 1; }
    case $((RANDOM % 5)) in
        0) drv press 20103 && drv window new 3000 && { drv choose 20100 "#$((RANDOM % 21))"; drv press "$(pick 1 2)"; } ;;
        1) drv press 20104 ;;
        2) drv press 20106 ;;
        3) drv press "$(pick 20101 20102)" ;;
        4) drv choose 20100 "#$((RANDOM % 3))" ;;
    esac
    drv window main
}

for ((i = 1; i <= ACTIONS; i++)); do
    t_action=$(now)
    action=$(pick press press press press text text slider menu-device menu-record about language editor drop)
    count[$action]=$(( ${count[$action]:-0} + 1 ))
    case $action in
        press) drv press "$(pick $MIC $SPK $VCUT $EFX $REC_START $REC_STOP $REC_PAUSE $PLAY_START $PLAY_STOP 20164)" ;;
        text)
            case $((RANDOM % 3)) in
                0) drv settext $REC_NAME "$(pick take take1.wav 'テイク 2' '' '.wav' 'a/b')" ;;
                1) drv settext $PLAY_NAME "$(winpath "$(pick "${files[@]}")")" ;;
                2) drv settext 20172 "$(pick 0 1 -3 2a ' 2')" ;;
            esac ;;
        slider) drv slider "$(pick 20171 20167)" $((RANDOM % 17)) ;;
        menu-device) dialog $MENU_DEVICE 20200 20204 20205 20206 20208 ;;
        menu-record) dialog $MENU_RECORD 20303 20304 ;;
        about) dialog 5014 ;;
        language) drv menu 5017 && drv window new 3000 && drv press 2; drv window main ;;
        editor) editor ;;
        drop) drv drop "$(winpath "$(pick "${files[@]}")")" ;;
    esac
    [ $? -eq 2 ] && die "the driver is gone after action $i ($action)"
    # Whatever a message box asks, answer it as a user would, at random.
    while drv msgbox "$(pick yes no ok)" 100 || drv msgbox ok 10; do boxes=$((boxes + 1)); done
    # A dialog still up (the language chooser at the first start, say) keeps the
    # window disabled: close it, as a user would before going on.
    drv windows
    if [[ $R =~ MAIN\ WINDOW\ \"[^\"]*\"\ disabled ]]; then drv dismiss; dialogs=$((dialogs + 1)); fi
    drv window main
    echo "$i $action $(since "$t_action")" >>"$WORK/actions.log"
    done=$i
    if ((i % 25 == 0)); then
        drv alive; [ "$R" = 1 ] || die "the program ended (crash) by action $i"
        drv responsive 5000 || die "the window hung by action $i ($action)"
    fi
done
elapsed=$(since "$start")
# Close what is still open, then the window; a running take asks first.
drv windows; before_close=$R
drv dismiss; left_open=$R
drv windows; after_dismiss=$R
drv quit 5000; outcome=$?
if [ "$outcome" != 0 ]; then
    drv msgbox yes 2000; note "on close: $R"
    drv wait-exit 30000; outcome=$?
fi
# Where the shut-down got to: the program traces each step after its window closes.
[ "$outcome" = 0 ] || {
    echo "windows before the close: $before_close"
    echo "windows after dismissing: $after_dismiss"
    drv windows; echo "windows while the process stayed: $R"
    echo "last lines before the process stayed:"; app_log | tail -n 8
}
# The settings file it left must load: the program starts on it again.
drv start "$(winpath "$APP/sonvel.exe")"; reload=$?
drv quit 30000
echo "seed: $SEED driver: $DRIVER"
echo "actions: $done in ${elapsed}s ($(for k in "${!count[@]}"; do printf '%s %s, ' "$k" "${count[$k]}"; done))"
echo "message_boxes_answered: $boxes dialogs: $dialogs windows_left_open_at_end: $left_open"
echo "ended_on_close: $([ "$outcome" = 0 ] && echo yes || echo no) settings_reload: $([ "$reload" = 0 ] && echo yes || echo no)"
[ "$done" = "$ACTIONS" ] && [ "$outcome" = 0 ] && [ "$reload" = 0 ]

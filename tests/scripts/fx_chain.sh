#!/bin/bash
# sonvel-tool fx: a WAV file through a chain file at the file's own rate and
# channel count. A DELAY chain must equal sox's delay sample for sample (at
# 44100 Hz, so a fixed-rate chain would be caught), an empty chain must pass the
# samples unchanged, the right channel must stay silent when only the left one
# carries sound, and bad arguments give status 1.
# Usage: fx_chain.sh KIND WORKDIR TOOL-COMMAND...
set -u

command -v sox >/dev/null || { echo "sox missing"; exit 77; }
source "$(dirname "$0")/lib/tool_check.bash"
fx() { "${tool[@]}" fx --chain "$(hostpath "$PWD/$1")" "$(hostpath "$PWD/$2")" "$(hostpath "$PWD/$3")"; }

sox -D -n -r 44100 -c 2 -b 16 in44.wav synth 0.5 sine 440 sine 660 gain -3 || exit 1
sox -D -n -r 8000 -c 1 -b 16 in8.wav synth 0.3 sine 300 || exit 1
sox -D -n -r 48000 -c 2 -b 16 left.wav synth 0.5 sine 440 sine 440 remix 1 0 gain -3 || exit 1
sox -D -n -r 48000 -c 1 -b 24 in24.wav synth 0.1 sine 440 || exit 1

# DELAY 1 = 20 ms = 882 frames at 44100 Hz.
chain "$(item 0 4 1 1 0 100)" > delay.xml
fx delay.xml in44.wav delay.wav > delay.out; check $? "delay chain runs"
sox -D in44.wav ref.wav delay 0.02 0.02 trim 0 22050s
same_samples delay.wav ref.wav; check $? "delay at 44100 equals sox's 0.02 s delay"
has_lines delay.out "frames: 22050" "rate: 44100"; check $? "the report names frames and rate"
"${tool[@]}" info "$(hostpath "$PWD/delay.wav")" > delay.info
has_lines delay.info "channels: 2" "rate: 44100" "bits: 16"; check $? "output keeps the input format"

chain "" > empty.xml
fx empty.xml in8.wav same.wav > /dev/null
same_samples in8.wav same.wav; check $? "an empty chain passes a mono 8000 Hz file unchanged"

# ECHO, REVERB, CHORUS, DELAY ECHO, FIR LPF on a left-only signal.
chain "$(item 0 6 0)$(item 1 16 3 10 0 1000 0 0 100 90 0 100)$(item 2 1 3 50 0 100 50 0 100 50 0 100)$(item 3 3 3 7 0 100 3 1 10 50 0 100)$(item 4 10 1 3000 0 24000)" > mix.xml
fx mix.xml left.wav mix.wav > /dev/null; check $? "a five-effect chain runs"
right=$(sox mix.wav -n remix 2 stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
left=$(sox mix.wav -n remix 1 stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
[ "$right" = "0.000000" ] && [ "$left" != "0.000000" ]; check $? "the right channel stays silent (left $left, right $right)"

fx missing.xml in44.wav x.wav > /dev/null 2> missing.err; check $(( $? != 1 )) "a missing chain file: status 1"
fx delay.xml in24.wav x.wav > /dev/null 2> bits.err
check $(( $? != 1 || $(wc -l < bits.err) != 1 )) "a 24-bit input: status 1 with one line"
"${tool[@]}" fx delay.xml in44.wav > /dev/null 2>&1; check $(( $? != 1 )) "missing --chain: status 1"
printf '\x00\x01garbage' > bad.xml
fx bad.xml in8.wav bad.wav > /dev/null
same_samples in8.wav bad.wav; check $? "an unreadable chain file gives an empty chain"

exit $fail

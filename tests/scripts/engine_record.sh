#!/usr/bin/env bash
# sonvel-tool record: the whole engine path over the test driver pair.
# Usage: engine_record.sh KIND WORKDIR TOOL-COMMAND...
set -u
source "$(dirname "$0")/lib/tool_check.bash"
record() { "${tool[@]}" record "$@"; }
refused() { ! record "$@" 2>/dev/null; }

# A one-second tone: every frame captured is recorded, after the 0.5 s lead.
out=$(record --out tone.wav --tone 440 --seconds 1); check $? "record --tone"
expect "c=$(value captured_frames "$out") r=$(value recorded_frames "$out") d=$(le32 tone.wav 52) riff=$(le32 tone.wav 4)" \
    'c == 48000 && r == 48000 && d == (24000 + 48000) * 4 && riff == d + 48' "tone: frames captured and recorded, data and RIFF sizes"

# Channels 4 (right only) at 22050 Hz with boost and float capture.
out=$(record --out right.wav --tone 1000 --seconds 0.5 --rate 22050 --channels 4 --boost 2 --float)
check $? "record --channels 4"
expect "r=$(value recorded_frames "$out") rate=$(value rate "$("${tool[@]}" info right.wav)")" 'r == 11025 && rate == 22050' \
    "right only at 22050 Hz: frames and rate"

if command -v sox >/dev/null; then
  sox -n -r 48000 -c 1 -b 16 in.wav synth 1 sine 300 vol 0.3 || exit 1
  # A play file at another rate is refused with a message.
  sox -n -r 44100 -c 2 -b 16 play441.wav synth 0.2 sine 1000 || exit 1
  ! record --out no.wav --tone 440 --seconds 0.2 --play play441.wav 2>err.txt && grep -q "differs" err.txt
  check $? "a play file at another rate is refused: $(cat err.txt)"

  # An effect chain file: the recording after the lead equals the chain run
  # over the same input by "fx".
  chain "$(item 0 4 1 50 0 100)" > chain.xml # DELAY 50
  record --out chained.wav --input in.wav --rec-file-channel 0 --chain chain.xml >/dev/null; check $? "record --chain"
  "${tool[@]}" fx --chain chain.xml in.wav fx.wav >/dev/null; check $? "fx"
  "${tool[@]}" decode chained.wav | tail -c +$(( 24000 * 2 + 1 )) > chained.raw
  "${tool[@]}" decode fx.wav > fx.raw
  cmp -s chained.raw fx.raw; check $? "chain output equals fx"
  refused --out x.wav --tone 440 --seconds 0.1 --chain missing.xml; check $? "a missing chain file is refused"
fi

# An MP3 play file (mono, 0.5 s) plays at its own speed into the recording.
if command -v lame >/dev/null && command -v sox >/dev/null; then
  sox -n -r 48000 -c 1 -b 16 beep.wav synth 0.5 sine 1000 vol 0.5 && lame --quiet -m m -b 64 beep.wav beep.mp3 || exit 1
  record --out mp3mix.wav --tone 1 --seconds 1.5 --play beep.mp3 >/dev/null; check $? "record --play mp3"
  # The tone of 1 Hz is near silence at the start; the beep fills about the first half second after the lead.
  peak() { sox mp3mix.wav -n trim "$1" "$2" stat 2>&1 | awk '/Maximum amplitude/ {print $3}'; }
  expect "loud=$(peak 0.5 0.4) quiet=$(peak 1.2 0.2)" 'loud > 0.3 && quiet < 0.1' "mp3 mix"
fi

# Bad input: clear failures, no output file.
refused --out x.wav; check $? "no source is refused"
refused --out x.wav --tone 440 --channels 5; check $? "channels 5 are refused"
refused --out x.wav --input missing.wav; check $? "a missing input is refused"
[ ! -e x.wav ]; check $? "no x.wav created"
refused --out no/such/dir/x.wav --tone 440 --seconds 0.1; check $? "a missing folder is refused"

exit $fail

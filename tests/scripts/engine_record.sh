#!/usr/bin/env bash
# sonvel-tool record: the whole engine path over the test driver pair.
# Usage: engine_record.sh KIND WORKDIR TOOL-COMMAND...
set -u
work=$2; shift 2
tool=("$@")
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

value() { grep "^$1: " <<<"$2" | sed "s/^$1: //" | tr -d '\r'; }
le32() { od -An -tu4 -j"$2" -N4 "$1" | tr -d ' \r\n'; }

# A one-second tone: every frame captured is recorded, after the 0.5 s lead.
out=$("${tool[@]}" record --out tone.wav --tone 440 --seconds 1) || fail "record --tone: $out"
[ "$(value captured_frames "$out")" = 48000 ] || fail "captured: $out"
[ "$(value recorded_frames "$out")" = 48000 ] || fail "recorded: $out"
[ "$(le32 tone.wav 52)" = $(( (24000 + 48000) * 4 )) ] || fail "data size $(le32 tone.wav 52)"
[ "$(le32 tone.wav 4)" = $(( 48 + (24000 + 48000) * 4 )) ] || fail "riff size"

# Channels 4 (right only) at 22050 Hz with boost and float capture.
out=$("${tool[@]}" record --out right.wav --tone 1000 --seconds 0.5 --rate 22050 --channels 4 --boost 2 --float) \
  || fail "record --channels 4: $out"
[ "$(value recorded_frames "$out")" = 11025 ] || fail "right: $out"
info=$("${tool[@]}" info right.wav) || fail "info right.wav"
[ "$(value rate "$info")" = 22050 ] || fail "rate: $info"

if command -v sox >/dev/null; then
  sox -n -r 48000 -c 1 -b 16 in.wav synth 1 sine 300 vol 0.3 || fail sox
  # A play file at another rate is refused with a message.
  sox -n -r 44100 -c 2 -b 16 play441.wav synth 0.2 sine 1000 || fail sox
  if "${tool[@]}" record --out no.wav --tone 440 --seconds 0.2 --play play441.wav 2>err.txt; then fail "rate mismatch accepted"; fi
  grep -q "differs" err.txt || fail "no message: $(cat err.txt)"

  # An effect chain file: the recording after the lead equals the chain run
  # over the same input by "fx".
  cat > chain.xml <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<EffectList><EffectItem><Num>0</Num><Name>DELAY</Name><Type>4</Type><Enabled>1</Enabled><Params>1</Params><ParamValue Num="0" Min="0" Max="100">50</ParamValue></EffectItem></EffectList>
XML
  out=$("${tool[@]}" record --out chained.wav --input in.wav --rec-file-channel 0 --chain chain.xml) || fail "record --chain: $out"
  "${tool[@]}" fx --chain chain.xml in.wav fx.wav >/dev/null || fail "fx"
  "${tool[@]}" decode chained.wav | tail -c +$(( 24000 * 2 + 1 )) > chained.raw
  "${tool[@]}" decode fx.wav > fx.raw
  cmp -s chained.raw fx.raw || fail "chain output differs from fx"
  if "${tool[@]}" record --out x.wav --tone 440 --seconds 0.1 --chain missing.xml 2>/dev/null; then fail "missing chain accepted"; fi
fi

# An MP3 play file (mono, 0.5 s) plays at its own speed into the recording.
if command -v lame >/dev/null && command -v sox >/dev/null; then
  sox -n -r 48000 -c 1 -b 16 beep.wav synth 0.5 sine 1000 vol 0.5 || fail sox
  lame --quiet -m m -b 64 beep.wav beep.mp3 || fail lame
  out=$("${tool[@]}" record --out mp3mix.wav --tone 1 --seconds 1.5 --play beep.mp3) || fail "record --play mp3: $out"
  # The tone of 1 Hz is near silence at the start; the beep fills about the first half second after the lead.
  loud=$(sox mp3mix.wav -n trim 0.5 0.4 stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
  quiet=$(sox mp3mix.wav -n trim 1.2 0.2 stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
  awk -v l="$loud" -v q="$quiet" 'BEGIN { exit !(l > 0.3 && q < 0.1) }' || fail "mp3 mix: loud $loud quiet $quiet"
fi

# Bad input: clear failures, no output file.
if "${tool[@]}" record --out x.wav 2>/dev/null; then fail "no source accepted"; fi
if "${tool[@]}" record --out x.wav --tone 440 --channels 5 2>/dev/null; then fail "channels 5 accepted"; fi
if "${tool[@]}" record --out x.wav --input missing.wav 2>/dev/null; then fail "missing input accepted"; fi
[ ! -e x.wav ] || fail "x.wav created"
if "${tool[@]}" record --out no/such/dir/x.wav --tone 440 --seconds 0.1 2>err.txt; then fail "bad folder accepted"; fi

echo OK

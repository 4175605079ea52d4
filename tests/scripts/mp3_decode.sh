#!/bin/bash
# sonvel-tool info/decode on MP3 files that lame writes: the tool reports the
# MP3's rate, channels and frame count, and decode writes 16-bit PCM of every
# audio frame: as many sample frames as the reference decoder gives, less
# the encoder's Info frame, which is not played.
# Usage: mp3_decode.sh KIND WORKDIR TOOL-COMMAND...
set -u

command -v lame >/dev/null && command -v mpg123 >/dev/null && command -v sox >/dev/null ||
    { echo "lame, mpg123 or sox missing"; exit 77; }
source "$(dirname "$0")/lib/tool_check.bash"

sox -n -r 44100 -c 2 st.wav synth 1.5 sine 440 sine 660 gain -6 || exit 1
sox -n -r 22050 -c 1 mono.wav synth 1.5 sine 300 gain -6 || exit 1
lame --quiet -b 128 -m j st.wav joint.mp3 || exit 1
lame --quiet -V 2 --add-id3v2 --tt Title st.wav vbr.mp3 || exit 1
lame --quiet -b 32 mono.wav lsf.mp3 || exit 1

# name rate channels
while read -r name rate channels; do
    f=$name.mp3
    "${tool[@]}" info "$(hostpath "$PWD/$f")" | tr -d '\r' > "$name.info"
    grep -qx "kind: mp3" "$name.info" && grep -qx "rate: $rate" "$name.info" &&
        grep -qx "channels: $channels" "$name.info" && grep -qx "bits: 16" "$name.info"
    check "$f info: mp3, $rate Hz, $channels channels" $?

    "${tool[@]}" decode "$(hostpath "$PWD/$f")" > "$name.pcm" 2> "$name.err"
    rc=$?
    mpg123 -q --no-gapless --stereo -e s16 -s "$f" > "$name.ref" 2>/dev/null
    ours=$(( $(stat -c %s "$name.pcm") / (2 * channels) ))
    ref=$(( $(stat -c %s "$name.ref") / 4 ))
    frames=$(sed -n 's/^frames: //p' "$name.info")
    # mpg123 leaves the Info frame out by default too.
    check "$f decodes every frame (status $rc, $ours vs $ref sample frames, info $frames)" \
        $(( rc != 0 || ours != ref || ours != frames ))
done <<'LIST'
joint 44100 2
vbr 44100 2
lsf 22050 1
LIST

printf 'not an mp3 file at all\n' > junk.mp3
"${tool[@]}" decode "$(hostpath "$PWD/junk.mp3")" > junk.out 2> junk.err
rc=$?
check "junk is refused with status 1 and one error line" $(( rc != 1 || $(wc -l < junk.err) != 1 ))
exit $fail

#!/bin/bash
# sonvel-tool info/decode on WAV files that sox and ffmpeg write: the decoded
# bytes must equal ffmpeg's own reading of the samples, and a file that is no
# play file gives exit status 1 and one line on standard error.
# Usage: wav_decode.sh KIND WORKDIR TOOL-COMMAND...
set -u

command -v sox >/dev/null && command -v ffmpeg >/dev/null || { echo "sox or ffmpeg missing"; exit 77; }
source "$(dirname "$0")/lib/tool_check.bash"

sine="ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=f=440:r=8000:d=0.2"
make_cases() {
    sox -n -r 8000 -c 1 -b 8 -e unsigned u8.wav synth 0.2 sine 440
    sox -n -r 44100 -c 2 -b 16 s16.wav synth 0.3 sine 440
    sox -n -r 48000 -c 2 -b 24 s24.wav synth 0.2 sine 440
    $sine -c:a pcm_f32le -ac 2 f32.wav
    $sine -c:a pcm_s16le -write_bext 1 -metadata title=Take bext.wav
    $sine -c:a pcm_s16le -write_peak on trailing.wav
    $sine -c:a pcm_s16le -f wav - > pipe.wav
    sox -n -r 8000 -c 2 -b 32 -e signed s32.wav synth 0.1 sine 440
    sox -n -r 8000 -c 1 -b 8 -e unsigned odd.wav synth 0.100125 sine 440
    sox -V1 -n -r 8000 -c 1 -b 16 -t wav - synth 0.1 sine 440 | cat > soxpipe.wav
    $sine -c:a pcm_s16le -metadata title=Helo -metadata artist=abcde tags.wav
    $sine -c:a pcm_f64le f64.wav
    $sine -c:a pcm_s16le -rf64 auto junk.wav
}
make_cases || { echo "could not make the test files"; exit 1; }

declare -A frames=([u8]=1600 [s16]=13230 [s24]=9600 [f32]=1600 [bext]=1600 [trailing]=1600 [pipe]=1600
                   [s32]=800 [odd]=801 [soxpipe]=800 [tags]=1600 [f64]=1600 [junk]=1600)
for name in "${!frames[@]}"; do
    ffmpeg -nostdin -loglevel error -y -i "$name.wav" -map 0:a -c:a copy -f data "$name.ref"
    decode "$name.wav" > "$name.out" 2> "$name.err"; rc=$?
    cmp -s "$name.ref" "$name.out"; check $(( rc != 0 || $? != 0 )) "$name.wav decodes to ffmpeg's samples (status $rc)"
    "${tool[@]}" info "$(hostpath "$PWD/$name.wav")" > "$name.info"
    has_lines "$name.info" "kind: wav" "frames: ${frames[$name]}"; check $? "$name.wav info: wav, ${frames[$name]} frames"
done

printf 'not a sound file at all\n' > text.wav
decode text.wav > text.out 2> text.err
check $(( $? != 1 || $(wc -l < text.err) != 1 || $(wc -c < text.out) != 0 )) "a text file: status 1, one error line, nothing decoded"
decode missing.wav > /dev/null 2> missing.err; check $(( $? != 1 )) "a missing file: status 1"

exit $fail

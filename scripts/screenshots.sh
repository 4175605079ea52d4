#!/usr/bin/env bash
# Screenshots of the running program under Wine, for the README and the guide:
# the main window and every dialog in Japanese and English, and the language
# chooser of a first start. Writes docs/screenshots/{ja,en}-*.png.
#   bash scripts/screenshots.sh [BUILD_DIR]   (default build/win, built if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${1:-build/win}
OUT=$ROOT/docs/screenshots

if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S . -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DSONVEL_BENCH=OFF >/dev/null
fi
ninja -C "$BUILD" sonvel sonvel-drive >/dev/null
# shellcheck source=testbed.sh
source scripts/testbed.sh start

work=$(mktemp -d)
trap 'kill "${tone_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$BUILD/sonvel.exe" "$work/"
[ -d "$BUILD/help" ] && cp -r "$BUILD/help" "$work/"
exe=$(winepath -w "$work/sonvel.exe")
drive=$(winepath -w "$ROOT/$BUILD/sonvel-drive.exe")
mkdir -p "$OUT"

# A quiet tone into the speakers, so the meter shows a level while capturing.
sox -q -n -r 48000 -c 2 -b 16 "$work/tone.wav" synth 120 sine 440 vol 0.3
paplay --device=speakers "$work/tone.wav" &
tone_pid=$!

for lang in ja en; do
    n=$([ "$lang" = ja ] && echo 1 || echo 0)
    rm -f "$work/sonvel.ini" "$work/sonvel.xml"
    cat >"$work/sonvel.ini" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<config>
<language>$n</language>
<capture>1</capture>
<wave_path>C:\\users\\Public\\Music</wave_path>
<enable_effect>1</enable_effect>
<enable_voice_cancel>1</enable_voice_cancel>
</config>
XML
    # A small chain, so the effect editor shows its list and sliders.
    printf '<?xml version="1.0" ?>\r\n<EffectList>%s%s</EffectList>\r\n' \
        '<EffectItem><Num>0</Num><Name>COMPRESSOR</Name><Type>2</Type><Enabled>1</Enabled><Params>3</Params><ParamValue Num="0" Min="0" Max="100">40</ParamValue><ParamValue Num="1" Min="0" Max="100">60</ParamValue><ParamValue Num="2" Min="0" Max="100">55</ParamValue></EffectItem>' \
        '<EffectItem><Num>1</Num><Name>DELAY ECHO</Name><Type>3</Type><Enabled>0</Enabled><Params>2</Params><ParamValue Num="0" Min="0" Max="100">30</ParamValue><ParamValue Num="1" Min="1" Max="10">3</ParamValue></EffectItem>' \
        >"$work/sonvel.xml"
    (cd "$work" && timeout -k 5 180 wine "$drive" shots "$exe" "$(winepath -w "$work")\\$lang")
    for bmp in "$work/$lang"-*.bmp; do
        convert "$bmp" "$OUT/$(basename "${bmp%.bmp}").png"
    done
done

# A first start: no settings file anywhere the program looks.
rm -f "$work/sonvel.ini"
user_copy="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Vexalabs/sonvel/sonvel.ini"
[ -f "$user_copy" ] && mv "$user_copy" "$work/user-copy.ini"
(cd "$work" && LANG=ja_JP.UTF-8 timeout -k 5 120 wine "$drive" chooser "$exe" "$(winepath -w "$work")\\first") || true
[ -f "$work/user-copy.ini" ] && mv "$work/user-copy.ini" "$user_copy"
[ -f "$work/first-chooser.bmp" ] && convert "$work/first-chooser.bmp" "$OUT/first-start-chooser.png"
ls -1 "$OUT"

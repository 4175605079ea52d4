#!/usr/bin/env bash
# The test bed: Xvfb, PulseAudio with two null sinks ("Speakers", "LineOut") and
# a Wine prefix with a persistent wineserver, so the Windows build runs for real.
#
#   source scripts/testbed.sh start   # starts what is not running, exports the environment
#   source scripts/testbed.sh env     # only exports the environment
#   bash scripts/testbed.sh stop      # stops what this script started
#
# Idempotent: a second start reuses what is running. Daemons never inherit the
# caller's stdout, so a CI pipe closes when the caller is done.

TB_DIR="${SONVEL_TESTBED_DIR:-/tmp/sonvel-testbed}"
TB_DISPLAY_NUM="${SONVEL_DISPLAY_NUM:-77}"

tb_env() {
    mkdir -p "$TB_DIR/runtime"
    chmod 700 "$TB_DIR/runtime"
    export DISPLAY=":$TB_DISPLAY_NUM"
    export XDG_RUNTIME_DIR="$TB_DIR/runtime"
    export PULSE_SERVER="unix:$TB_DIR/runtime/pulse/native"
    export WINEPREFIX="$TB_DIR/wineprefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
}

tb_log() { echo "[testbed] $*" >&2; }

tb_alive() { [ -f "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

tb_start_xvfb() {
    if tb_alive "$TB_DIR/xvfb.pid"; then return 0; fi
    rm -f "/tmp/.X${TB_DISPLAY_NUM}-lock" "/tmp/.X11-unix/X${TB_DISPLAY_NUM}"
    Xvfb ":$TB_DISPLAY_NUM" -screen 0 1280x1024x24 -nolisten tcp -noreset </dev/null >"$TB_DIR/xvfb.log" 2>&1 &
    echo $! >"$TB_DIR/xvfb.pid"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X${TB_DISPLAY_NUM}" ] && return 0
        sleep 0.1
    done
    tb_log "Xvfb did not start"; return 1
}

tb_start_pulse() {
    if timeout 5 pactl info >/dev/null 2>&1; then return 0; fi
    timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 -n --system=no \
        --load=module-native-protocol-unix \
        --load="module-null-sink sink_name=speakers sink_properties=device.description=Speakers" \
        --load="module-null-sink sink_name=lineout sink_properties=device.description=LineOut" \
        </dev/null >"$TB_DIR/pulse.log" 2>&1
    for _ in $(seq 50); do
        if timeout 5 pactl info >/dev/null 2>&1; then
            pgrep -n -x pulseaudio >"$TB_DIR/pulse.pid" 2>/dev/null || true
            timeout 5 pactl set-default-sink speakers >/dev/null 2>&1 || true
            timeout 5 pactl set-default-source speakers.monitor >/dev/null 2>&1 || true
            return 0
        fi
        sleep 0.1
    done
    tb_log "PulseAudio did not start (see $TB_DIR/pulse.log)"; return 1
}

tb_make_prefix() {
    if [ -f "$WINEPREFIX/.sonvel-ready" ]; then return 0; fi
    rm -rf "$WINEPREFIX"
    tb_log "creating Wine prefix"
    timeout 180 wineboot -i </dev/null >"$TB_DIR/wineboot.log" 2>&1 || { tb_log "wineboot failed"; return 1; }
    local reg="$TB_DIR/testbed.reg"
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n"Managed"="N"\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        printf '"MS UI Gothic"="VL PGothic"\r\n"ＭＳ Ｐゴシック"="VL PGothic"\r\n"ＭＳ ゴシック"="VL PGothic"\r\n'
        printf '"MS PGothic"="VL PGothic"\r\n"MS Gothic"="VL PGothic"\r\n\r\n'
    } | iconv -f UTF-8 -t UTF-16 >"$reg"
    timeout 60 wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" </dev/null >>"$TB_DIR/wineboot.log" 2>&1 || true
    # The first window in a new prefix waits for font caches and the desktop
    # to be built; pay for that here, not inside a test's time limit.
    printf '%s\n' '#include <windows.h>' \
        'int main(void){HWND w=CreateWindowW(L"STATIC",L"warm-up",WS_OVERLAPPEDWINDOW|WS_VISIBLE,0,0,200,100,0,0,0,0);' \
        'MSG m;DWORD t=GetTickCount();while(GetTickCount()-t<500){while(PeekMessageW(&m,0,0,0,PM_REMOVE))DispatchMessageW(&m);Sleep(10);}' \
        'DestroyWindow(w);return 0;}' >"$TB_DIR/warmup.c"
    x86_64-w64-mingw32-gcc -O1 -o "$TB_DIR/warmup.exe" "$TB_DIR/warmup.c" -mwindows || return 1
    tb_start_xvfb || return 1
    timeout 180 wine "$TB_DIR/warmup.exe" </dev/null >>"$TB_DIR/wineboot.log" 2>&1 || tb_log "warm-up window did not finish"
    touch "$WINEPREFIX/.sonvel-ready"
}

tb_link_fonts() {
    # Debian's Wine ships its fonts outside the prefix; without them captions and
    # buttons draw as garbage. Bold Tahoma stays out so bold text can fall back to
    # the Japanese font.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    rm -f "$fonts/*"
    for f in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon; do
        [ -e "$f" ] || continue
        [ "$(basename "$f")" = tahomabd.ttf ] && continue
        ln -sf "$f" "$fonts/" 2>/dev/null || true
    done
}

tb_start_wineserver() {
    if tb_alive "$TB_DIR/keeper.pid"; then return 0; fi
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # A process that keeps Wine's desktop alive between test executables, so
    # each test does not pay for (and wait on) a new desktop.
    local keeper="$TB_DIR/keepalive.exe"
    if [ ! -f "$keeper" ]; then
        printf '#include <windows.h>\nint main(void){for(;;)Sleep(100000);}\n' >"$TB_DIR/keepalive.c"
        x86_64-w64-mingw32-gcc -O1 -o "$keeper" "$TB_DIR/keepalive.c" || return 1
    fi
    wine "$keeper" </dev/null >/dev/null 2>&1 &
    echo $! >"$TB_DIR/keeper.pid"
    sleep 1
}

tb_start() {
    tb_env
    mkdir -p "$TB_DIR"
    tb_start_xvfb || return 1
    tb_start_pulse || return 1
    tb_make_prefix || return 1
    tb_link_fonts
    tb_start_wineserver || return 1
    tb_log "ready (DISPLAY=$DISPLAY WINEPREFIX=$WINEPREFIX)"
}

tb_stop() {
    tb_env
    if tb_alive "$TB_DIR/keeper.pid"; then kill "$(cat "$TB_DIR/keeper.pid")" 2>/dev/null || true; fi
    rm -f "$TB_DIR/keeper.pid"
    [ -d "$WINEPREFIX" ] && timeout 10 wineserver -k >/dev/null 2>&1 || true
    if [ -f "$TB_DIR/pulse.pid" ]; then
        timeout 5 pulseaudio --kill >/dev/null 2>&1 || kill "$(cat "$TB_DIR/pulse.pid")" 2>/dev/null || true
        rm -f "$TB_DIR/pulse.pid"
    fi
    if tb_alive "$TB_DIR/xvfb.pid"; then kill "$(cat "$TB_DIR/xvfb.pid")" 2>/dev/null || true; fi
    rm -f "$TB_DIR/xvfb.pid"
}

case "${1:-env}" in
    start) tb_start ;;
    stop) tb_stop ;;
    env) tb_env ;;
    *) echo "usage: testbed.sh start|stop|env" >&2; false ;;
esac

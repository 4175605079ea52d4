#!/usr/bin/env bash
# The shipped forms of the program under Wine: the installer installs silently
# (files, Start-menu shortcut, an entry in Programs and Features), the installed
# copy keeps its settings in the per-user folder when its program folder cannot
# be written, the uninstaller removes everything but the user's settings unless
# asked, and the portable zip keeps its settings beside itself.
# Arguments: kind (win|native), a work folder, the tool command (its folder is the build).
set -uo pipefail
kind=$1 work=$2
shift 2
[ "$kind" = win ] || exit 77
build=$(cd "$(dirname "${!#}")" && pwd)
dist=$build/dist
setup=$(ls "$dist"/sonvel-*-setup.exe 2>/dev/null | head -n1)
zip=$(ls "$dist"/sonvel-*-portable.zip 2>/dev/null | head -n1)
[ -n "$setup" ] && [ -n "$zip" ] || { echo "no installer or zip in $dist"; exit 1; }
command -v chattr >/dev/null || exit 77

source "$(dirname "$0")/lib/common.bash"
run() { timeout -k 5 120 wine "$@" >/dev/null 2>&1; }

C="$WINEPREFIX/drive_c"
inst="$C/Program Files/Sonvel"
menu="$C/ProgramData/Microsoft/Windows/Start Menu/Programs/Sonvel"
user_dir="$C/users/$(id -un)/AppData/Local/Vexalabs/sonvel"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sonvel'
drive=$(winepath -w "$build/sonvel-drive.exe")

rm -rf "$work"; mkdir -p "$work"
# The test bed's own per-user files are put back afterwards.
[ -d "$user_dir" ] && cp -a "$user_dir" "$work/user-backup"
restore() {
    chattr -i "$inst" 2>/dev/null || true
    rm -rf "$user_dir"
    [ -d "$work/user-backup" ] && cp -a "$work/user-backup" "$user_dir"
}
trap restore EXIT

uninstall() {
    run "$(winepath -w "$inst/uninstall.exe")" /S "$@"
    # The uninstaller copies itself away and returns at once: wait for it.
    for _ in $(seq 150); do [ -e "$inst/sonvel.exe" ] || [ -e "$inst/uninstall.exe" ] || break; sleep 0.2; done
    sleep 1
}

# ---- install
run "$(winepath -w "$setup")" /S
[ -f "$inst/sonvel.exe" ] && [ -f "$inst/sonvel-ja.html" ] && [ -f "$inst/sonvel-en.html" ] && [ -f "$inst/uninstall.exe" ]; check $? "program and help pages installed"
[ -f "$menu/Sonvel.lnk" ]; check $? "Start-menu shortcut"
wine reg query "$key" /v DisplayVersion 2>/dev/null | grep -q 1.0.4.0; check $? "entry in Programs and Features"

# ---- an installed copy whose folder cannot be written keeps its settings per user
rm -rf "$user_dir"; mkdir -p "$user_dir"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<config>\n<language>0</language>\n</config>\n' >"$user_dir/sonvel.ini"
chattr +i "$inst"
(cd "$inst" && run "$drive" startup "$(winepath -w "$inst/sonvel.exe")" 1)
check $? "installed copy starts with a read-only program folder"
chattr -i "$inst"
grep -q "<driver_type>" "$user_dir/sonvel.ini"; check $? "its settings were saved in the per-user folder"
[ ! -e "$inst/sonvel.ini" ]; check $? "nothing was written beside the installed program"

# ---- uninstall keeps the user's settings; asked to, removes them
uninstall
[ ! -e "$inst/sonvel.exe" ] && [ ! -e "$menu/Sonvel.lnk" ]; check $? "uninstall removes the program"
! wine reg query "$key" >/dev/null 2>&1; check $? "uninstall removes the Programs and Features entry"
[ -f "$user_dir/sonvel.ini" ]; check $? "uninstall keeps the user's settings"
run "$(winepath -w "$setup")" /S
uninstall /REMOVESETTINGS
[ ! -e "$user_dir/sonvel.ini" ]; check $? "uninstall /REMOVESETTINGS removes them"

# ---- the portable zip keeps its settings beside itself
mkdir -p "$work/portable" && (cd "$work/portable" && unzip -q "$zip")
printf '<?xml version="1.0" encoding="UTF-8"?>\n<config>\n<language>0</language>\n</config>\n' >"$work/portable/sonvel.ini"
(cd "$work/portable" && run "$drive" startup "$(winepath -w "$work/portable/sonvel.exe")" 1)
grep -q "<driver_type>" "$work/portable/sonvel.ini"; check $? "portable copy saves its settings beside itself"

exit $fail

#!/usr/bin/env bash
# Checks the Windows zip and the installer beside it (the same name ending in .exe): the zip holds the named
# executables, the README, the licence and the notices in one folder; the executables need no DLL beyond
# those every Windows has; zeloctl.exe, unpacked into a folder with Greek and Chinese letters in its name, runs
# in a Wine prefix made for this check alone. In that prefix the installer installs silently for the user, its
# Start menu entry is there, the installed zeloctl.exe runs, and the silent uninstall leaves no program file
# and the user's settings where they were.
# Usage: check_zip.sh ZELO.zip EXECUTABLE...   (the executables the zip must hold, e.g. zeloctl.exe)
set -uo pipefail
zip=$(realpath "$1")
shift
required=("$@")

# shellcheck source=tests/packaging/checks.sh
source "$(dirname "$0")/checks.sh"

# Beside the zip, not in /tmp: a fresh prefix takes some 700 MB, and /tmp may be a small or noexec file system
# where the build tree, whose own Wine prefix is known to work, is not.
tmp=$(mktemp -d "$(dirname "$zip")/zip-check.XXXXXX")
export WINEPREFIX=$tmp/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    [[ -d $WINEPREFIX ]] && timeout 30 wineserver -k >/dev/null 2>&1
    rm -rf "$tmp"
}
trap cleanup EXIT

# The folder the zip unpacks into is named after the package and its version.
folder=$(basename "$zip" .zip)
version=${folder#zelo-configurator-}
version=${version%-win64}
unpacked="$tmp/Γιώργος 项目"
check "the zip unpacks" unzip -q "$zip" -d "$unpacked"
dir=$unpacked/$folder
for file in "${required[@]}" README.md LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    check "the zip holds $folder/$file" test -f "$dir/$file"
done

# DLLs that are part of Windows itself; anything else would have to be shipped beside the executables.
system_dlls='^(advapi32|bcrypt|comctl32|comdlg32|crypt32|gdi32|imm32|kernel32|msvcrt|ole32|oleaut32|setupapi|shell32|shlwapi|user32|uxtheme|version|winmm|ws2_32)\.dll$'
only_system_dlls() {
    local others
    others=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | grep -vE "$system_dlls")
    [[ -z $others ]] || { echo "needs $others"; return 1; }
}
for exe in "$dir"/*.exe; do
    check "$(basename "$exe") needs no DLL beyond Windows' own" only_system_dlls "$exe"
done

# A fresh prefix: nothing from an earlier build or a user's ~/.wine can supply a missing piece. Wine's services
# start with the first process and keep its output open, so they get a file and the program writes to files.
# A failed boot says why (Wine's own words and the free space) and is tried once more in a new prefix.
boot_prefix() {
    local attempt
    for attempt in 1 2; do
        timeout -k 10 300 wineboot -i </dev/null >"$tmp/boot" 2>&1 && return 0
        echo "wineboot -i failed (exit $?, attempt $attempt); it printed:"
        tail -n 20 "$tmp/boot"
        df -h "$tmp" | tail -n 1
        timeout 30 wineserver -k >/dev/null 2>&1
        rm -rf "$WINEPREFIX"
    done
    return 1
}
runs_in_fresh_prefix() {
    boot_prefix || return 1
    timeout 30 wineserver -p </dev/null >/dev/null 2>&1
    timeout -k 10 60 wine "$dir/zeloctl.exe" --version </dev/null >"$tmp/out" 2>"$tmp/err" ||
        { echo "exit $?"; cat "$tmp/err"; return 1; }
    local printed
    printed=$(tr -d '\r' <"$tmp/out")
    [[ $printed == "$version" ]] || { echo "printed \"$printed\", not \"$version\""; return 1; }
}
check "zeloctl.exe --version prints $version in a fresh Wine prefix" runs_in_fresh_prefix

# The installer: 64-bit, so it really runs here (a 32-bit one would do nothing and still exit 0, which is why
# only the files it leaves count, never its exit code).
installer=${zip%.zip}.exe
users=$WINEPREFIX/drive_c/users
installed() { find "$users" -path '*/AppData/Local/Programs/zelo-configurator' -type d 2>/dev/null | head -1; }
shortcut() { find "$users" -name 'ZELO-EIB-ASCII Configurator.lnk' 2>/dev/null | head -1; }
installs_for_the_user() {
    [[ -f $installer ]] || { echo "no installer beside the zip"; return 1; }
    # Wine runs every program with administrator rights, which would make it an install for all users.
    timeout -k 10 120 wine "$installer" /S /CurrentUser </dev/null >/dev/null 2>&1
    local folder
    folder=$(installed)
    [[ -n $folder ]] || { echo "nothing under AppData/Local/Programs/zelo-configurator"; return 1; }
    for file in "${required[@]}" zelo-configurator.installed uninstall.exe LICENSE.txt THIRD-PARTY-NOTICES.txt; do
        [[ -f $folder/$file ]] || { echo "$file is not installed"; return 1; }
    done
    [[ -n $(shortcut) ]] || { echo "no Start menu entry"; return 1; }
    timeout -k 10 60 wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\zelo-configurator' \
        /v DisplayVersion </dev/null 2>/dev/null | tr -d '\r' | grep -q "$version" ||
        { echo "no uninstall entry with version $version"; return 1; }
    timeout -k 10 60 wine "$folder/zeloctl.exe" --version </dev/null >"$tmp/out" 2>"$tmp/err" ||
        { echo "the installed zeloctl.exe: exit $?"; cat "$tmp/err"; return 1; }
    [[ $(tr -d '\r' <"$tmp/out") == "$version" ]] || { echo "the installed zeloctl.exe printed $(cat "$tmp/out")"; return 1; }
}
check "the installer installs silently for the user, with its Start menu entry" installs_for_the_user

uninstalls_leaving_the_settings() {
    local folder settings
    folder=$(installed)
    [[ -n $folder ]] || { echo "not installed"; return 1; }
    settings=$(dirname "$(dirname "$(dirname "$folder")")")/Roaming/zelo-configurator/zelo-configurator.ini
    mkdir -p "$(dirname "$settings")" && printf '[SerialPort]\r\nDevice=COM3\r\n' >"$settings"
    # The uninstaller runs a copy of itself from the temporary folder and returns at once: wait for its end.
    timeout -k 10 120 wine "$folder/uninstall.exe" /S </dev/null >/dev/null 2>&1
    local left attempt
    for attempt in $(seq 120); do
        left=$(find "$folder" -type f 2>/dev/null)
        [[ -z $left ]] && break
        sleep 0.5
    done
    [[ -z $left ]] || { echo "left behind: $left"; return 1; }
    [[ -z $(shortcut) ]] || { echo "the Start menu entry stays"; return 1; }
    [[ -f $settings ]] || { echo "the user's settings went with it"; return 1; }
}
check "the silent uninstall removes every program file and keeps the user's settings" uninstalls_leaving_the_settings

summary zip

#!/usr/bin/env bash
# Checks the Windows zip: it holds the named executables, the README and the licence in one folder; the
# executables need no DLL beyond those every Windows has; and zeloctl.exe, unpacked into a fresh folder, runs in
# a Wine prefix made for this check alone.
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
check "the zip unpacks" unzip -q "$zip" -d "$tmp/unpacked"
dir=$tmp/unpacked/$folder
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

summary zip

#!/usr/bin/env bash
# Checks a built Debian package without installing it: unpacks it into a temporary folder, runs the programs
# from there (the window offscreen, with its settings under a temporary XDG_CONFIG_HOME), and runs the Debian
# and freedesktop checkers over it. With CI=true it also installs the package, runs it from /usr/bin and
# removes it again; never otherwise, so a user's own installation is left alone.
# Usage: check_deb.sh PACKAGE.deb
set -uo pipefail
deb=$(realpath "$1")

# shellcheck source=tests/packaging/checks.sh
source "$(dirname "$0")/checks.sh"

tmp=$(mktemp -d)
sim_pid=
cleanup() {
    [[ -n $sim_pid ]] && kill -TERM "$sim_pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
root=$tmp/root
bin=$root/usr/bin
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb cannot unpack $deb"; exit 1; }

# The programs run with no settings of the user's own: a fresh config folder and home.
export XDG_CONFIG_HOME=$tmp/config HOME=$tmp/home
mkdir -p "$HOME"
settings=$XDG_CONFIG_HOME/zelo-configurator/zelo-configurator.ini

same_text() { # same_text EXPECTED COMMAND...
    local expected=$1 actual
    shift
    actual=$("$@") || return 1
    [[ $actual == "$expected" ]] || { printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$actual"; return 1; }
}
check "zeloctl --version prints the package's version" same_text "$version" timeout 10 "$bin/zeloctl" --version
check "zeloctl build writes the setup line and the group lines" same_text $'#SETUP=1.1.250;OFF;ON;OFF\n#DG0/0/0=BIT;RW\n#DG1/0/0-1/0/10=VALUE;R' \
    timeout 10 "$bin/zeloctl" build --phys 1.1.250 --hex 0/0/0=1 '1/0/0-1/0/10=VALUE;R'

# The window: a close request (SIGTERM, as at logout) ends it normally, and it saves its settings in the user's
# config folder, not beside the program, although the unpacked bin folder is writable.
window_closes() {
    QT_QPA_PLATFORM=offscreen timeout --preserve-status -k 10 -s TERM 5 "$bin/zelo-configurator" </dev/null
    local status=$?
    ((status == 143)) && echo "ended by the signal: the window must treat SIGTERM as its close box"
    return $status
}
check "the window ends normally on a close request" window_closes
check "the window saved its settings under \$XDG_CONFIG_HOME" grep -qxF $'[SerialPort]\r' "$settings"
check "nothing was written beside the installed program" test ! -e "$bin/zelo-configurator.ini"
# Without a configuration folder at all it says so once and keeps its settings in memory: still nothing
# beside the program, nor in the folder it was started from.
window_without_config_folder() {
    local said
    mkdir -p "$tmp/cwd" &&
        said=$(cd "$tmp/cwd" && env -u HOME -u XDG_CONFIG_HOME QT_QPA_PLATFORM=offscreen \
            timeout --preserve-status -k 10 -s TERM 5 "$bin/zelo-configurator" 2>&1 </dev/null)
    local status=$?
    ((status == 0)) || { echo "exit status $status: $said"; return 1; }
    [[ $(grep -c 'the settings are kept in memory only' <<<"$said") == 1 ]] || { echo "said: $said"; return 1; }
    [[ -z $(find "$root" "$tmp/cwd" -name '*.ini') ]] || { find "$root" "$tmp/cwd" -name '*.ini'; return 1; }
}
check "with neither HOME nor XDG_CONFIG_HOME the window keeps its settings in memory" window_without_config_folder

# zeloctl download takes its link from the same settings: the simulator's pseudo-terminal is the device.
download_by_settings() {
    local where
    exec {sim_out}< <(exec timeout -k 5 60 "$bin/zelo-gateway-sim" --pty --dump "$tmp/held.txt")
    sim_pid=$!
    read -r -t 10 -u "$sim_out" where || { echo "the simulator did not start"; return 1; }
    mkdir -p "$(dirname "$settings")" &&
        printf '[SerialPort]\r\nDevice=%s\r\nBaudrate=19200\r\n' "$where" >"$settings" || return 1
    timeout 30 "$bin/zeloctl" build 1/0/0-1/0/10=VALUE >"$tmp/list.txt" &&
        timeout 30 "$bin/zeloctl" download "$tmp/list.txt" || return 1
    kill -TERM "$sim_pid" && wait "$sim_pid"
    sim_pid=
    diff "$tmp/list.txt" "$tmp/held.txt"
}
check "zeloctl download takes the device from the settings and the gateway holds the list" download_by_settings

lint() {
    local root_flag=()
    [[ $(id -u) -eq 0 ]] && root_flag=(--allow-root)
    timeout 300 lintian "${root_flag[@]}" --fail-on error,warning "$deb"
}
check "lintian finds no error or warning" lint
check "desktop-file-validate accepts the menu entry" \
    desktop-file-validate "$root"/usr/share/applications/zelo-configurator.desktop
check "appstreamcli accepts the metainfo" \
    timeout 60 appstreamcli validate --pedantic --no-net "$root"/usr/share/metainfo/*.metainfo.xml
# The menu entry claims the project files alone, known by their name: never plain text, CSV or any zip.
check "the menu entry names the ETS project type alone" \
    grep -qxF 'MimeType=application/x-knx-project;' "$root"/usr/share/applications/zelo-configurator.desktop
mime_by_name_only() {
    local db=$tmp/mime
    mkdir -p "$db/packages" && cp "$root"/usr/share/mime/packages/zelo-configurator.xml "$db/packages/" &&
        update-mime-database "$db" || return 1
    grep -qxF 'application/x-knx-project:*.knxproj' "$db/globs" || { echo "no glob for *.knxproj"; return 1; }
    ! grep -qaF x-knx-project "$db/magic" || { echo "a magic rule would claim other zips"; return 1; }
}
check "the project type is known by the glob *.knxproj only" mime_by_name_only
for page in "$root"/usr/share/man/man1/*.1.gz; do
    man_clean() { local w; w=$(LC_ALL=C.UTF-8 timeout 30 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null); [[ -z $w ]] || { echo "$w"; return 1; }; }
    check "man formats $(basename "$page") without warnings" man_clean
done

# A release names its version in the changelog and the metainfo as well; a version raised in one place only
# would ship a package that contradicts itself.
changelog_version() { zcat "$root/usr/share/doc/zelo-configurator/changelog.gz" | dpkg-parsechangelog -l - -S Version; }
check "the changelog's newest entry is $version" same_text "$version" changelog_version
metainfo_version() { grep -oE '<release version="[^"]+"' "$root"/usr/share/metainfo/*.metainfo.xml | head -1 | cut -d'"' -f2; }
check "the metainfo's newest release is $version" same_text "$version" metainfo_version
for size in 48 256; do
    check "the ${size}px icon is ${size}x${size}" \
        grep -q "PNG image data, $size x $size," <(file "$root/usr/share/icons/hicolor/${size}x${size}/apps/zelo-configurator.png")
done

if [[ ${CI:-} == true ]]; then
    if dpkg-query -W -f='${Status}' zelo-configurator 2>/dev/null | grep -q "install ok installed"; then
        echo "FAIL: zelo-configurator is installed on this machine already; not touching it"
        failed=$((failed + 1))
    else
        check "apt-get installs the package" env DEBIAN_FRONTEND=noninteractive timeout 600 apt-get install -y -q "$deb"
        check "/usr/bin/zeloctl --version prints $version" same_text "$version" timeout 10 /usr/bin/zeloctl --version
        check "man finds the installed page of zeloctl" timeout 30 man -w zeloctl
        csv_not_claimed() {
            local app
            app=$(timeout 30 xdg-mime query default text/csv) || return 1
            [[ $app != *zelo-configurator* ]] || { echo "text/csv opens with $app"; return 1; }
        }
        check "xdg-mime: the configurator is not the default for text/csv" csv_not_claimed
        check "apt-get removes the package again" env DEBIAN_FRONTEND=noninteractive timeout 600 apt-get purge -y -q zelo-configurator
    fi
fi

summary package

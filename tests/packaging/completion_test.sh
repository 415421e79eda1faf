#!/usr/bin/env bash
# Drives the bash completion of zeloctl and zelo-gateway-sim as readline would, line by line, and compares the
# offered words. Port names come from the real zeloctl, so the rows hold on any machine.
# Usage: completion_test.sh COMPLETION_DIR ZELOCTL ZELO_GATEWAY_SIM
set -u
completions=$1
zeloctl_program=$(realpath "$2")
sim_program=$(realpath "$3")

if [[ ! -f /usr/share/bash-completion/bash_completion ]]; then
    echo "SKIP: bash-completion is not installed (scripts/deps installs it)"
    exit 77
fi
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null
source "$completions/zeloctl"
# shellcheck source=/dev/null
source "$completions/zelo-gateway-sim"

# The programs as the user would have them: on PATH under their own names.
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
ln -s "$zeloctl_program" "$bin/zeloctl"
ln -s "$sim_program" "$bin/zelo-gateway-sim"
PATH="$bin:$PATH"
mkdir "$bin/files"
# A stand-in that lists ports as zeloctl does (path, tab, description), for machines without serial devices;
# a by-path name holds the colons that readline breaks words at.
mkdir "$bin/lister"
by_id=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0
by_path=/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0
printf '#!/bin/sh\n[ "$1" = ports ] && printf "%%s\\t%%s\\n" %s "FTDI FT232R USB UART" %s "serial port"\n' \
    "$by_id" "$by_path" >"$bin/lister/zeloctl"
chmod +x "$bin/lister/zeloctl"
touch "$bin/files/list.txt" "$bin/files/export.csv" "$bin/files/settings.ini"

# Splits a command line into COMP_WORDS as readline does: at blanks, and around the word-break characters = and :.
split_words() {
    local line=$1 word=""
    COMP_WORDS=()
    local i c
    for ((i = 0; i < ${#line}; i++)); do
        c=${line:i:1}
        if [[ $c == " " ]]; then
            [[ -n $word ]] && COMP_WORDS+=("$word")
            word=""
        elif [[ $c == [=:] ]]; then
            [[ -n $word && $word != [=:]* ]] && COMP_WORDS+=("$word") && word=""
            word+=$c
        else
            [[ $word == [=:]* ]] && COMP_WORDS+=("$word") && word=""
            word+=$c
        fi
    done
    COMP_WORDS+=("$word")
}

# The words offered for a command line (completion at its end), sorted, one per line.
offered() {
    local line=$1
    split_words "$line"
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    local function
    function=$(complete -p "${COMP_WORDS[0]##*/}" | sed -E 's/.*-F ([^ ]+).*/\1/')
    local previous=""
    ((COMP_CWORD > 0)) && previous=${COMP_WORDS[COMP_CWORD - 1]}
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "$previous"
    ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | sort
}

words() { printf '%s\n' "$@" | sort; }

ports=$(timeout 10 zeloctl ports 2>/dev/null | cut -f1)
# shellcheck disable=SC2086
device_words=$(words $ports TCP/IP)
com2_words=$(words COM2 COM2{0..9} COM2{0..5}{0..9} | grep -vxE 'COM2(5[6-9])')
f="$bin/files"

# Each row: the command line up to the cursor, then the words it must offer.
rows=(
    "zeloctl |$(words build check import download monitor ports help --help --version -V)"
    "zeloctl help d|download"
    "zeloctl im|import"
    "zeloctl --ver|--version"
    "zeloctl build --|$(words --phys --source --hex --duplex --help)"
    "zeloctl build 1/0/0=VA|VALUE"
    "zeloctl build 1/0/0-1/0/9=S|STRING"
    "zeloctl build --phys |"
    "zeloctl check --|--help"
    "zeloctl check $f/li|$f/list.txt"
    "zeloctl import --|$(words --format --access --unknown --skip-bad --password --password-file --setup \
        --phys --source --hex --duplex --help)"
    "zeloctl import --format |$(words auto ets3 csv xml esf)"
    "zeloctl import --format=x|xml"
    "zeloctl import --access R|$(words R RW)"
    "zeloctl import --unknown o|other"
    "zeloctl import --skip-bad $f/ex|$f/export.csv"
    "zeloctl import --password |"
    "zeloctl import --password-file $f/se|$f/settings.ini"
    "zeloctl download --|$(words --device --baud --host --port --settings --quiet --trace --help)"
    "zeloctl download --device |$device_words"
    "zeloctl download --device COM2|$com2_words"
    "zeloctl download --device T|TCP/IP"
    "$bin/lister/zeloctl download --device |$(words "$by_id" "$by_path" TCP/IP)"
    "$bin/lister/zeloctl download --device /dev/serial/by-i|$by_id"
    "$bin/lister/zeloctl download --device /dev/serial/by-path/pci-0000:00:1|14.0-usb-0:1:1.0-port0"
    "zeloctl download --baud 1|$(words 1200 115200 19200)"
    "zeloctl download --settings $f/s|$f/settings.ini"
    "zeloctl download --device COM1 $f/l|$f/list.txt"
    "zeloctl monitor --|$(words --device --baud --host --port --settings --names --password --password-file \
        --hex --timestamps --output --help)"
    "zeloctl monitor --names $f/ex|$f/export.csv"
    "zeloctl ports --|--help"
    "zelo-gateway-sim --|$(words --pty --link --tcp --dump --refuse --silent-after --delay --crlf --baud \
        --garbage --bus --seed --version --help)"
    "zelo-gateway-sim --pty --li|--link"
    "zelo-gateway-sim --pty --dump $f/l|$f/list.txt"
    "zelo-gateway-sim --tcp |"
    "zelo-gateway-sim --refuse 2 |"
    "zelo-gateway-sim --baud 96|9600"
)

passed=0
failed=0
for row in "${rows[@]}"; do
    line=${row%%|*}
    expected=${row#*|}
    actual=$(offered "$line")
    if [[ $actual == "$expected" ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: "%s"\n  expected: %s\n  offered:  %s\n' "$line" "$(tr '\n' ' ' <<<"$expected")" "$(tr '\n' ' ' <<<"$actual")"
    fi
done
# Every option a program's own help lists must be offered; the rows above may name more.
help_options() { timeout 10 "$@" --help | sed -nE 's/^ +(-[a-zA-Z], ?)?(--[a-z0-9-]+).*/\2/p' | sort -u; }
subcommands=$(timeout 10 zeloctl --help | sed -n '/^Subcommands:/,$p' | sed -nE 's/^  ([a-z]+) .*/\1/p')
for line in "zeloctl --" $(printf 'zeloctl|%s|--\n' $subcommands) "zelo-gateway-sim --"; do
    line=${line//|/ }
    offer=$(offered "$line")
    # shellcheck disable=SC2086
    missing=$(comm -23 <(help_options ${line% --}) <(echo "$offer"))
    if [[ -z $missing ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL: "%s" does not offer %s\n' "$line" "$(tr '\n' ' ' <<<"$missing")"
    fi
done
[[ -n $subcommands ]] || { failed=$((failed + 1)); echo "FAIL: no subcommands in zeloctl --help"; }
echo "$passed passed, $failed failed"
((failed == 0))

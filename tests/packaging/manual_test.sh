#!/usr/bin/env bash
# The manual pages against the programs: every subcommand and option that a program's own help lists is
# described in its page, and man formats every page without a warning.
# Usage: manual_test.sh MAN_DIR ZELOCTL ZELO_GATEWAY_SIM
set -u
pages=$1
zeloctl=$2
sim=$3

# shellcheck source=tests/packaging/checks.sh
source "$(dirname "$0")/checks.sh"

# A page describes an option when it names it as roff writes it: each "-" escaped.
describes() { grep -qF -- "${2//-/\\-}" "$pages/$1"; }
help_options() { timeout 10 "$@" --help | sed -nE 's/^ +(-[a-zA-Z], ?)?(--[a-z0-9-]+).*/\2/p' | sort -u; }

subcommands=$(timeout 10 "$zeloctl" --help | sed -n '/^Subcommands:/,$p' | sed -nE 's/^  ([a-z]+) .*/\1/p')
check "zeloctl --help lists subcommands" test -n "$subcommands"
for option in $(help_options "$zeloctl"); do
    check "zeloctl.1 describes $option" describes zeloctl.1 "$option"
done
for command in $subcommands; do
    check "zeloctl.1 has a section for $command" grep -qE "^\.SS \"?$command( |\"|$)" "$pages/zeloctl.1"
    check "zeloctl.1 shows $command in its synopsis" grep -qxF ".B $command" "$pages/zeloctl.1"
    for option in $(help_options "$zeloctl" "$command"); do
        check "zeloctl.1 describes $command $option" describes zeloctl.1 "$option"
    done
done
for option in $(help_options "$sim"); do
    check "zelo-gateway-sim.1 describes $option" describes zelo-gateway-sim.1 "$option"
done

# Exit codes: every status that a program's help names is listed in its page.
for status in $(timeout 10 "$sim" --help | sed -n 's/^Exit codes: //p' | grep -oE '[0-9]+'); do
    check "zelo-gateway-sim.1 lists exit status $status" grep -qxF ".B $status" "$pages/zelo-gateway-sim.1"
done

for page in "$pages"/*.1; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 timeout 30 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    check "man formats $(basename "$page") without warnings${warnings:+: $warnings}" test -z "$warnings"
done

summary manual

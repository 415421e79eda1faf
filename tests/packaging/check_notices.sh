#!/usr/bin/env bash
# Checks THIRD-PARTY-NOTICES.txt against what the linker really took: every static archive a Windows
# executable pulled members from (its link map) must come from a Debian source package the notices name; the
# project's own archives are exempt. A library added to the link without its notice fails here.
# Usage: check_notices.sh NOTICES BUILD-DIR MAP...
set -uo pipefail
notices=$1
build=$(realpath "$2")
shift 2
command -v dpkg-query >/dev/null || { echo "no dpkg-query: not a Debian machine, nothing to check"; exit 77; }

failed=0
archives=$(sed -nE 's#^(/[^ ()]+\.a)\(.*#\1#p' "$@" | sort -u)
[[ -n $archives ]] || { echo "no archive member in the link maps $*: is -Wl,-Map in effect?"; exit 1; }
for archive in $archives; do
    [[ $(realpath "$archive") == "$build"/* ]] && continue
    package=$(dpkg-query -S "$(realpath "$archive")" 2>/dev/null | head -1 | cut -d: -f1)
    [[ -n $package ]] || package=$(dpkg-query -S "$archive" 2>/dev/null | head -1 | cut -d: -f1)
    if [[ -z $package ]]; then
        echo "FAIL: $archive belongs to no Debian package: its licence cannot be named"
        failed=1
        continue
    fi
    source=$(dpkg-query -W -f='${source:Package}' "$package")
    if grep -q "Debian source package: $source " "$notices"; then
        echo "ok: $archive ($package, source $source)"
    else
        echo "FAIL: $archive ($package, source $source) is linked, but $notices does not name it"
        failed=1
    fi
done
exit $failed

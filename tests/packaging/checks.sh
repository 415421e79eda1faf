# shellcheck shell=bash
# Shared by the packaging checks (sourced): `check DESCRIPTION COMMAND...` runs the command, counts it as passed
# or failed and shows its output when it fails; `summary NAME` prints the counts and succeeds when none failed.
passed=0
failed=0

check() {
    local what=$1 output
    shift
    if output=$("$@" 2>&1); then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
        [[ -n $output ]] && sed 's/^/    /' <<<"$output"
    fi
    return 0
}

summary() {
    echo "$1: $passed passed, $failed failed"
    ((failed == 0))
}

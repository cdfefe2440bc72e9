# shellcheck shell=bash
# The end-to-end scripts' checks and their count, apart from Wine, so that a script that
# starts no Wine (test_probe.sh) counts the same way. Sourced; finish ends the script.
PASSED=0 FAILED=0 SCENARIO=""

scenario() { SCENARIO=$1 && echo "--- $SCENARIO"; }
pass() { PASSED=$((PASSED + 1)); echo "ok:   ${SCENARIO:+$SCENARIO: }$1"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL: ${SCENARIO:+$SCENARIO: }$1"; }

# check DESCRIPTION EXPECTED ACTUAL
check() { if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi; }

# check_true DESCRIPTION COMMAND...
check_true() { if "${@:2}"; then pass "$1"; else fail "$1"; fi; }

finish() {
    if declare -F hda_stop_wine >/dev/null; then hda_stop_wine; fi
    echo "$PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
    exit
}

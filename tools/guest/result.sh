#!/usr/bin/env bash
# CTest's x86guest.NAME entry: reports what the last `make test-x86` saw of the end-to-end
# script NAME (e2e.wow64...), with its output. Passed or failed only when the script ran on
# the build and scripts that are here now; anything else (not run, run on another build,
# the guest stopped before it) is reported as skipped, never as passed.
set -euo pipefail
name=$1
HDA_CALLER=x86guest
export HDA_TWIN_SAID=1
# shellcheck source=../lib/guest.sh
source "$(dirname "${BASH_SOURCE[0]}")/../lib/guest.sh"
results=$GUEST_WORK/results

not_run() {
    echo "not run: $1"
    echo "(make test-x86 runs it: 'make test-x86 TESTS=${name#e2e.}', or TESTS=all for every script)"
    exit 77
}

if [ ! -f "$results/$name.rc" ]; then
    [ -f "$results/$name.log" ] && not_run "the last make test-x86 started $name, but it did not end"
    not_run "the last make test-x86 did not run $name"
fi
[ -f "$results/stamp" ] && [ "$(cat "$results/stamp")" == "$(guest_stamp)" ] ||
    not_run "the last make test-x86 ran $name on another build or other scripts than these"
cat "$results/$name.log"
rc=$(cat "$results/$name.rc")
case $rc in
0) exit 0 ;;
77) exit 77 ;;
124) echo "FAIL: $name was stopped at its time limit"; exit 1 ;;
*) echo "FAIL: $name ended with exit status $rc"; exit 1 ;;
esac

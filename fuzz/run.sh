#!/usr/bin/env bash
# Runs libFuzzer targets for a number of seconds each, from the checked-in seeds.
# Usage: fuzz/run.sh SECONDS [TARGET...]  (no target: all of them)
# New inputs go to $HDA_FUZZ_DIR/corpus/TARGET, crashes to $HDA_FUZZ_DIR/artifacts.
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
FUZZ_DIR=${HDA_FUZZ_DIR:-$REPO/build/fuzz}
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in "$REPO"/fuzz/fuzz_*.cpp; do
        name=${source##*/fuzz_}
        targets+=("${name%.cpp}")
    done
fi

for t in "${targets[@]}"; do
    exe=$FUZZ_DIR/fuzz_$t
    [ -x "$exe" ] || { echo "missing $exe: run 'make fuzzers' first" >&2; exit 1; }
    mkdir -p "$FUZZ_DIR/corpus/$t" "$FUZZ_DIR/artifacts"
    echo "=== fuzz_$t, $seconds s"
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$FUZZ_DIR/artifacts/$t-" \
        "$FUZZ_DIR/corpus/$t" "$REPO/fuzz/corpus/$t"
done

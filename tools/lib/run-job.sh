# shellcheck shell=bash
# How make test-x86 runs one script, on this host or in the emulated guest alike: its output
# in OUT/NAME.log after a first line saying where it ran, its exit status in OUT/NAME.rc, and
# one line of progress through the sourcing script's hda_say.
# run_job OUT NAME WHERE COMMAND...
run_job() {
    local out=$1 name=$2 limit=${HDA_GUEST_JOB_TIMEOUT:-1800} start=$SECONDS rc=0
    printf '%s\n\n' "$3" >"$out/$name.log"
    shift 3
    timeout "$limit" "$@" >>"$out/$name.log" 2>&1 || rc=$?
    echo "$rc" >"$out/$name.rc"
    sync
    local took="$((SECONDS - start)) s"
    case $rc in
    0) hda_say "$name: passed ($took)" ;;
    77) hda_say "$name: skipped ($took)" ;;
    124) hda_say "$name: FAILED: stopped after $limit s ($took)" ;;
    *)
        hda_say "$name: FAILED, exit status $rc ($took); the last lines:"
        grep -E '^FAIL|passed, .* failed' "$out/$name.log" | tail -n 5 |
            while IFS= read -r line; do hda_say "    $line"; done
        ;;
    esac
}

#!/usr/bin/env bash
# lint.shellcheck: every shell file of the repository (named *.sh, or a bash or sh shebang)
# clean under shellcheck at warning level, each followed into what it sources. A finding
# judged wrong is disabled at its line, with the reason.
# Usage: shellcheck.sh SOURCE_DIR
set -euo pipefail
cd "$1"
command -v shellcheck >/dev/null || {
    echo "shellcheck is not installed (make deps installs it): skipped"
    exit 77
}
listed=$(git ls-files) || { echo "not a git checkout: nothing says which files are the repository's"; exit 1; }
files=()
while IFS= read -r f; do
    case $f in
    *.sh) files+=("$f") ;;
    *) [ -f "$f" ] && head -n 1 "$f" | grep -qE '^#!.*\b(ba)?sh\b' && files+=("$f") ;;
    esac
done <<<"$listed"
echo "shellcheck -x -S warning over ${#files[@]} files"
shellcheck -x -S warning "${files[@]}"

#!/usr/bin/env bash
# layers.one-way: the layers run one way, app/ on setup/ on host/. A lower layer that includes
# a higher one's header fails here, and so does one that calls into it: each layer's library
# is linked whole, with only the layers below it, into a program that may leave nothing
# undefined. The unit tests' link cannot tell: every object of every layer is in it anyway.
# Usage: one-way.sh CXX SOURCE_DIR HOST_LIBRARY SETUP_LIBRARY
set -euo pipefail
cxx=$1 src=$2 host=$3 setup=$4
status=0

# Any quoted or angled include whose path has a higher layer's folder in it, "../" or not.
above() {
    local layer=$1 higher=$2 hits
    hits=$(cd "$src" && grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]([^\">]*/)?($higher)/" "$layer"/* || true)
    if [ -n "$hits" ]; then
        echo "FAIL: $layer/ includes from above it:"
        echo "$hits" | sed 's/^/  /'
        status=1
    else
        echo "ok: $layer/ includes nothing of ${higher//|// or }/"
    fi
}
above host 'setup|app'
above setup app

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo 'int main() { return 0; }' >"$tmp/main.cpp"
# alone LAYER LIBRARY [BELOW...] [LINKER OPTIONS...]
alone() {
    local layer=$1 library=$2
    shift 2
    if "$cxx" -o "$tmp/$layer" "$tmp/main.cpp" -Wl,--whole-archive "$library" \
        -Wl,--no-whole-archive "$@" 2>"$tmp/$layer.log"; then
        echo "ok: $layer/ linked alone with what lies below it"
    else
        echo "FAIL: $layer/ calls what neither it nor a layer below it holds:"
        { grep 'undefined reference' "$tmp/$layer.log" || cat "$tmp/$layer.log"; } | sed 's/^/  /'
        status=1
    fi
}
alone host "$host"
# setup/ declares the IsWow64Process pointer and leaves its one definition to the program,
# which makes its static objects in start-up order in one file (app/Main.cpp).
alone setup "$setup" "$host" -Wl,--defsym=g_pfnIsWow64Process=0
exit $status

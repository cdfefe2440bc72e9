# shellcheck shell=bash
# e2e.prefixes: the Wine prefix each end-to-end script declares ("# prefix: NAME ARCH"), made
# before any of them runs (a CTest fixture), so that a prefix's first boot counts against no
# script's time.
source "$(dirname "$0")/lib.sh"
while read -r name arch; do
    hda_prefix "$WINE_DIR" "$name" "$arch"
done < <(awk '$1 == "#" && $2 == "prefix:" { print $3, $4 }' "$(dirname "$0")"/test_*.sh | sort -u)
hda_stop_wine

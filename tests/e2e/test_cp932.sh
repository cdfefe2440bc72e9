# shellcheck shell=bash
# The program under code page 932, under Wine: in folders named ソフト, whose first character's
# second byte is 0x5C (a backslash to any byte walk), it still finds the packages and the
# helper where a Japanese Windows would; a lead byte right before "DEBUG" is no option.
# Its own prefix: the locale a prefix last ran under stays in its registry.
# prefix: cp932 win32
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
source "$(dirname "$0")/lib.sh"

FUNCTION=$(hda_function "${HDA_CODECS[1]}")
export HDA_PACKAGE_MS=0 HDA_HELPER_MS=300

# The stand-ins record what they got in the program's code page.
logged_utf8() { logged "$1" | iconv -f CP932 -t UTF-8; }

use_prefix
hda_set_windows winxp
hda_set_functions "$FUNCTION"
DISC=$SCRATCH/disc

# PROGRAM_FOLDER|BASE: where the program lies on the disc and where it must find the helper.
# A byte walk would take the 0x5C of ソ for a folder boundary and look one level off.
while IFS='|' read -r folder base; do
    scenario "program in D:\\${folder//\//\\}\\"
    lay_disc "$DISC" "$folder"
    hda_map_drive D "$DISC"
    exe_dir="D:\\${folder//\//\\}\\"
    run_program "${exe_dir}hdasetup.exe" -S
    check "ソフト reached the package as 83 5C 83 74 83 67" 1 \
        "$(logged package-start | od -An -tx1 -v | tr -d '\n' | grep -c ' 83 5c 83 74 83 67')"
    check "package" "${exe_dir}$HDA_PACKAGE_XPSP2$HDA_QUIET" "$(logged_utf8 package-start)"
    check "helper started from the disc's base" \
        "${base}$HDA_HELPER_32 ${base}$HDA_INF_32 \"HDAUDIO\\$FUNCTION\"" \
        "$(logged_utf8 helper-start)"
    check "waited until the helper's window was gone" 1 "$(count_logged helper-end)"
    check "marker written" ${#HDA_MARKER_TEXT} "$(stat -c %s "$WINEPREFIX/drive_c/$HDA_MARKER_NAME" 2>/dev/null)"
done <<'TABLE'
ソフト/ソフト|D:\
Drivers/ソフト|D:\
ソフト|D:\ソフト\
TABLE

lay_disc "$DISC" ソフト/ソフト
hda_map_drive D "$DISC"
PROGRAM='D:\ソフト\ソフト\hdasetup.exe'

# OPTIONS|BYTES: bytes that a byte search (or a byte-wise upper-casing) would read as
# "DEBUG", where the D or d is the second byte of a double-byte character.
while IFS='|' read -r options bytes; do
    scenario "options \"$options\" ($bytes)"
    check "in code page 932 the options are $bytes" "$bytes" \
        "$(printf '%s' "$options" | iconv -f UTF-8 -t CP932 | od -An -tx1 | sed 's/^ //')"
    run_answered 2 "$PROGRAM" $options # a debug box would be answered and recorded
    check "no debug box" "" "$(boxes)"
    check "silent mode: the helper was started" 1 "$(count_logged helper-start)"
done <<'TABLE'
-S ゥEBUG|2d 53 20 83 44 45 42 55 47
-S ヅebug|2d 53 20 83 64 65 62 75 67
TABLE

scenario "options \"-S DEBUG\": the debug boxes do show"
run_answered 2 "$PROGRAM" -S DEBUG
check "two boxes, then the helper" "debug_run|debug_aa|1" \
    "$(boxes | cut -d'|' -f1 | tr '\n' '|')$(count_logged helper-start)"

finish

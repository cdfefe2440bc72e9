# shellcheck shell=bash
# The completion marker under Wine: whatever stands at C:\csb.log is replaced by exactly
# the 40 bytes, except what cannot be deleted; nothing outside it is ever touched.
# prefix: win32 win32
source "$(dirname "$0")/lib.sh"

export HDA_PACKAGE_MS=100
standard_disc winxp
hda_set_functions
C=$WINEPREFIX/drive_c
MARKER=$C/$HDA_MARKER_NAME

check_marker() {
    check_true "a plain file" test -f "$MARKER"
    check "exactly the marker text" "$HDA_MARKER_TEXT" "$(cat "$MARKER" 2>/dev/null)"
    check "40 bytes" 40 "$(stat -c %s "$MARKER" 2>/dev/null)"
    check "last byte 0x64" 64 "$(tail -c 1 "$MARKER" 2>/dev/null | od -An -tx1 | tr -d ' ')"
}

reset_marker() { chattr -i "$MARKER" 2>/dev/null || true; rm -rf "$MARKER"; }
# put FILE...: each file under the marker path, with the folders it lies in.
put() { local f; for f; do mkdir -p "$(dirname "$MARKER/$f")"; echo x >"$MARKER/$f"; done; }

scenario "nothing at the marker path"
reset_marker
run_program "$PROGRAM" -S
check_marker
NORMAL_SECONDS=$ELAPSED

scenario "a 100 KB file"
reset_marker
head -c 102400 /dev/urandom > "$MARKER"
run_program "$PROGRAM" -S
check_marker

scenario "a read-only file"
reset_marker
printf 'keep me' > "$MARKER"
chmod 444 "$MARKER"
set_attributes 1 "$MARKER" || true
# As root Wine would still open a mode-444 file for writing: make it truly unwritable.
chattr +i "$MARKER"
run_program "$PROGRAM" -S
check "left as it was" "keep me" "$(cat "$MARKER")"
reset_marker

scenario "a directory tree"
put file.txt one/file.txt one/two/file.txt one/two/three/file.txt .dot/inner/file.txt \
    one/hidden.txt one/two/system.dat .dot/noext
check_true "hidden attribute set" set_attributes 2 "$MARKER/one/hidden.txt"
check_true "system attribute set" set_attributes 4 "$MARKER/one/two/system.dat"
check_true "hidden and system set" set_attributes 6 "$MARKER/one/two/three/file.txt"
run_program "$PROGRAM" -S
check_marker

scenario "a directory with a link to a folder outside it"
reset_marker
OUTSIDE=$C/users/precious
rm -rf "$OUTSIDE"
mkdir -p "$OUTSIDE/sub"
echo "years of work" > "$OUTSIDE/thesis.doc"
echo "more" > "$OUTSIDE/sub/notes.txt"
put inner/a.txt
ln -s "$OUTSIDE" "$MARKER/inner/link"
outside() { (cd "$OUTSIDE" && find . -type f -exec md5sum {} + | sort); }
before=$(outside)
run_program "$PROGRAM" -S
check "the folder outside and its files are intact" "$before" "$(outside)"
check_true "the ordinary file inside is gone" test ! -e "$MARKER/inner/a.txt"

scenario "a link at the marker path itself"
reset_marker
ln -s "$OUTSIDE" "$MARKER"
run_program "$PROGRAM" -S
check "the folder outside and its files are intact" "$before" "$(outside)"
reset_marker

# A log viewer holds a file open without delete sharing; its hard link at the marker path
# then cannot be deleted, and writing the marker there would overwrite that file.
scenario "a file outside, hard-linked at the marker path and held open"
ln "$OUTSIDE/thesis.doc" "$MARKER"
rm -f "$SCRATCH/held"
mkdir -p "$SCRATCH"
hda_wine "$(hda_standin hold)" "$(hda_winpath "$OUTSIDE/thesis.doc")" "$(hda_winpath "$SCRATCH/held")" 60000 &
HOLDER=$!
for _ in $(seq 100); do [ -e "$SCRATCH/held" ] && break; sleep 0.1; done
check_true "the holder has the file open" test -e "$SCRATCH/held"
run_program "$PROGRAM" -S
kill "$HOLDER" 2>/dev/null || true
wait "$HOLDER" 2>/dev/null || true
check "the file outside is unchanged" "$before" "$(outside)"
reset_marker

# Opened by their plain names, these would be devices; the walk removes them by their
# literal paths, and the marker takes the tree's place.
scenario "a tree with names Win32 reads as devices"
mkdir -p "$MARKER/con"
put nul.txt sub/COM1 "sub/deeper/Aux .tar.gz" sub/lpt9.log
run_program "$PROGRAM" -S
check_marker
reset_marker

# Win32 drops trailing dots and blanks from a name, and the ANSI calls turn a full-width
# backslash (U+FF3C) into "\": each of these names, handed back as it was listed, would
# address another entry. They stay; the canaries outside must not notice anything.
scenario "names that Win32 would read as other entries"
VICTIM=$C/users/victim
WIDE_BACKSLASH=$'\xef\xbc\xbc' # U+FF3C in UTF-8
ESCAPE="..${WIDE_BACKSLASH}users${WIDE_BACKSLASH}victim"
rm -rf "$VICTIM" "$C/canary.txt"
mkdir -p "$VICTIM" "$MARKER/. " "$MARKER/.. " "$MARKER/$ESCAPE"
echo "root canary" > "$C/canary.txt"
echo "folder canary" > "$VICTIM/canary.txt"
put f f. sub/in.txt "sub /in.txt" .../in.txt
canaries() { md5sum "$C/canary.txt" "$VICTIM/canary.txt" 2>&1; }
before=$(canaries)
run_program "$PROGRAM" -S
check_true "well within a normal run's time ($ELAPSED s, normal $NORMAL_SECONDS s)" \
    awk "BEGIN { exit !($ELAPSED < 2 * $NORMAL_SECONDS + 5) }"
check "both canaries unchanged" "$before" "$(canaries)"
for name in "..." ". " ".. " "sub " "sub /in.txt" "f." "$ESCAPE"; do
    check_true "[$name] stays" test -e "$MARKER/$name"
done
check_true "plain [sub] is gone" test ! -e "$MARKER/sub"
check_true "plain [f] is gone" test ! -e "$MARKER/f"
check_true "no marker over a folder that stays" test -d "$MARKER"
reset_marker
rm -rf "$VICTIM" "$C/canary.txt"

finish

# The completion marker under Wine: whatever stands at C:\csb.log is replaced by exactly
# the 40 bytes, except what cannot be deleted; nothing outside it is ever touched.
source "$(dirname "$0")/lib.sh"

PROGRAM='D:\Drivers\Audio\hdasetup.exe'
export HDA_PACKAGE_MS=100

use_prefix win32 win32
DISC=$SCRATCH/disc
lay_disc "$DISC"
hda_map_drive D "$DISC"
hda_set_windows winxp
hda_set_functions
C=$WINEPREFIX/drive_c
MARKER=$C/$HDA_MARKER_NAME

check_marker() {
    check "exit code" 0 "$EXIT_CODE"
    check_true "a plain file" test -f "$MARKER"
    check "exactly the marker text" "$HDA_MARKER_TEXT" "$(cat "$MARKER" 2>/dev/null)"
    check "40 bytes" 40 "$(stat -c %s "$MARKER" 2>/dev/null)"
    check "last byte 0x64" 64 "$(tail -c 1 "$MARKER" 2>/dev/null | od -An -tx1 | tr -d ' ')"
}

reset_marker() { chattr -i "$MARKER" 2>/dev/null || true; rm -rf "$MARKER"; }

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
check "exit code" 0 "$EXIT_CODE"
check "left as it was" "keep me" "$(cat "$MARKER")"
reset_marker

scenario "a directory tree"
mkdir -p "$MARKER/one/two/three" "$MARKER/.dot/inner"
for d in "$MARKER" "$MARKER/one" "$MARKER/one/two" "$MARKER/one/two/three" "$MARKER/.dot/inner"; do
    echo data > "$d/file.txt"
done
echo h > "$MARKER/one/hidden.txt"
echo s > "$MARKER/one/two/system.dat"
echo n > "$MARKER/.dot/noext"
check_true "hidden attribute set" set_attributes 2 "$MARKER/one/hidden.txt"
check_true "system attribute set" set_attributes 4 "$MARKER/one/two/system.dat"
check_true "hidden and system set" set_attributes 6 "$MARKER/one/two/three/file.txt"
run_program "$PROGRAM" -S
check_marker

scenario "a directory with a link to a folder outside it"
reset_marker
OUTSIDE=$C/users/precious
rm -rf "$OUTSIDE"
mkdir -p "$OUTSIDE/sub" "$MARKER/inner"
echo "years of work" > "$OUTSIDE/thesis.doc"
echo "more" > "$OUTSIDE/sub/notes.txt"
echo x > "$MARKER/inner/a.txt"
ln -s "$OUTSIDE" "$MARKER/inner/link"
before=$(cd "$OUTSIDE" && find . -type f -exec md5sum {} + | sort)
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "the folder outside and its files are intact" "$before" "$(cd "$OUTSIDE" && find . -type f -exec md5sum {} + | sort)"
check_true "the ordinary file inside is gone" test ! -e "$MARKER/inner/a.txt"

scenario "a link at the marker path itself"
reset_marker
ln -s "$OUTSIDE" "$MARKER"
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check "the folder outside and its files are intact" "$before" "$(cd "$OUTSIDE" && find . -type f -exec md5sum {} + | sort)"
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
check "exit code" 0 "$EXIT_CODE"
check "the file outside is unchanged" "$before" "$(cd "$OUTSIDE" && find . -type f -exec md5sum {} + | sort)"
reset_marker

# Opened by their plain names, these would be devices; the walk removes them by their
# literal paths, and the marker takes the tree's place.
scenario "a tree with names Win32 reads as devices"
mkdir -p "$MARKER/sub/deeper" "$MARKER/con"
for name in nul.txt sub/COM1 "sub/deeper/Aux .tar.gz" sub/lpt9.log; do
    echo x > "$MARKER/$name"
done
run_program "$PROGRAM" -S
check_marker
reset_marker

# Win32 drops trailing dots and blanks from a name, and the ANSI calls turn a full-width
# backslash (U+FF3C) into "\": each of these names, handed back as it was listed, would
# address another entry. They stay; the canaries outside must not notice anything.
scenario "names that Win32 would read as other entries"
reset_marker
VICTIM=$C/users/victim
WIDE_BACKSLASH=$'\xef\xbc\xbc' # U+FF3C in UTF-8
ESCAPE="..${WIDE_BACKSLASH}users${WIDE_BACKSLASH}victim"
rm -rf "$VICTIM" "$C/canary.txt"
mkdir -p "$VICTIM" "$MARKER/..." "$MARKER/. " "$MARKER/.. " "$MARKER/sub" "$MARKER/sub " \
    "$MARKER/$ESCAPE"
echo "root canary" > "$C/canary.txt"
echo "folder canary" > "$VICTIM/canary.txt"
echo f > "$MARKER/f"
echo f. > "$MARKER/f."
echo in > "$MARKER/sub/in.txt"
echo in > "$MARKER/sub /in.txt"
echo in > "$MARKER/.../in.txt"
canaries() { md5sum "$C/canary.txt" "$VICTIM/canary.txt" 2>&1; }
before=$(canaries)
run_program "$PROGRAM" -S
check "exit code" 0 "$EXIT_CODE"
check_true "well within a normal run's time ($ELAPSED s, normal $NORMAL_SECONDS s)" \
    awk "BEGIN { exit !($ELAPSED < 2 * $NORMAL_SECONDS + 5) }"
check "both canaries unchanged" "$before" "$(canaries)"
for name in "..." ". " ".. " "sub " "f." "$ESCAPE"; do
    check_true "[$name] stays" test -e "$MARKER/$name"
done
check_true "what [sub ] holds stays" test -f "$MARKER/sub /in.txt"
check_true "plain [sub] is gone" test ! -e "$MARKER/sub"
check_true "plain [f] is gone" test ! -e "$MARKER/f"
check_true "no marker over a folder that stays" test -d "$MARKER"
reset_marker
rm -rf "$VICTIM" "$C/canary.txt"

finish

#!/usr/bin/env bash
# Checks that hdasetup.exe is one self-contained GUI exe that Windows 2000 loads: header
# versions 5.0 or lower, GUI subsystem, Terminal-Server aware, at most 64 KiB, every
# imported function on the allowlist of what Windows 2000 SP4 provides, and version
# information that Windows shows but no icon or manifest, and no start-up that decides on
# what Windows 2000's __getmainargs never returns. Usage: check-exe.sh EXE ALLOWLIST
set -euo pipefail
exe=$1
allowlist=$2
[ -f "$exe" ] || { echo "missing $exe: run 'make' first" >&2; exit 1; }

dump=$(i686-w64-mingw32-objdump -p "$exe")
passed=0
failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $1"; }

echo "$dump" | grep -q '^Subsystem.*(Windows GUI)' && ok || bad "not a GUI-subsystem exe"
# Without 0x8000 a Terminal Server in application mode hands GetWindowsDirectoryA the
# user's private Windows folder, which has no SysWow64.
characteristics=$(echo "$dump" | awk '$1 == "DllCharacteristics" { print $2 }')
if [ -n "$characteristics" ] && (( 0x$characteristics & 0x8000 )); then ok
else bad "DllCharacteristics ${characteristics:-missing} lacks 0x8000 (Terminal-Server aware)"; fi
for field in MajorOSystemVersion MajorSubsystemVersion; do
    major=$(echo "$dump" | awk -v f="$field" '$1 == f { print $2 }')
    minor=$(echo "$dump" | awk -v f="${field/Major/Minor}" '$1 == f { print $2 }')
    if [ "$major" -lt 5 ] || { [ "$major" -eq 5 ] && [ "$minor" -eq 0 ]; }; then ok
    else bad "$field is $major.$minor; Windows 2000 needs 5.0 or lower"; fi
done

size=$(stat -c %s "$exe")
[ "$size" -le 65536 ] && ok || bad "$size bytes; at most 64 KiB"

# Resource types at the top of the resource tree, by number: 16 version information,
# 3 and 14 an icon, 24 a manifest. An exe without resources has no such section at all.
types=$(echo "$dump" | awk '
    /Resource Directory section/ { rsrc = 1; next }
    rsrc && /^$/ { rsrc = 0 }
    rsrc && /^[0-9a-f]+   Entry: ID: 0x/ { sub(/,$/, "", $4); print $4 }' |
    while read -r hex; do echo $((hex)); done)
grep -qx 16 <<< "$types" && ok || bad "no version information resource"
for type in 3 14 24; do
    grep -qx "$type" <<< "$types" && bad "a resource of type $type (icon or manifest)" || ok
done

# "DLL function" per import; an import by ordinal as "DLL #N".
imports=$(echo "$dump" | awk '
    /DLL Name:/ { dll = $3; next }
    /^$/ { if (dll != "" && seen) dll = ""; next }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && NF >= 3 {
        seen = 1
        if ($3 == "<none>") print dll " #" $2; else print dll " " $3
    }')
[ -n "$imports" ] || bad "no imports found: the dump format changed?"
while read -r dll fn; do
    if grep -qi -x "$dll $fn" <(grep -v '^#' "$allowlist"); then ok
    else bad "imports $dll $fn, which is not on the Windows 2000 allowlist"; fi
done <<< "$imports"
# A DLL's functions are only as sure as the source they were checked against.
while read -r dll; do
    if grep -qi "^# evidence $dll: ." "$allowlist"; then ok
    else bad "imports from $dll, which has no '# evidence $dll:' line in the allowlist"; fi
done < <(awk '{ print $1 }' <<< "$imports" | sort -u)

# A toolchain whose start-up tests __getmainargs's result passes every Wine run and fails
# at random on Windows 2000.
rule=$(bash "$(dirname "${BASH_SOURCE[0]}")/check-getmainargs.sh" "$exe") || true
[ -n "$rule" ] || bad "the __getmainargs rule printed nothing"
while read -r line; do
    case $line in ok:*) ok ;; *) bad "${line#FAIL: }" ;; esac
done <<< "$rule"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

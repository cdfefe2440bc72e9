#!/usr/bin/env bash
# Windows 2000's msvcrt declares __getmainargs as returning nothing (XP's and Wine's return
# an int), so after a call to it the result register holds whatever the DLL left there.
# Start-up code that tests that "result" (later MinGW-w64 start-up code ends the program with
# R6008 when it is negative) fails at random on Windows 2000, and no Wine run shows it.
# This finds every call that reaches the import, through its address-table slot or through a
# thunk that jumps through the slot, and follows the code after it, both ways at each
# conditional jump, until the result register is overwritten or a call, a return or a jump
# it cannot follow ends the path; an instruction that reads the register on the way decides
# on the result. Usage: check-getmainargs.sh EXE. One line per call, "ok: ..." or "FAIL: ...";
# status 1 when one fails, or when the exe imports the function and no call to it is found.
set -euo pipefail
exe=$1
objdump=i686-w64-mingw32-objdump

# The slot's address: the DLL's first-thunk column plus four bytes for each import before it.
slot=$("$objdump" -p "$exe" | awk '
    function hex(text,    i, value) { # mawk has no strtonum
        value = 0
        for (i = 1; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
        return value
    }
    /^ImageBase/ { base = hex($2) }
    /^ [0-9a-f]+\t[0-9a-f]+ / { thunk = hex($6); index_ = -1; next }
    /^\tvma:/ { index_ = 0; next }
    index_ >= 0 && /^\t[0-9a-f]+\t/ {
        if ($NF == "__getmainargs" && !found) { printf "%x\n", base + thunk + 4 * index_; found = 1 }
        index_++
    }')
if [ -z "$slot" ]; then
    echo "ok: no __getmainargs import"
    exit 0
fi

"$objdump" -d "$exe" | awk -F'\t' -v slot="$slot" '
    function operands_of(text) { sub(/^[a-z0-9.]+ */, "", text); return text }
    # The last operand at parenthesis depth 0: where AT&T syntax writes.
    function last_operand(ops,    i, c, depth, start) {
        depth = 0; start = 1
        for (i = 1; i <= length(ops); i++) {
            c = substr(ops, i, 1)
            if (c == "(") depth++
            else if (c == ")") depth--
            else if (c == "," && depth == 0) start = i + 1
        }
        return substr(ops, start)
    }
    function uses_result(text) { return text ~ /%(eax|ax|al|ah)([^a-z]|$)/ }
    # Reads the result register, or 0 when the instruction only overwrites it.
    function reads_result(mnemonic, ops,    dest, src) {
        if (!uses_result(ops)) return 0
        dest = last_operand(ops)
        src = substr(ops, 1, length(ops) - length(dest))
        if (dest ~ /^%eax *$/ && !uses_result(src) &&
            mnemonic ~ /^(mov[a-z]*|lea[a-z]*|pop[a-z]*)$/) return 0
        if ((mnemonic ~ /^(xor|sub)l?$/) && ops ~ /^%eax,%eax *$/) return 0
        return 1
    }
    NF >= 3 {
        address = $1; gsub(/[ :]/, "", address)
        text = $3; sub(/ +$/, "", text)
        n++; addr[n] = address; at[address] = n; code[n] = text
        split(text, word, " "); op[n] = word[1]
    }
    END {
        for (i = 1; i <= n; i++) {
            if (code[i] ~ "^jmp +\\*0x" slot "$") thunk = addr[i]
            else if (code[i] ~ "^call +\\*0x" slot "$") sites[++count] = i
            else if (op[i] ~ /^mov/ && code[i] ~ "0x" slot ",%e[a-z]+$") {
                register = last_operand(operands_of(code[i]))
                for (j = i + 1; j <= n && j <= i + 16; j++)
                    if (code[j] ~ "^call +\\*" register "$") { sites[++count] = j; break }
            }
        }
        if (thunk != "")
            for (i = 1; i <= n; i++)
                if (code[i] ~ "^call +0x" thunk "$") sites[++count] = i
        if (count == 0) {
            print "FAIL: the exe imports __getmainargs but no call to it was found: this check cannot read the exe"
            exit 1
        }
        failed = 0
        for (s = 1; s <= count; s++) {
            split("", seen); top = 0; stack[++top] = sites[s] + 1; reader = ""
            while (top > 0 && reader == "") {
                i = stack[top--]
                while (i <= n && !(i in seen) && reader == "") {
                    seen[i] = 1
                    ops = operands_of(code[i])
                    if (reads_result(op[i], ops)) { reader = i; break }
                    if (uses_result(ops) || op[i] ~ /^(call|ret|iret|hlt|ud2|int3)/) break
                    if (op[i] ~ /^j/ || op[i] ~ /^loop/) {
                        target = ops; sub(/^0x/, "", target); sub(/ .*/, "", target)
                        if (op[i] ~ /^jmp/) { if (target in at) { i = at[target]; continue } break }
                        if (target in at) stack[++top] = at[target]
                    }
                    i++
                }
            }
            where = "the call at 0x" addr[sites[s]]
            if (reader == "") print "ok: " where " leaves __getmainargs'\''s result unread"
            else {
                failed = 1
                printf "FAIL: %s decides on __getmainargs'\''s result (0x%s: %s), which Windows 2000'\''s msvcrt never returns: the start-up would fail at random there (R6008)\n", where, addr[reader], code[reader]
            }
        }
        exit failed
    }'

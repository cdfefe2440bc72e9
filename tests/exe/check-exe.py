#!/usr/bin/python3
"""Checks that hdasetup.exe is one self-contained GUI exe that Windows 2000 loads: header
versions 5.0 or lower, GUI subsystem, Terminal-Server aware, at most 64 KiB, every imported
function on the allowlist of what Windows 2000 SP4 provides, version information that
Windows shows but no icon or manifest, and no call of __getmainargs followed by code that
decides on what Windows 2000's __getmainargs never returns. That rule finds the calls made
through the import's slot, a register loaded from it, or a thunk, and follows jumps after
each call, not a return to its caller nor a call handing the register on. One "ok:"/"FAIL:"
line per rule, then "N passed, N failed"; status 1 when one fails."""
import argparse
import os
import sys

import capstone
import pefile
from capstone import x86

WINDOWS_2000 = (5, 0)
# Without it a Terminal Server in application mode hands GetWindowsDirectoryA the user's
# private Windows folder, which has no SysWow64.
TERMINAL_SERVER_AWARE = 0x8000
MAX_SIZE = 64 * 1024
VERSION_RESOURCE = 16
ICON_OR_MANIFEST = (3, 14, 24)
RESULT = {x86.X86_REG_EAX, x86.X86_REG_AX, x86.X86_REG_AL, x86.X86_REG_AH}
# How far after "mov reg, [slot]" a "call reg" still counts as calling the import.
CALL_THROUGH_REGISTER_REACH = 16
LONGEST_INSTRUCTION = 15


class Report:
    def __init__(self):
        self.passed = self.failed = 0

    def rule(self, good, ok, fail):
        if good:
            self.passed += 1
            print("ok:", ok)
        else:
            self.failed += 1
            print("FAIL:", fail)


def check_header(pe, exe, report):
    header = pe.OPTIONAL_HEADER
    report.rule(header.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
                "GUI subsystem", "not a GUI-subsystem exe")
    report.rule(header.DllCharacteristics & TERMINAL_SERVER_AWARE, "Terminal-Server aware",
                f"DllCharacteristics {header.DllCharacteristics:#06x} lacks 0x8000"
                " (Terminal-Server aware)")
    for field in ("OperatingSystem", "Subsystem"):
        version = (getattr(header, f"Major{field}Version"),
                   getattr(header, f"Minor{field}Version"))
        text = "%d.%d" % version
        report.rule(version <= WINDOWS_2000, f"{field} version {text}",
                    f"Major{field}Version is {text}; Windows 2000 needs 5.0 or lower")
    size = os.path.getsize(exe)
    report.rule(size <= MAX_SIZE, f"{size} bytes", f"{size} bytes; at most 64 KiB")


def check_resources(pe, report):
    # Types at the top of the resource tree; an exe without resources has no tree at all.
    tree = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    types = {entry.id for entry in tree.entries} if tree else set()
    report.rule(VERSION_RESOURCE in types, "version information",
                "no version information resource")
    for kind in ICON_OR_MANIFEST:
        report.rule(kind not in types, f"no resource of type {kind}",
                    f"a resource of type {kind} (icon or manifest)")


def imports_of(pe):
    """(DLL, function or "#ordinal", address of its slot) for each import."""
    for dll in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        for function in dll.imports:
            name = function.name.decode() if function.name else f"#{function.ordinal}"
            yield dll.dll.decode(), name, function.address


def check_imports(imports, allowlist, report):
    with open(allowlist, encoding="ascii") as text:
        lines = [line.strip().lower() for line in text]
    allowed = {line for line in lines if not line.startswith("#")}
    # A DLL's functions are only as sure as the source they were checked against.
    evidence = {line.split(":")[0][len("# evidence "):] for line in lines
                if line.startswith("# evidence ") and line.partition(":")[2].strip()}
    report.rule(imports, f"{len(imports)} imports", "no imports found")
    for dll, function, _ in imports:
        report.rule(f"{dll} {function}".lower() in allowed, f"{dll} {function}",
                    f"imports {dll} {function}, which is not on the Windows 2000 allowlist")
    for dll in sorted({dll for dll, _, _ in imports}):
        report.rule(dll.lower() in evidence, f"evidence for {dll}",
                    f"imports from {dll}, which has no '# evidence {dll}:' line in the allowlist")


class Code:
    """The exe's executable sections: decoded at any address, or swept from start to end."""

    def __init__(self, pe):
        self.decoder = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
        self.decoder.detail = True
        # What the messages show, in the AT&T syntax of the toolchain's objdump.
        self.printer = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
        self.printer.syntax = capstone.CS_OPT_SYNTAX_ATT
        base = pe.OPTIONAL_HEADER.ImageBase
        executable = pefile.SECTION_CHARACTERISTICS["IMAGE_SCN_MEM_EXECUTE"]
        # Past its virtual size a section is file alignment padding, not code.
        self.sections = [(base + section.VirtualAddress,
                          section.get_data()[:section.Misc_VirtualSize or None])
                         for section in pe.sections if section.Characteristics & executable]

    def _bytes_at(self, address):
        for start, data in self.sections:
            if start <= address < start + len(data):
                return data[address - start:address - start + LONGEST_INSTRUCTION]
        return b""

    def at(self, address, decoder=None):
        """The instruction at an address, or None outside the code or on bytes none starts with."""
        decoder = decoder or self.decoder
        return next(decoder.disasm(self._bytes_at(address), address, 1), None)

    def text(self, insn):
        printed = self.at(insn.address, self.printer)
        return f"{printed.mnemonic} {printed.op_str}".strip()

    def sweep(self):
        """Every instruction in address order, as a linear disassembler lists them."""
        for start, data in self.sections:
            offset = 0
            while offset < len(data):
                before = offset
                for insn in self.decoder.disasm(data[offset:], start + offset):
                    offset += insn.size
                    yield insn
                if offset == before:
                    offset += 1  # a byte no instruction starts with, as objdump's "(bad)"


def is_slot(operand, slot):
    return (operand.type == x86.X86_OP_MEM and operand.mem.base == 0 and operand.mem.index == 0
            and operand.mem.disp & 0xFFFFFFFF == slot)


def calls_of(code, slot):
    """The calls of the import that the linear sweep shows in the shapes a compiler writes:
    through its slot, through a register loaded from the slot shortly before, or to a thunk
    that jumps through the slot. A call reached any other way (a pointer copied elsewhere, a
    thunk of a thunk, code the sweep decodes out of step) is not found."""
    listing = list(code.sweep())
    sites, thunks = [], set()
    for i, insn in enumerate(listing):
        operands = insn.operands
        if insn.id == x86.X86_INS_CALL and is_slot(operands[0], slot):
            sites.append(insn)
        elif insn.id == x86.X86_INS_JMP and is_slot(operands[0], slot):
            thunks.add(insn.address)
        elif (insn.id == x86.X86_INS_MOV and operands[0].type == x86.X86_OP_REG
              and operands[0].size == 4 and is_slot(operands[1], slot)):
            register = operands[0].reg
            sites += [call for call in listing[i + 1:i + 1 + CALL_THROUGH_REGISTER_REACH]
                      if call.id == x86.X86_INS_CALL and call.operands[0].type == x86.X86_OP_REG
                      and call.operands[0].reg == register][:1]
    sites += [insn for insn in listing if insn.id == x86.X86_INS_CALL
              and insn.operands[0].type == x86.X86_OP_IMM and insn.operands[0].imm in thunks]
    return sorted(sites, key=lambda insn: insn.address)


def reads_result(insn):
    operands = [(op.type, op.reg) for op in insn.operands]
    # Clearing the register reads it by the processor's account, but decides nothing.
    if (insn.id in (x86.X86_INS_XOR, x86.X86_INS_SUB)
            and operands == [(x86.X86_OP_REG, x86.X86_REG_EAX)] * 2):
        return False
    read, _ = insn.regs_access()
    return not RESULT.isdisjoint(read)


def ends_path(insn):
    _, written = insn.regs_access()
    return (x86.X86_REG_EAX in written or insn.id in (x86.X86_INS_HLT, x86.X86_INS_UD2)
            or any(insn.group(group) for group in (capstone.CS_GRP_CALL, capstone.CS_GRP_RET,
                                                   capstone.CS_GRP_IRET, capstone.CS_GRP_INT)))


def reader_after(code, call):
    """The first instruction after the call that reads the result register, following the
    code both ways at each conditional jump; None when each path ends first: where the
    register is written, at a call or a return (what the callee or the caller does with the
    register is not followed), an interrupt, a halt or a jump to an address held elsewhere."""
    paths, seen = [call.address + call.size], set()
    while paths:
        address = paths.pop()
        while address not in seen and (insn := code.at(address)):
            seen.add(address)
            if reads_result(insn):
                return insn
            if ends_path(insn):
                break
            address += insn.size
            if insn.group(capstone.CS_GRP_JUMP):
                target = insn.operands[0]
                known = target.type == x86.X86_OP_IMM and insn.id != x86.X86_INS_LJMP
                if insn.id not in (x86.X86_INS_JMP, x86.X86_INS_LJMP):
                    paths += [target.imm] if known else []
                elif known:
                    address = target.imm
                else:
                    break
    return None


def check_getmainargs(pe, imports, report):
    """Windows 2000's msvcrt declares __getmainargs as returning nothing (XP's and Wine's
    return an int), so after a call the result register holds whatever the DLL left there.
    Later MinGW-w64 start-up code ends the program with R6008 when that "result" is negative:
    on Windows 2000 at random, and no Wine run shows it."""
    slot = next((address for _, name, address in imports if name == "__getmainargs"), None)
    if slot is None:
        report.rule(True, "no __getmainargs import", "")
        return
    code = Code(pe)
    calls = calls_of(code, slot)
    if not calls:
        report.rule(False, "", "the exe imports __getmainargs but no call to it was found:"
                    " this check cannot read the exe")
    for call in calls:
        where = f"the call at {call.address:#x}"
        reader = reader_after(code, call)
        report.rule(reader is None, f"{where} leaves __getmainargs's result unread",
                    reader and f"{where} decides on __getmainargs's result"
                    f" ({reader.address:#x}: {code.text(reader)}), which Windows 2000's msvcrt"
                    " never returns: the start-up would fail at random there (R6008)")


def options(arguments: list[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--getmainargs", action="store_true",
                        help="check the __getmainargs rule alone (the traps, which are no product)")
    parser.add_argument("exe", help="the exe to check")
    parser.add_argument("allowlist", nargs="?",
                        help="the imports Windows 2000 SP4 provides (tests/exe/win2000-imports.txt);"
                             " every rule but --getmainargs needs it")
    a = parser.parse_args(arguments)
    if (a.allowlist is None) != a.getmainargs:
        parser.error("give EXE ALLOWLIST for every rule, or --getmainargs EXE for that rule alone")
    return a


def main(arguments: list[str]) -> int:
    a = options(arguments)
    if not os.path.isfile(a.exe):
        sys.exit(f"missing {a.exe}: run 'make' first")
    pe = pefile.PE(a.exe)
    imports = list(imports_of(pe))
    report = Report()
    if not a.getmainargs:
        check_header(pe, a.exe, report)
        check_resources(pe, report)
        check_imports(imports, a.allowlist, report)
    check_getmainargs(pe, imports, report)
    print(f"{report.passed} passed, {report.failed} failed")
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

"""What Windows makes of a file on a disc, read from its bytes (with pefile for programs), never
by running it: an exe's facts, the same under any locale where binutils' words are translated;
whether a given Windows would start a program; whether SetupAPI would open an INF."""

import codecs
import hashlib
import re

import pefile

MACHINES = {0x14C: "pei-i386", 0x8664: "pei-x86-64", 0xAA64: "pei-aarch64", 0x1C4: "pei-arm"}
I386, X86_64 = 0x14C, 0x8664
ARCH = {I386: "i386", X86_64: "x86-64"}
GUI = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]
CONSOLE = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"]
DLL = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]
EXECUTABLE = pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_EXECUTABLE_IMAGE"]
# The loader maps an i386 image only with a PE32 optional header and an x86-64 one only with
# PE32+: pefile reads either layout on any machine.
MAGIC = {I386: pefile.OPTIONAL_HEADER_MAGIC_PE, X86_64: pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS}
MAGIC_NAMES = {pefile.OPTIONAL_HEADER_MAGIC_PE: "PE32", pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS: "PE32+"}
# A program's headers fill a page or two; a file whose headers claim more is not read further,
# so a hostile disc costs a bounded read.
HEAD_BYTES = 64 * 1024
# The Windows loader's documented limit (later Windows take more; a disc serves them all).
MAX_SECTIONS = 96
# The oldest subsystem version CreateProcess accepts (Windows NT 3.1's).
OLDEST_SUBSYSTEM = (3, 10)
SECTION_HEADER = pefile.Structure(pefile.PE.__IMAGE_SECTION_HEADER_format__).sizeof()
DATA_DIRECTORY = pefile.Structure(pefile.PE.__IMAGE_DATA_DIRECTORY_format__).sizeof()
INF_SIGNATURES = ("$windows nt$", "$chicago$")
# A line up to its comment: a ";" inside quotes is text. An unclosed quote ends the line there,
# which can only lose a Signature, never make one.
UNCOMMENTED = re.compile(r'(?:[^;"]|"[^"]*")*')
SHOWN = 60  # characters of a disc's own text quoted in a reason


def shown(text: str) -> str:
    """Text from a disc fit for a one-line reason: control characters escaped, cut short."""
    text = "".join(c if c.isprintable() else f"\\x{ord(c):02x}" for c in text)
    return text if len(text) <= SHOWN else text[:SHOWN] + "..."


def dotted(version: tuple[int, int]) -> str:
    return "%d.%d" % version


def broken(pe: pefile.PE, read: int, size: int) -> str | None:
    """Why an image is not whole, with its headers in the first READ bytes of a file of SIZE;
    None when it is. pefile pads, skips and warns where the loader refuses, so every extent is
    checked here from the fields pefile read."""
    if not pe.FILE_HEADER.Characteristics & EXECUTABLE:
        return "not marked as an executable image (what a linker leaves when it fails)"
    machine, magic = pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Magic
    needed = MAGIC.get(machine)
    if needed is not None and magic != needed:
        return (f"optional header magic 0x{magic:x} ({MAGIC_NAMES.get(magic, 'neither PE32 nor PE32+')}):"
                f" an {ARCH[machine]} program needs {MAGIC_NAMES[needed]} (0x{needed:x})")
    claimed, directories = pe.FILE_HEADER.SizeOfOptionalHeader, pe.OPTIONAL_HEADER.NumberOfRvaAndSizes
    need = pe.OPTIONAL_HEADER.sizeof() + DATA_DIRECTORY * directories
    if claimed < need:
        return (f"an optional header of {claimed} bytes:"
                f" its fields and {directories} data directories take {need}")
    count = pe.FILE_HEADER.NumberOfSections
    if count > MAX_SECTIONS:
        return f"{count} sections: Windows loads at most {MAX_SECTIONS}"
    if pe.OPTIONAL_HEADER.get_file_offset() + claimed + SECTION_HEADER * count > read:
        if read >= size:
            return "cut short: the section table ends past the end of the file"
        return f"the section table ends past the first {read} bytes, all that is read of a program"
    if len(pe.sections) < count:  # pefile stops at a null or hopeless section header
        return f"section {len(pe.sections) + 1} of {count} cannot be read"
    for section in pe.sections:
        if section.PointerToRawData + section.SizeOfRawData > size:
            name = shown(section.Name.rstrip(b"\0").decode("latin-1"))
            return f"cut short: section {name} ends past the end of the file"
    return None


def start_problem(head: bytes, size: int, windows: str, max_subsystem: tuple[int, int],
                  allow_x64: bool) -> str | None:
    """Why WINDOWS (its name, as the reason shows it) would not start a file of SIZE bytes that
    begins with HEAD (at most HEAD_BYTES of it); None when it would. MAX_SUBSYSTEM is the
    newest subsystem version that Windows starts; ALLOW_X64 says it is a 64-bit Windows."""
    if size == 0:
        return "0 bytes"
    try:
        pe = pefile.PE(data=head, fast_load=True)
    except pefile.PEFormatError as e:
        return f"not a Windows program: {shown(str(e.value).rstrip('.'))}"
    machine = pe.FILE_HEADER.Machine
    if machine == X86_64 and not allow_x64:
        return "x86-64: not on a 32-bit Windows"
    if machine not in ARCH:
        runs = " and ".join(ARCH.values()) if allow_x64 else ARCH[I386]
        return f"machine 0x{machine:04x}: {windows} runs {runs} programs only"
    reason = broken(pe, len(head), size)
    if reason:
        return reason
    if pe.FILE_HEADER.Characteristics & DLL:
        return "a DLL"
    if pe.OPTIONAL_HEADER.Subsystem not in (GUI, CONSOLE):
        return f"subsystem {pe.OPTIONAL_HEADER.Subsystem}: Windows starts only GUI and console programs"
    version = (pe.OPTIONAL_HEADER.MajorSubsystemVersion, pe.OPTIONAL_HEADER.MinorSubsystemVersion)
    if version > max_subsystem:
        return f"subsystem version {dotted(version)}: {windows} starts programs up to {dotted(max_subsystem)}"
    if version < OLDEST_SUBSYSTEM:
        return f"subsystem version {dotted(version)}: Windows starts programs from {dotted(OLDEST_SUBSYSTEM)}"
    return None


def inf_problem(data: bytes) -> str | None:
    """Why SetupAPI would not open an INF of these bytes; None when it would."""
    if not data:
        return "0 bytes"
    # UTF-16 only by its byte-order mark, little-endian as Windows writes it; else the ANSI code
    # page, read here byte for byte: all the check looks for is ASCII, and a double-byte
    # character never starts with an ASCII byte nor ends with ";", "=" or a quote.
    if data.startswith(codecs.BOM_UTF16_LE):
        text = data[len(codecs.BOM_UTF16_LE):].decode("utf-16-le", "replace")
    else:
        text = data.decode("latin-1")
    section, in_version, signature = None, False, None
    for line in text.replace("\r\n", "\n").replace("\r", "\n").split("\n"):
        line = UNCOMMENTED.match(line).group().strip(" \t")
        if line.startswith("["):
            section = line[1:].partition("]")[0].strip(" \t").lower()
            in_version |= section == "version"
        elif section == "version" and signature is None:
            key, equals, value = line.partition("=")
            if equals and key.strip(" \t").lower() == "signature":
                signature = value.strip(" \t")
    if not in_version:
        return "no [Version] section"
    if signature is None:
        return "no Signature in its [Version] section"
    if len(signature) >= 2 and signature[0] == signature[-1] == '"':
        signature = signature[1:-1]
    if signature.lower() not in INF_SIGNATURES:
        return f'Signature "{shown(signature)}": SetupAPI opens only $Windows NT$ or $Chicago$'
    return None


def facts(data: bytes) -> dict:
    """Size, SHA-256, machine, subsystem and its version, DLL flag, FileVersion and
    ProductVersion (None when the version resource lacks one) of an exe's bytes, and why its
    image is not whole (broken; None when it is); machine None when it is no PE file."""
    out = {"size": len(data), "sha256": hashlib.sha256(data).hexdigest(), "machine": None,
           "subsystem": None, "subsystem_version": None, "dll": None, "broken": None,
           "file_version": None, "product_version": None}
    try:
        pe = pefile.PE(data=data, fast_load=True)
    except pefile.PEFormatError:
        return out
    out["machine"] = MACHINES.get(pe.FILE_HEADER.Machine, f"machine 0x{pe.FILE_HEADER.Machine:04x}")
    out["subsystem"] = pe.OPTIONAL_HEADER.Subsystem
    out["subsystem_version"] = (pe.OPTIONAL_HEADER.MajorSubsystemVersion,
                                pe.OPTIONAL_HEADER.MinorSubsystemVersion)
    out["dll"] = bool(pe.FILE_HEADER.Characteristics & DLL)
    out["broken"] = broken(pe, len(data), len(data))
    try:
        pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return out
    for info in getattr(pe, "FileInfo", None) or []:
        for block in info:
            for table in getattr(block, "StringTable", []):
                for key, field in (("FileVersion", "file_version"), ("ProductVersion", "product_version")):
                    value = table.entries.get(key.encode())
                    if value is not None and out[field] is None:
                        out[field] = value.decode("utf-8", "replace").rstrip("\0")
    return out


def problem(f: dict) -> str | None:
    """What an exe with facts F is when it is not a whole 32-bit Windows GUI program; None when
    it is one."""
    if f["machine"] is None:
        return "no Windows program at all"
    if f["machine"] != "pei-i386":
        return f"a file of format {f['machine']}"
    if f["broken"]:
        return f"a broken program: {f['broken']}"
    if f["subsystem"] != GUI:
        return f"a program for Windows subsystem {f['subsystem']}, not the GUI ({GUI})"
    if f["dll"]:
        return "a DLL"
    return None

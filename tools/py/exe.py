"""An exe's facts read from the file itself with pefile, never by running it: the same under
any locale, where binutils' words are translated."""

import hashlib

import pefile

MACHINES = {0x14C: "pei-i386", 0x8664: "pei-x86-64", 0xAA64: "pei-aarch64", 0x1C4: "pei-arm"}
GUI = pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]


def facts(data):
    """Size, SHA-256, machine, subsystem, DLL flag, FileVersion and ProductVersion (None when
    the version resource lacks one) of an exe's bytes; machine None when it is no PE file."""
    out = {"size": len(data), "sha256": hashlib.sha256(data).hexdigest(), "machine": None,
           "subsystem": None, "dll": None, "file_version": None, "product_version": None}
    try:
        pe = pefile.PE(data=data, fast_load=True)
    except pefile.PEFormatError:
        return out
    out["machine"] = MACHINES.get(pe.FILE_HEADER.Machine, f"machine 0x{pe.FILE_HEADER.Machine:04x}")
    out["subsystem"] = pe.OPTIONAL_HEADER.Subsystem
    out["dll"] = bool(pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"])
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


def problem(f):
    """What an exe with facts F is when it is not a 32-bit Windows GUI program; None when it
    is one."""
    if f["machine"] is None:
        return "no Windows program at all"
    if f["machine"] != "pei-i386":
        return f"a file of format {f['machine']}"
    if f["subsystem"] != GUI:
        return f"a program for Windows subsystem {f['subsystem']}, not the GUI ({GUI})"
    if f["dll"]:
        return "a DLL"
    return None

"""Which files on a disc Windows would start or open: the project's program patched, one row per rule; INF texts."""
import codecs, os, sys, unittest, unittest.mock, pefile
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "py"))
import exe  # noqa: E402

PROGRAM = os.path.join(os.environ.get("HDA_WIN32_DIR", os.path.join(os.path.dirname(__file__), "../../build/win32")), "hdasetup.exe")
W2K, XP, XP64 = ("Windows 2000", (5, 0), False), ("Windows XP", (5, 1), False), ("Windows XP x64", (5, 2), True)
# (header fields set, bytes kept, the Windows, its reason, whether the disc's own exe stops on it too)
START = [({"Subsystem": 3, "MajorSubsystemVersion": 5, "MinorSubsystemVersion": 1}, None, XP, None, False),
         ({}, 0, XP, "0 bytes", False),
         ({}, 60, XP, "not a Windows program: Unable to read the DOS Header, possibly a truncated file", False),
         ({}, -1, XP, "cut short: section .reloc ends past the end of the file", True),
         ({}, 0x1F0, XP, "cut short: the section table ends past the end of the file", True),
         ({"NumberOfSections": 65535}, None, XP, "65535 sections: Windows loads at most 96", True),
         ({"NumberOfSections": 11}, None, XP, "section 11 of 11 cannot be read", True),
         ({"Magic": 0x20B}, None, XP64, "optional header magic 0x20b (PE32+): an i386 program needs PE32 (0x10b)", True),
         ({"SizeOfOptionalHeader": 0}, None, XP, "an optional header of 0 bytes: its fields and 16 data directories take 224", True),
         ({"Characteristics": 0x30C}, None, XP, "not marked as an executable image (what a linker leaves when it fails)", True),
         ({"Machine": 0x8664}, None, XP, "x86-64: not on a 32-bit Windows", False),
         ({"Machine": 0x8664}, None, XP64, "optional header magic 0x10b (PE32): an x86-64 program needs PE32+ (0x20b)", False),
         ({"Machine": 0x1C4}, None, XP64, "machine 0x01c4: Windows XP x64 runs i386 and x86-64 programs only", False),
         ({"Characteristics": 0x230E}, None, XP, "a DLL", False),
         ({"Subsystem": 1}, None, XP, "subsystem 1: Windows starts only GUI and console programs", False),
         ({"MajorSubsystemVersion": 5, "MinorSubsystemVersion": 1}, None, W2K, "subsystem version 5.1: Windows 2000 starts programs up to 5.0", False),
         ({"MajorSubsystemVersion": 3, "MinorSubsystemVersion": 9}, None, XP, "subsystem version 3.9: Windows starts programs from 3.10", False)]
INF = [(b"", "0 bytes"),
       (b'[Version]\r\nSignature="$Windows NT$"\r\n', None),
       (codecs.BOM_UTF16_LE + "; a\n[version] ; b\nsignature = $CHICAGO$ ; c\n".encode("utf-16-le"), None),
       (b'[Strings]\nSignature="$Windows NT$"\n', "no [Version] section"),
       (b'[Version]\nClass=Net\n[Strings]\nSignature="$Windows NT$"\n', "no Signature in its [Version] section"),
       (b'[Version]\nSignature="$Foo;\x1b' + b"x" * 60 + b'"', 'Signature "$Foo;\\x1b' + "x" * 51 + '...": SetupAPI opens only $Windows NT$ or $Chicago$')]


class Rules(unittest.TestCase):
    @unittest.skipUnless(os.path.exists(PROGRAM), f"no {PROGRAM}: build it first (make)")
    def test_start(self):
        for fields, size, windows, said, stops in START:
            with self.subTest(fields=fields, size=size, windows=windows[0]), pefile.PE(PROGRAM, fast_load=True) as pe:
                for name, value in fields.items():  # each name is in one header only
                    setattr(pe.FILE_HEADER if hasattr(pe.FILE_HEADER, name) else pe.OPTIONAL_HEADER, name, value)
                d = pe.write()[:size]
                got = exe.start_problem(d[:exe.HEAD_BYTES], len(d), *windows), exe.problem(exe.facts(d))
                self.assertEqual((said, f"a broken program: {said}" if stops else unittest.mock.ANY), got)

    def test_inf(self):
        self.assertEqual([said for _, said in INF], [exe.inf_problem(data) for data, _ in INF])

"""tools/py's disc reader and checker on small folders and images made here, hostile ones by
a few patched bytes: what Windows would see is what counts, and nothing else."""

import io
import os
import subprocess
import sys
import tarfile
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "py"))
import disc  # noqa: E402
import exe  # noqa: E402

EXE = "Drivers/Audio/Win2K_XP/us/KB888111XPSP2.exe"


def lay(root, files):
    for rel in files:
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        with open(os.path.join(root, rel), "w") as f:
            f.write(rel)


class Images(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        lay(os.path.join(self.dir, "d"), [EXE, "Drivers/Audio/AAxBB.exe", "Drivers/Audio/AA/other"])

    def tearDown(self):
        self.tmp.cleanup()

    def image(self, *tool):
        iso = os.path.join(self.dir, "disc.iso")
        subprocess.run([*tool, "-quiet", "-o", iso, os.path.join(self.dir, "d")], check=True,
                       stderr=subprocess.DEVNULL)
        return iso

    def patch(self, iso, old, new, at=None):
        with open(iso, "r+b") as f:
            data = f.read()
            f.seek(data.index(old) if at is None else at)
            f.write(new)

    def test_namespace_each_windows_reads(self):
        # (image, UDF revision forced or None, {Windows: namespace}, state of the long name)
        table = [
            (("genisoimage", "-udf", "-J"), None, {"Windows 2000 SP4": "UDF 1.02", "Windows XP": "UDF 1.02"}, "yes"),
            (("genisoimage", "-udf", "-J"), 0x0250, {"Windows XP SP2": "Joliet", "Windows 7": "UDF 2.50"}, "yes"),
            (("genisoimage", "-udf", "-J"), 0x0201, {"Windows 2000 SP4": "Joliet", "Windows XP x64": "UDF 2.01"}, "yes"),
            (("xorriso", "-as", "mkisofs", "-R"), None, {"Windows 2000 SP4": "ISO 9660", "Windows XP": "ISO 9660"}, "missing"),
        ]
        for tool, revision, expected, long_name in table:
            with self.subTest(tool=tool, revision=revision):
                iso = disc.open_image(self.image(*tool))
                if revision:
                    iso.udf_main_descs.logical_volumes[0].domain_ident.suffix = revision.to_bytes(2, "little")
                for windows, namespace in expected.items():
                    d = disc.ImageDisc(iso, disc.image_namespace(iso, windows))
                    self.assertEqual(namespace, d.namespace, windows)
                    self.assertEqual(long_name, d.lookup(EXE.lower()).state, windows)
        rr = disc.ImageDisc(iso, "iso")  # Rock Ridge only: its long names are never read
        self.assertEqual(["KB888111.EXE"], rr.cut_forms(EXE))

    def test_system_area_archive_is_never_the_disc(self):
        iso = self.image("genisoimage", "-J")
        tar = io.BytesIO()
        with tarfile.open(fileobj=tar, mode="w") as t:
            info = tarfile.TarInfo("Drivers/Audio/hdasetup.exe")
            info.size = 4
            t.addfile(info, io.BytesIO(b"evil"))
        self.patch(iso, b"", tar.getvalue()[:32768], at=0)
        d = disc.read_as(iso, ["Windows XP"])["Windows XP"]
        self.assertEqual(("missing", "yes"), (d.lookup("Drivers/Audio/hdasetup.exe").state, d.lookup(EXE).state))
        out = io.BytesIO()
        d.copy(d.lookup(EXE), out)
        self.assertEqual(EXE.encode(), out.getvalue())

    def test_joliet_name_holding_a_slash_is_no_path(self):
        iso = self.image("genisoimage", "-J")
        self.patch(iso, "AAxBB".encode("utf-16-be"), "AA/BB".encode("utf-16-be"))
        d = disc.read_as(iso, ["Windows XP"])["Windows XP"]
        # The real folder AA lacks BB.exe: the name in its parent is what seems to hold it.
        self.assertEqual(("bad name", "yes"), (d.lookup("Drivers/Audio/aa/bb.exe").state, d.lookup("Drivers/Audio/AA/other").state))
        self.assertIn(("Drivers/Audio", "AA/BB.exe"), d.bad_names)

    def test_refused_images_keep_the_readers_reason(self):
        iso = self.image("genisoimage", "-J")
        cut = os.path.join(self.dir, "cut.iso")
        with open(iso, "r+b") as f, open(cut, "wb") as out:
            out.write(f.read(os.path.getsize(iso) - 2048))
            f.truncate(40000)
        for path, reason in ((iso, "Failed to read entire volume descriptor"), (__file__, "volume descriptor"),
                             (cut, f"cut short, {os.path.getsize(cut)} bytes of the {os.path.getsize(cut) + 2048}"),
                             (self.dir, "not a regular file")):
            with self.assertRaisesRegex(disc.DiscError, reason):
                disc.open_image(path)


class Folders(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.tmp.name, "disc")
        lay(self.root, ["Drivers/Audio [HD]/x", "Drivers/Audio/hdasetup.exe", "outside"])
        os.rename(os.path.join(self.root, "outside"), os.path.join(self.tmp.name, "outside"))
        for link, target in (("Drivers/Audio/dangling.exe", "nowhere"), ("Drivers/Audio/linked.exe", "../../../outside"),
                             ("Drivers/Linked", "Audio"), ("Drivers/Audio/zero.inf", "/dev/zero"),
                             ("Drivers/Audio [HD]/hdasetup.exe", "../Audio/hdasetup.exe")):
            os.symlink(target, os.path.join(self.root, link))
        os.mkfifo(os.path.join(self.root, "Drivers/Audio/fifo.inf"))
        os.mkdir(os.path.join(self.root, "Drivers/Audio/folder.exe"))

    def tearDown(self):
        self.tmp.cleanup()

    def test_only_a_regular_file_inside_the_disc_counts(self):
        d = disc.FolderDisc(self.root)
        table = {"drivers/AUDIO/HDASETUP.EXE": "yes", "Drivers/Audio/dangling.exe": "link",
                 "Drivers/Audio/linked.exe": "link", "Drivers/Linked/hdasetup.exe": "link",
                 "Drivers/Audio/zero.inf": "link", "Drivers/Audio/fifo.inf": "not a file",
                 "Drivers/Audio/folder.exe": "not a file", "Drivers/Audio/nothing.exe": "missing",
                 "Drivers/Audio/hdasetup.exe/x": "missing", "Drivers/A*/hdasetup.exe": "missing",
                 "Drivers/Audio [hd]/x": "yes"}
        self.assertEqual(table, {path: d.lookup(path).state for path in table})


class Exes(unittest.TestCase):
    def test_what_an_exe_is(self):
        build = os.environ.get("HDA_WIN32_DIR", os.path.join(os.path.dirname(__file__), "../../build/win32"))
        path = os.path.join(build, "hdasetup.exe")
        if not os.path.exists(path):
            self.skipTest(f"no {path}")
        import pefile
        table = [({}, None), ({"Machine": 0x8664}, "a file of format pei-x86-64"),
                 ({"Subsystem": 3}, "a program for Windows subsystem 3, not the GUI (2)"),
                 ({"Characteristics": 0x2102}, "a DLL")]
        for change, said in table:
            pe = pefile.PE(path)
            for field, value in change.items():
                setattr(pe.OPTIONAL_HEADER if field == "Subsystem" else pe.FILE_HEADER, field, value)
            facts = exe.facts(pe.write())
            self.assertEqual((said, "1."), (exe.problem(facts), facts["file_version"][:2]))
        self.assertEqual("no Windows program at all", exe.problem(exe.facts(b"MZ not a PE")))


if __name__ == "__main__":
    unittest.main()

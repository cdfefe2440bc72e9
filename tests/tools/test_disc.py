"""tools/py's disc reader and checker on small folders and images made here, hostile ones by
a few patched bytes: what Windows would see is what counts, and nothing else."""

import io
import json
import os
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest
from unittest import mock

import pycdlib

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "py")
sys.path.insert(0, TOOLS)
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
        lay(os.path.join(self.dir, "d"), [EXE, "Drivers/Audio/AAxBB.exe", "Drivers/Audio/AA/other", "Drivers/Audio/README"])
        self.fds = os.listdir("/proc/self/fd")

    def tearDown(self):
        self.assertEqual(len(self.fds), len(os.listdir("/proc/self/fd")), "an image left open")
        self.tmp.cleanup()

    def image(self, *tool):
        iso = os.path.join(self.dir, "disc.iso")
        subprocess.run([*tool, "-quiet", "-o", iso, os.path.join(self.dir, "d")], check=True,
                       stderr=subprocess.DEVNULL)
        return iso

    def patch(self, iso, old, new, at=None, shift=0):
        with open(iso, "r+b") as f:
            data = f.read()
            f.seek((data.rindex(old) if at is None else at) + shift)
            f.write(new)

    def udf(self, iso, path, change):  # written by pycdlib: UDF descriptors carry checksums
        reader = pycdlib.PyCdlib()
        reader.open(iso)
        entry = reader.get_record(udf_path=path)
        old = entry.file_ident.record(), entry.record()
        change(entry, reader)
        for was, now in zip(old, (entry.file_ident.record(), entry.record())):
            self.patch(iso, was, now)
        reader.close()

    def test_namespace_each_windows_reads(self):
        # (image, UDF revision forced or None, {Windows: namespace}, state of the long name)
        table = [
            (("genisoimage", "-udf", "-J"), None, {"Windows 2000 SP4": "UDF 1.02", "Windows XP": "UDF 1.02"}, "yes"),
            (("genisoimage", "-udf", "-J"), 0x0250, {"Windows XP SP2": "Joliet", "Windows 7": "UDF 2.50"}, "yes"),
            (("genisoimage", "-udf", "-J"), 0x0201, {"Windows 2000 SP4": "Joliet", "Windows XP x64": "UDF 2.01"}, "yes"),
            (("genisoimage", "-udf", "-J"), 0x0200, {"Windows 2000 SP4": "Joliet", "Windows Server 2003": "UDF 2.00"}, "yes"),
            (("xorriso", "-as", "mkisofs", "-R"), None, {"Windows 2000 SP4": "ISO 9660", "Windows XP": "ISO 9660"}, "missing"),
        ]
        for tool, revision, expected, long_name in table:
            with self.subTest(tool=tool, revision=revision), disc.open_disc(self.image(*tool), []) as opened:
                if revision:
                    opened.iso.udf_main_descs.logical_volumes[0].domain_ident.suffix = revision.to_bytes(2, "little")
                for windows, namespace in expected.items():
                    d = disc.ImageDisc(opened.iso, disc.image_namespace(opened.iso, windows))
                    self.assertEqual(namespace, d.namespace, windows)
                    self.assertEqual(long_name, d.lookup(EXE.lower()).state, windows)
                    self.assertEqual("yes", d.lookup("drivers/audio/readme").state, windows)  # "README." in ISO 9660
                # Rock Ridge only: its long names are never read
                self.assertEqual(["KB888111.EXE"] if long_name == "missing" else [], opened.disc("Windows XP").cut_forms(EXE))

    def test_what_windows_skips_never_counts(self):
        lay(os.path.join(self.dir, "d"), ["Drivers/Audio/a.inf", "Drivers/Audio/b.inf"])
        os.symlink("AAxBB.exe", os.path.join(self.dir, "d/Drivers/Audio/link.exe"))
        iso = self.image("genisoimage", "-udf", "-J", "-R")
        # a.inf's identifier renamed b.inf and deleted: a twin before the live b.inf
        self.udf(iso, "/Drivers/Audio/a.inf", lambda e, _: (setattr(e.file_ident, "fi", b"b.inf"),
                                                            setattr(e.file_ident, "file_characteristics", 4)))
        self.udf(iso, "/Drivers/Audio/link.exe", lambda e, _: setattr(e.icb_tag, "file_type", 12))
        for name in ("AAxBB.exe".encode("utf-16-be"), b"AAXBB.EXE;1"):  # associated files
            self.patch(iso, name, b"\x04", shift=-8)
        table = [("udf", "Drivers/Audio/B.INF", "yes", b"Drivers/Audio/b.inf"), ("udf", "Drivers/Audio/link.exe", "link", None),
                 ("joliet", "Drivers/Audio/AAxBB.exe", "missing", None), ("iso", "Drivers/Audio/AAxBB.exe", "missing", None),
                 ("iso", "Drivers/Audio/link.exe", "yes", b"")]
        with disc.open_disc(iso, []) as opened:
            for namespace, path, state, data in table:
                d = disc.ImageDisc(opened.iso, namespace)
                found = d.lookup(path)
                self.assertEqual((state, data), (found.state, None if data is None else d.read(found, 100)), (namespace, path))

    def test_neither_the_system_area_nor_a_name_holding_a_slash_is_the_disc(self):
        iso = self.image("genisoimage", "-J")
        tar = io.BytesIO()
        with tarfile.open(fileobj=tar, mode="w") as t:
            info = tarfile.TarInfo("Drivers/Audio/hdasetup.exe")
            info.size = 4
            t.addfile(info, io.BytesIO(b"evil"))
        self.patch(iso, b"", tar.getvalue()[:32768], at=0)
        self.patch(iso, "AAxBB".encode("utf-16-be"), "AA/BB".encode("utf-16-be"))
        with disc.open_disc(iso, ["Windows XP"]) as opened:
            d = opened.disc("Windows XP")
            # The real folder AA lacks BB.exe: the name in its parent is what seems to hold it.
            self.assertEqual(["missing", "bad name", "yes"], [d.lookup(p).state for p in
                             ("Drivers/Audio/hdasetup.exe", "Drivers/Audio/aa/bb.exe", "Drivers/Audio/AA/other")])
            self.assertEqual((EXE.encode()[:9], [("Drivers/Audio", "AA/BB.exe")]), (d.read(d.lookup(EXE), 9), d.bad_names))

    def test_refused_images_keep_the_readers_reason(self):
        endless, cut, fifo = (os.path.join(self.dir, name) for name in ("endless.iso", "cut.iso", "fifo"))
        os.rename(self.image("genisoimage", "-udf", "-J"), endless)  # Drivers, a folder that points back at the root
        self.udf(endless, "/Drivers", lambda e, r: setattr(e.file_ident.icb, "log_block_num", r.udf_file_set.root_dir_icb.log_block_num))
        iso = self.image("genisoimage", "-J")
        os.mkfifo(fifo)
        with open(iso, "r+b") as f, open(cut, "wb") as out:
            out.write(f.read(os.path.getsize(iso) - 2048))
            f.truncate(40000)
        table = [(iso, "Failed to read entire volume descriptor"), (__file__, "volume descriptor"),
                 (cut, f"cut short, {os.path.getsize(cut)} bytes of the {os.path.getsize(cut) + 2048}"),
                 (fifo, "not a regular file"), (fifo + "x", "does not exist"),
                 (endless, "points back")]
        for path, reason in table:
            with self.subTest(path=path), mock.patch.object(disc, "OPEN_SECONDS", 1):
                with self.assertRaisesRegex(disc.DiscError, reason):
                    disc.open_disc(path, ["Windows XP"])


class Folders(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.tmp.name, "disc")
        lay(self.root, ["Drivers/Audio [HD]/x", "Drivers/Audio/hdasetup.exe", "outside", "Drivers/Audio/secret.exe",
                        "Drivers/Shut/x", "Drivers/Unsearchable/x"])
        os.rename(os.path.join(self.root, "outside"), os.path.join(self.tmp.name, "outside"))
        for link, target in (("Drivers/Audio/dangling.exe", "nowhere"), ("Drivers/Audio/linked.exe", "../../../outside"),
                             ("Drivers/Linked", "Audio"), ("Drivers/Audio/zero.inf", "/dev/zero"),
                             ("Drivers/Audio [HD]/hdasetup.exe", "../Audio/hdasetup.exe")):
            os.symlink(target, os.path.join(self.root, link))
        os.mkfifo(os.path.join(self.root, "Drivers/Audio/fifo.inf"))
        os.mkdir(os.path.join(self.root, "Drivers/Audio/folder.exe"))
        for path, mode in ((self.tmp.name, 0o755), ("Drivers/Audio/secret.exe", 0), ("Drivers/Shut", 0),
                           ("Drivers/Unsearchable", 0o444)):
            os.chmod(os.path.join(self.root, path), mode)

    def tearDown(self):
        self.tmp.cleanup()

    def test_only_a_regular_file_inside_the_disc_counts(self):
        table = {"drivers/AUDIO/HDASETUP.EXE": "yes", "Drivers/Audio/dangling.exe": "link",
                 "Drivers/Audio/linked.exe": "link", "Drivers/Linked/hdasetup.exe": "link",
                 "Drivers/Audio/zero.inf": "link", "Drivers/Audio/fifo.inf": "not a file",
                 "Drivers/Audio/folder.exe": "not a file", "Drivers/Audio/nothing.exe": "missing",
                 "Drivers/Audio/hdasetup.exe/x": "missing", "Drivers/A*/hdasetup.exe": "missing",
                 "Drivers/Audio [hd]/x": "yes", "Drivers/Audio/secret.exe": "cannot be read",
                 "Drivers/Shut/x": "cannot be read", "Drivers/Unsearchable/x": "cannot be read"}
        # As an unprivileged user: root reads past mode bits.
        user = {"user": 65534, "group": 65534, "extra_groups": []} if os.getuid() == 0 else {}
        looked = subprocess.run([sys.executable, "-I", "-c", "import json, sys; sys.path.insert(0, sys.argv[1]); import disc;"
                                 " d = disc.FolderDisc(sys.argv[2]); print(json.dumps([d.lookup(p).state for p in sys.argv[3:]]))",
                                 TOOLS, self.root, *table], capture_output=True, text=True, check=True, **user)
        self.assertEqual(table, dict(zip(table, json.loads(looked.stdout))))

    def test_read_takes_only_the_file_that_was_listed(self):
        d = disc.FolderDisc(self.root)
        found = d.lookup("Drivers/Audio/hdasetup.exe")
        self.assertEqual(b"Drive", d.read(found, 5))
        for swapped in ("Drivers/Audio/hdasetup.exe", "Drivers/Audio"):  # a link put in its place after the lookup
            path = os.path.join(self.root, swapped)
            os.rename(path, path + ".moved")
            os.symlink(os.path.basename(path) + ".moved", path)
            self.assertRaises(disc.CannotRead, d.read, found, 5)
            os.remove(path)
            os.rename(path + ".moved", path)

    def test_names_as_windows_compares_them_in_a_folder_of_100000(self):
        names = ["ſetup.exe", "kıt.inf", "café.inf", "straße.inf", "a/b.inf", "c\\d.inf", "e\x1ff.inf"] + [
            f"f{i}.inf" for i in range(100000)]
        table = {"SETUP.EXE": "missing", "KIT.INF": "missing", "CAFÉ.INF": "yes", "STRASSE.INF": "missing",
                 "F99999.INF": "yes", "A/B.INF": "bad name", "C/D.INF": "bad name", "E\x1fF.INF": "bad name",
                 "nothing": "missing"}
        big = disc.Disc()
        big._entries = lambda folder: [disc.Entry(name, "file") for name in names]
        big.listing(())
        start = time.perf_counter()
        for _ in range(20):  # a scan of the folder per lookup takes more than all of these together
            self.assertEqual(table, {path: big.lookup(path).state for path in table})
        self.assertLess(time.perf_counter() - start, 0.1)


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

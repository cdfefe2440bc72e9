"""disc-check's checker on a folder disc made here: the program's folder refused as a disc
maker must hear it, each file a run started looked up on the disc, and one verdict for the
headline and the exit status."""

import json
import re
import shutil
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tools", "py"))
import check  # noqa: E402
import disc  # noqa: E402
import layout  # noqa: E402
import record  # noqa: E402
from runs import Run  # noqa: E402

# A program folder with a blank two levels up: the helper's and the INF's paths hold one.
PROGRAM = "My Disc/Drivers/Audio"
PACKAGE = "D:\\My Disc\\Drivers\\Audio\\Win2K_XP\\us\\KB888111XPSP2.exe"
HELPER = "D:\\My Disc\\chipset\\inshelp\\install.exe"
INF = "D:\\My Disc\\chipset\\Vga\\Intel\\WIN2K_XP\\Graphics\\HDMI\\intchdmi.inf"
DEVICE = ' "HDAUDIO\\FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000"'


BUILD = os.environ.get("HDA_WIN32_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "win32"))


def on_disc(root, path):
    return os.path.join(root, path.replace("D:\\", "").replace("\\", "/"))


@unittest.skipUnless(os.path.exists(os.path.join(BUILD, "standins", "intchdmi.inf")), f"no build in {BUILD}: make builds it")
class Checker(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.tmp.name, "disc")
        for path, built in ((f"{PROGRAM}/hdasetup.exe", "hdasetup.exe"), (PACKAGE, "standins/standin_package.exe"),
                            (HELPER, "standins/standin_helper.exe"), (INF, "standins/intchdmi.inf")):
            os.makedirs(os.path.dirname(on_disc(self.root, path)), exist_ok=True)
            shutil.copyfile(os.path.join(BUILD, built), on_disc(self.root, path))
        os.symlink("Audio", os.path.join(self.root, "My Disc/Drivers/Linked"))
        with open(os.path.join(self.tmp.name, "disc-facts.json"), "w") as f:
            json.dump({"PACKAGE_FILE_XPSP2": "XPSP2.exe", "PACKAGE_FILE_XPSP2_SILENT": "XPSP2.exe /quiet /o"}, f)
        self.ds = disc.open_disc(self.root, [w.label for w in check.TABLE])
        self.addCleanup(self.ds.close)
        self.addCleanup(self.tmp.cleanup)

    def test_program_folder_refusals(self):
        table = [("My Disc/drivers/A*", "'My Disc/drivers/A*': there is no such folder"),
                 ("My Disc/Drivers/Linked", "My Disc/Drivers/Linked is a symbolic link, never followed"),
                 ("../elsewhere", "is outside the disc"), ("/abs/path", "is outside the disc"),
                 ("My Disc", "the disc has no hdasetup.exe in 'My Disc'")]
        for program, said in table:
            with self.subTest(program=program), self.assertRaisesRegex(check.CheckError, re.escape(said)):
                check.Program(self.ds, program, check.TABLE)
        for work, said in ((self.tmp.name, "lies inside disc-check's work"), (self.root + "/w", "holds disc-check's work")):
            with self.assertRaisesRegex(check.CheckError, said):
                check.refuse_work_folder(self.ds, work, "disc-check")

    def test_each_file_a_run_started_counts_only_as_that_windows_takes_it(self):
        def put(path, data=None, source=PACKAGE):
            os.makedirs(os.path.dirname(on_disc(self.root, path)), exist_ok=True)
            if data is None:
                shutil.copyfile(on_disc(self.root, source), on_disc(self.root, path))
            else:
                with open(on_disc(self.root, path), "wb") as f:
                    f.write(data)
        package = {w: PACKAGE.replace("XPSP2", w) for w in ("XPSP1", "W2KSP4")}
        put(package["XPSP1"], b"")
        put(package["W2KSP4"])
        put(INF.replace("Graphics", "winxp64"), b"[Strings]\r\n")
        os.remove(on_disc(self.root, PACKAGE))
        os.symlink("/dev/null", on_disc(self.root, PACKAGE))
        import pefile  # Windows 2000 starts programs up to subsystem version 5.0
        pe = pefile.PE(on_disc(self.root, f"{PROGRAM}/hdasetup.exe"))
        pe.OPTIONAL_HEADER.MinorSubsystemVersion, pe.OPTIONAL_HEADER.MajorSubsystemVersion = 1, 5
        data = pe.write()
        pe.close()
        put(f"{PROGRAM}/hdasetup.exe", data)
        with disc.open_disc(self.root, [w.label for w in check.TABLE]) as ds:
            table = [  # the run, its files' states, whether it fails
                (Run("Windows XP", "a", 0, PACKAGE + " /quiet /o", HELPER + " " + INF + DEVICE, HELPER), ["link", "yes", "yes"], True),
                (Run("Windows XP SP1", "a", 0, package["XPSP1"] + " /quiet /o", HELPER + " " + INF.replace("Intel", "Other") + DEVICE,
                     HELPER), ["will not start", "yes", "missing"], True),
                (Run("Windows XP SP2", "a", 0, package["W2KSP4"] + " /quiet /o", HELPER.replace("install", "ins64") + " "
                     + INF.replace("Graphics", "winxp64") + DEVICE, HELPER.replace("install", "ins64")),
                 ["yes", "missing", "will not open"], True),
                (Run("Windows 2000 SP4", "a", 0, package["W2KSP4"] + " /quiet /o"), ["will not start", "yes"], True),
                (Run("Windows XP SP3", "a", 124), [], True),
                (Run("Windows XP x64", "a", not_run="not run here"), [], False),
                (Run("Windows Server 2003", "a", 0, package["W2KSP4"]), ["yes"], False),
            ]
            program = check.Program(ds, PROGRAM, check.TABLE)
            r = check.build_record(ds, program, [run for run, _, _ in table], layout.Facts(self.tmp.name), "/none", "/", "x")
        self.assertEqual([(states, fails) for _, states, fails in table],
                         [([f.state for f in row.files], row.fails) for row in r.rows])
        self.assertEqual([PACKAGE, HELPER, INF], [f.path for f in r.rows[0].files])
        self.assertEqual(["0 bytes", "subsystem version 5.1: Windows 2000 SP4 starts programs up to 5.0"],
                         [r.rows[1].files[0].why, r.rows[3].files[0].why])


def rows(*specs):
    """Rows from (Windows, supported, missing, status, ran)."""
    return [record.Row(w, supported, "none", ran=ran, not_run=None if ran else "not run here", status=status,
                       package="p", missing=missing) for w, supported, missing, status, ran in specs]


class Verdicts(unittest.TestCase):
    def test_one_verdict_for_the_headline_and_the_status(self):
        ok, bad, unfinished = (True, False, 0, True), (True, True, 0, True), (True, False, 124, True)
        table = [  # rows, exit status, the headline's start
            (rows(("Windows XP", *ok)), 0, "every supported Windows finds"),
            (rows(("Windows XP", *ok), ("Windows 7", False, True, 0, True)), 0, "every supported Windows finds every file it starts on the disc; one"),
            (rows(("Windows XP", *bad), ("Windows 2000", *ok)), 1, "1 of the 2 supported Windows would start a file the disc lacks:"),
            (rows(("Windows XP", *unfinished)), 1, "1 of the 1 supported Windows did not finish a run:"),
            (rows(("Windows XP", *ok), ("Windows XP x64", True, False, None, False)), 0, "every supported Windows that ran"),
            (rows(("Windows XP x64", True, False, None, False)), 1, "no supported Windows ran"),
        ]
        for r, status, headline in table:
            with self.subTest(headline=headline):
                v = record.verdict(record.Record("d", ".", "x", rows=r))
                self.assertEqual((status, "Verdict: " + headline), (v.status, v.headline[:len(headline) + 9]))


if __name__ == "__main__":
    unittest.main()

"""What a disc holds of what the program starts or names, judged as each Windows would see it:
the program's folder and hdasetup.exe, and every file a run started or named, looked up in the
namespace that Windows reads; the record of a check, built from its runs and those looks."""

from __future__ import annotations

import os
from typing import Iterable

import disc as discs
import layout
import record as rec
from runs import WINDOWS, Run, Windows

# The folder and the exe are taken as XP reads the disc where it can (the most common Windows
# of the table); a Windows that reads another tree has them looked up there.
MAIN_WINDOWS = "Windows XP"
TABLE = sorted(WINDOWS, key=lambda w: w.label != MAIN_WINDOWS)
# hdasetup.exe is tens of KiB and an INF file a few: a record that claims more is no such file,
# and is never unpacked.
MAX_EXE, MAX_INF = 64 << 20, 1 << 20
# A file that is on the disc but that Windows would not start (a program) or SetupAPI would
# not open (an INF): it counts as a missing one does.
WONT_START, WONT_OPEN = "will not start", "will not open"


class CheckError(Exception):
    """An expected failure: the tool stops with this one line and exit status 2."""


def inside(path: str, folder: str) -> bool:
    return path == folder or path.startswith(folder.rstrip("/") + "/")


def where(ds: discs.DiscSet, rel: str) -> str:
    return f"{rel} in the image {ds.image}" if ds.image else os.path.join(ds.real, rel)


def refuse_work_folder(ds: discs.DiscSet, work: str, tool: str) -> None:
    """A disc inside the work folder would be cleared by the check; one that holds it would be
    written on."""
    work = os.path.realpath(work)
    if inside(ds.real, work):
        raise CheckError(f"the disc {ds.real} lies inside {tool}'s work folder {work}, which is cleared; copy it elsewhere")
    if not ds.image and inside(work, ds.real):
        raise CheckError(f"the disc {ds.real} holds {tool}'s work folder {work}; nothing is ever written on a disc")


def program_folder(d: discs.Disc, ds: discs.DiscSet, given: str) -> discs.Found:
    """The --program folder as that Windows finds it, refused when it lies outside the disc."""
    outside = CheckError(f"the program folder '{given}' is outside the disc '{ds.real}' (give a folder on the disc, e.g. Drivers/Audio)")
    path = os.path.normpath(given)
    if os.path.isabs(given) and (ds.image or not inside(path, ds.real)):
        raise outside
    path = os.path.normpath(os.path.relpath(path, ds.real) if os.path.isabs(given) else given.replace("\\", "/"))
    if path == ".." or path.startswith("../"):
        raise outside
    return d.lookup("" if path == "." else path, want="dir")


def folder_problem(found: discs.Found) -> str:
    return {discs.MISSING: "there is no such folder", discs.LINK: f"{found.rel} is a symbolic link, never followed",
            discs.BAD_NAME: f"'{found.rel}' is a name Windows cannot hold"}.get(
        found.state, f"{found.rel} is {found.entry.what if found.entry else 'not a folder'}")


def exe_problem(d: discs.Disc, ds: discs.DiscSet, program: str) -> tuple[str, discs.Found]:
    """Why the disc's hdasetup.exe in PROGRAM is not a file Windows sees ("" when it is)."""
    rel = "/".join(p for p in (program, "hdasetup.exe") if p)
    found = d.lookup(rel)
    if found.state == discs.MISSING:
        return f"the disc has no hdasetup.exe in '{program or '.'}' ({where(ds, rel)})", found
    if found.state != discs.YES:
        what = f"a name Windows cannot hold ('{found.rel}')" if found.state == discs.BAD_NAME else (
            found.entry.what if found.entry else found.state)
        return f"{where(ds, found.rel)} is {what}: only a file that is really on the disc counts", found
    return "", found


def read(d: discs.Disc, found: discs.Found, limit: int) -> bytes:
    """The file's bytes, all of them: a file larger than LIMIT is refused unread."""
    if found.entry.size > limit:
        raise CheckError(f"{found.rel} claims {found.entry.size} bytes: no file the check needs is that large; nothing was unpacked")
    return d.read(found, limit)


def start_problem(d: discs.Disc, found: discs.Found, windows: Windows) -> str | None:
    """Why that Windows would not start the program found, from its headers alone."""
    import exe  # pefile: only once a program is to be read

    return exe.start_problem(d.read(found, exe.HEAD_BYTES), found.entry.size, windows.label, windows.subsystem, windows.x64)


def open_problem(d: discs.Disc, found: discs.Found) -> str | None:
    """Why SetupAPI would not open the INF file found."""
    import exe

    if found.entry.size > MAX_INF:
        return f"{found.entry.size} bytes: no INF file the helper is given is that large"
    return exe.inf_problem(d.read(found, MAX_INF))


class Program:
    """hdasetup.exe on the disc: its folder and bytes as the main Windows reads them, and for
    each Windows of the table whether its namespace holds them too (a bridge image's UDF and
    Joliet trees may differ)."""

    def __init__(self, ds: discs.DiscSet, given: str, table: list[Windows]) -> None:
        labels = [w.label for w in table]
        found = {w: program_folder(ds.disc(w), ds, given) for w in labels}
        main = next((w for w in labels if found[w].state == discs.YES), None)
        if main is None:
            raise CheckError(f"the program folder '{given}': {folder_problem(found[labels[0]])} on the disc '{ds.real}'")
        self.folder = found[main].rel
        problem, exe = exe_problem(ds.disc(main), ds, self.folder)
        if problem:
            raise CheckError(problem)
        self.rel, self.data = exe.rel, read(ds.disc(main), exe, MAX_EXE)
        # Why a Windows would not start the program from the disc: none where it reads the
        # disc, or one it would not start.
        self.absent: dict[str, rec.FileLook] = {}
        path = layout.windows_path(self.rel)
        for w in table:
            problem, exe = (exe_problem(ds.disc(w.label), ds, found[w.label].rel) if found[w.label].state == discs.YES
                            else ("no folder", None))
            if problem:
                self.absent[w.label] = rec.FileLook("program", path, discs.MISSING,
                                                    "no hdasetup.exe where this Windows reads the disc")
            elif why := start_problem(ds.disc(w.label), exe, w):
                self.absent[w.label] = rec.FileLook("program", path, WONT_START, why)


# For each state of a file not counted: the label of its note in the report's head, and its
# reason in a few words for the verdict.
STATES = {discs.MISSING: ("cut names", "only 8.3 names cut from it"), discs.LINK: ("link", "a symbolic link"),
          discs.NOT_A_FILE: ("not a file", "not a file"), discs.BAD_NAME: ("bad name", "a name Windows cannot hold"),
          discs.UNREADABLE: ("cannot be read", "it cannot be read")}


def hint(d: discs.Disc, found: discs.Found, rel: str) -> str:
    """Why a file is not counted, in words after its name for the report's notes ("" for
    plainly missing)."""
    other = f" ({found.rel})" if found.rel != rel else ""
    what = found.entry.what if found.entry else found.state
    cut = d.cut_forms(rel) if found.state == discs.MISSING and d.kind == "iso" else []
    return {discs.MISSING: cut and (f"not there: the image holds only 8.3 names cut from it, {' '.join(cut)}; master it"
                                    " with Joliet, whose long names Windows 2000 and XP read"),
            discs.LINK: (f"a symbolic link{other}: a disc image made from the folder may not carry it, so it counts as"
                         " missing, and it is never followed"),
            discs.NOT_A_FILE: f"{what}{other}, not a file",
            discs.BAD_NAME: f"not there: '{found.rel}' is a name Windows cannot hold, never taken for this file",
            discs.UNREADABLE: f"{what}{other}: neither missing nor there"}.get(found.state) or ""


class Looker:
    """Looks files up, each in the namespace its Windows reads, and keeps one note per thing
    worth saying about them."""

    def __init__(self, ds: discs.DiscSet) -> None:
        self.ds = ds
        self.notes: list[rec.Note] = []

    def note(self, label: str, text: str) -> None:
        if rec.Note(label, text) not in self.notes:
            self.notes.append(rec.Note(label, text))

    def find(self, windows: Windows, kind: str, path: str) -> tuple[rec.FileLook, discs.Found]:
        """How the file a run started or named stands where that Windows reads the disc: a
        program counts only when that Windows would start it, an INF file only when SetupAPI
        would open it."""
        d = self.ds.disc(windows.label)
        rel = "/".join(discs.split(path[3:] if path[:3].upper() == "D:\\" else path))
        found = d.lookup(rel)
        shown = layout.windows_path(found.rel if found.state == discs.YES else rel)
        state, why = found.state, ""
        text = hint(d, found, rel)
        if text:
            label, why = STATES[found.state]
            self.note(label, f"{layout.windows_path(rel)} is {text}")
        if state == discs.YES:
            try:
                why = start_problem(d, found, windows) if kind != "inf" else open_problem(d, found)
                state = (WONT_OPEN if kind == "inf" else WONT_START) if why else state
            except discs.CannotRead as e:
                state, why = discs.UNREADABLE, e.reason
            if why:
                self.note(state, f"{shown} {state} on {windows.label}: {why}")
        return rec.FileLook(kind, path, state, why or ""), found

    def look(self, windows: Windows, kind: str, path: str) -> rec.FileLook:
        return self.find(windows, kind, path)[0]


def started(run: Run, quiet: str) -> list[tuple[str, str]]:
    """(kind, path) of each file the run started or named: the package without the silent
    options, the helper by its window title (its own path, which may hold blanks), and the
    INF file between the helper's path and the quoted device path."""
    files = []
    if run.package:
        files.append(("package", run.package[: -len(quiet)] if quiet and run.package.endswith(quiet) else run.package))
    if run.helper and run.helper_window:
        files.append(("helper", run.helper_window))
        if run.helper.startswith(run.helper_window + " "):
            inf = run.helper[len(run.helper_window) + 1:].split(' "HDAUDIO\\')[0]
            if inf:
                files.append(("inf", inf))
    return files


def row(run: Run, windows: Windows, looker: Looker, program: Program, quiet: str) -> rec.Row:
    r = rec.Row(run.windows, windows.supported, run.codec, ran=run.not_run is None, not_run=run.not_run,
                status=run.status, package=run.package, helper=run.helper, marker=run.marker)
    if r.ran:
        if windows.label in program.absent:
            r.files.append(program.absent[windows.label])
        r.files += [looker.look(windows, kind, path) for kind, path in started(run, quiet)]
        r.missing = r.package is None or any(f.state != rec.YES for f in r.files)
    return r


def build_record(ds: discs.DiscSet, program: Program, runs: list[Run], facts: layout.Facts,
                 project_exe: str, repo: str, run_with: str, table: Iterable[Windows] = WINDOWS) -> rec.Record:
    import exe  # pefile, only once the disc is known to be there

    by_label = {w.label: w for w in table}
    looker = Looker(ds)
    rows = [row(r, by_label[r.windows], looker, program, facts.quiet) for r in runs]
    ran = list(dict.fromkeys(r.windows for r in runs))
    if ds.image:  # the cut names of what no run came to name
        for n in layout.needed(facts, program.folder):
            for w in ran:
                if ds.disc(w).kind == "iso":
                    looker.look(by_label[w], n.kind, layout.windows_path(n.rel))
    for d in dict.fromkeys(ds.disc(w) for w in ran):
        for folder, name in d.bad_names:
            looker.note("bad name", f"{folder} holds a name Windows cannot hold, never taken for a file or folder: {name!r}")

    def exe_entry(label: str, path: str, data: bytes) -> rec.Exe:
        f = exe.facts(data)
        return rec.Exe(label, path, f["size"], f["sha256"], f["file_version"], f["product_version"])
    exes = [exe_entry("disc's hdasetup.exe", program.rel, program.data)]
    shown = os.path.relpath(project_exe, repo) if inside(os.path.abspath(project_exe), repo) else project_exe
    if os.path.isfile(project_exe):
        with open(project_exe, "rb") as f:
            project = f.read()
        exes.append(exe_entry("project's build", shown, project))
        same = "same build" if project == program.data else "differs (another commit, a changed file or another toolchain)"
    else:
        exes.append(rec.Exe("project's build", shown, absent="not built (make builds it)"))
        same = "not compared"
    image = None
    if ds.image:
        groups: dict[str, list[str]] = {}
        for w in ran:
            groups.setdefault(ds.disc(w).namespace, []).append(w)
        image = rec.Image(ds.image, [rec.ReadAs(ws, ns) for ns, ws in groups.items()])
    return rec.Record(disc=ds.real, program=program.folder or ".", run_with=run_with, image=image, exes=exes,
                      same_build=same, notes=looker.notes, rows=rows)

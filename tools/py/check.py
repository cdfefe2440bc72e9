#!/usr/bin/python3
"""What disc-check and the demo ask of a disc, for their shell, which only runs programs:
  prepare  the disc and --program checked, answered as shell assignments (CHECK_*);
  lay      a shadow of the disc for the demo: stand-ins where the disc has a program, its INF
           files copied; prints the files it lacks;
  report   the runs (JSON lines the shell wrote) with every file they name looked up on the
           real disc, as one record, rendered by report.py; exit 1 when a supported Windows
           would start a file the disc lacks.
Every failure is one line on standard error and exit status 2."""

import argparse
import io
import json
import os
import shlex
import shutil
import sys

import disc as discs

# The folder and the exe are taken as XP reads the disc; each row then uses its own Windows.
MAIN_WINDOWS = "Windows XP"
# Wine's version presets, as the Windows whose namespace the demo's shadow is laid from.
PRESETS = {"win2k": "Windows 2000", "win2003": "Windows Server 2003", "win7": "Windows 7",
           "win10": "Windows 10", "winxp": "Windows XP", "winxp64": "Windows XP x64"}
# hdasetup.exe is tens of KiB and an INF file a few: a record that claims more is no such file,
# and is never unpacked.
MAX_COPY = 64 << 20
CALLER = "check"


class Stop(Exception):
    pass


def stop(text):
    raise Stop(text)


def open_disc(path, windows=(MAIN_WINDOWS,)):
    """(real path, image path or None, {windows: Disc}) for a folder or an image."""
    try:
        opened = discs.open_disc(path, windows)
    except discs.DiscError as e:
        stop(str(e))
    return opened.real, opened.image, {w: opened.disc(w) for w in windows}


def inside(path, folder):
    return path == folder or path.startswith(folder.rstrip("/") + "/")


def where(real, image, rel):
    return f"{rel} in the image {image}" if image else os.path.join(real, rel)


def program_folder(disc, real, image, given):
    """The --program folder as it is on the disc, literal and matched as Windows would."""
    path = given
    if os.path.isabs(given):
        for root in (real, os.path.abspath(real)):
            if not image and inside(os.path.normpath(given), root):
                path = os.path.relpath(os.path.normpath(given), root)
                break
        else:
            stop(f"the program folder '{given}' is outside the disc '{real}' (give a folder on the disc, e.g. Drivers/Audio)")
    path = os.path.normpath(path.replace("\\", "/"))
    if path == ".." or path.startswith("../"):
        stop(f"the program folder '{given}' is outside the disc '{real}' (give a folder on the disc, e.g. Drivers/Audio)")
    found = disc.lookup(path, want="dir")
    if found.state != discs.YES:
        what = {discs.MISSING: "there is no such folder", discs.LINK: f"{found.rel} is a symbolic link, never followed",
                discs.BAD_NAME: f"'{found.rel}' is a name Windows cannot hold"}.get(
            found.state, f"{found.rel} is {found.entry.what if found.entry else 'not a folder'}")
        stop(f"the program folder '{given}': {what} on the disc '{real}'")
    return found.rel


def read_file(disc, found, out):
    if found.entry.size > MAX_COPY:
        stop(f"{found.rel} claims {found.entry.size} bytes: no file the check needs is that large; nothing was unpacked")
    try:
        out.write(disc.read(found, MAX_COPY))
    except discs.DiscError as e:
        stop(str(e))


def exe_facts(data):
    import exe  # pefile: only once the disc is known to be there

    facts = exe.facts(data)
    return facts, exe.problem(facts)


def disc_exe(disc, real, image, program):
    """The disc's hdasetup.exe: (where it is, its bytes); it must be a file Windows sees."""
    rel = "/".join(p for p in (program, "hdasetup.exe") if p)
    found = disc.lookup(rel)
    if found.state == discs.MISSING:
        stop(f"the disc has no hdasetup.exe in '{program or '.'}' ({where(real, image, rel)})")
    if found.state != discs.YES:
        what = f"a name Windows cannot hold ('{found.rel}')" if found.state == discs.BAD_NAME else found.entry.what
        stop(f"{where(real, image, found.rel)} is {what}: only a file that is really on the disc counts")
    data = io.BytesIO()
    read_file(disc, found, data)
    return found.rel, data.getvalue()


def cmd_prepare(a):
    real, image, by_windows = open_disc(a.disc, (a.windows,))
    work = os.path.realpath(a.work)
    if inside(real, work):
        stop(f"the disc {real} lies inside {CALLER}'s work folder {work}, which is cleared; copy it elsewhere")
    if not image and inside(work, real):
        stop(f"the disc {real} holds {CALLER}'s work folder {work}; nothing is ever written on a disc")
    disc = by_windows[a.windows]
    program = program_folder(disc, real, image, a.program)
    answer = {"CHECK_DISC": real, "CHECK_IMAGE": image or "", "CHECK_PROGRAM": program,
              "CHECK_READ_AS": disc.namespace, "CHECK_EXE": ""}
    if a.exe_check:
        rel, data = disc_exe(disc, real, image, program)
        problem = exe_facts(data)[1]
        if problem:
            stop(f"{where(real, image, rel)} is not a 32-bit Windows GUI program: it is {problem}")
        answer["CHECK_EXE"] = rel
        if a.exe_to:
            with open(a.exe_to, "wb") as out:
                out.write(data)
    for key, value in answer.items():
        print(f"{key}={shlex.quote(value)}")


def needed(stream):
    """The shell's list of what the program may start or name: (kind, path, stand-in)."""
    return [tuple(line.rstrip("\n").split("|")) for line in stream if line.strip()]


def hint(disc, found, rel):
    """Why a file is not counted, in words after its name ("" for plainly missing)."""
    other = f" ({found.rel})" if found.rel != rel else ""
    if found.state == discs.MISSING and getattr(disc, "kind", "") == "iso":
        cut = disc.cut_forms(rel)
        if cut:
            return (f"not there: the image holds only 8.3 names cut from it, {' '.join(cut)}; master it with"
                    " Joliet, whose long names Windows 2000 and XP read")
    if found.state == discs.LINK:
        return (f"a symbolic link{other}: a disc image made from the folder may not carry it, so it counts as"
                " missing, and it is never followed")
    if found.state == discs.NOT_A_FILE:
        return f"{found.entry.what}{other}, not a file"
    if found.state == discs.BAD_NAME:
        return f"not there: '{found.rel}' is a name Windows cannot hold, never taken for this file"
    return ""


def windows_path(rel):
    return "D:\\" + rel.replace("/", "\\")


def cmd_lay(a):
    _, _, by_windows = open_disc(a.disc, (a.windows,))
    disc = by_windows[a.windows]
    shadow = a.shadow
    shutil.rmtree(shadow, ignore_errors=True)
    program = a.program.strip("/")
    os.makedirs(os.path.join(shadow, program), exist_ok=True)
    shutil.copyfile(a.exe, os.path.join(shadow, program, "hdasetup.exe"))
    for kind, rel, standin in needed(sys.stdin):
        found = disc.lookup(rel)
        if found.state != discs.YES:
            text = hint(disc, found, rel)
            print(f"  {kind:<8} {windows_path(rel)}{': ' + text if text else ''}")
            continue
        dest = os.path.join(shadow, rel)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        if standin:
            shutil.copyfile(os.path.join(a.standins, standin), dest)
        else:
            with open(dest, "wb") as out:
                read_file(disc, found, out)


def runs(paths):
    """The rows of the runs files in order: a later file's row replaces an earlier one's
    (the emulated guest's XP x64 rows replace "not run")."""
    rows = {}
    for path in paths:
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            for line in f:
                if line.startswith("{"):
                    fact = json.loads(line)
                    rows[(fact["windows"], fact["codec"])] = fact
    return list(rows.values())


def exe_entry(label, path, data):
    f = exe_facts(data)[0]
    return {"label": label, "path": path, **{k: f[k] for k in ("size", "sha256", "file_version", "product_version")}}


def cmd_report(a):
    facts = runs(a.runs)
    windows = list(dict.fromkeys(f["windows"] for f in facts))
    real, image, by_windows = open_disc(a.disc, windows + [MAIN_WINDOWS])
    main = by_windows[MAIN_WINDOWS]
    program = program_folder(main, real, image, a.program)
    exe_rel, exe_data = disc_exe(main, real, image, program)
    exe_list = [exe_entry("disc's hdasetup.exe", exe_rel, exe_data)]
    shown = os.path.relpath(a.project_exe, a.repo) if inside(os.path.abspath(a.project_exe), a.repo) else a.project_exe
    if os.path.isfile(a.project_exe):
        with open(a.project_exe, "rb") as f:
            project = f.read()
        exe_list.append(exe_entry("project's build", shown, project))
        same = "same build" if project == exe_data else "differs (another commit, a changed file or another toolchain)"
    else:
        exe_list.append({"label": "project's build", "path": shown, "absent": "not built (make builds it)"})
        same = "not compared"

    notes, noted = [], set()

    def note(label, text):
        if (label, text) not in noted:
            noted.add((label, text))
            notes.append({"label": label, "text": text})

    def look(w, kind, path):
        disc = by_windows[w]
        rel = "/".join(discs.split(path[3:] if path[:3].upper() == "D:\\" else path))
        found = disc.lookup(rel)
        text = hint(disc, found, rel)
        if text:
            label = {discs.MISSING: "cut names", discs.LINK: "link", discs.BAD_NAME: "bad name"}.get(found.state, "not a file")
            note(label, f"{windows_path(rel)} is {text}")
        return {"kind": kind, "path": path, "state": found.state}

    rows, failed = [], False
    for f in facts:
        row = {"windows": f["windows"], "supported": f["supported"], "codec": f["codec"],
               "ran": not f.get("not_run"), "not_run": f.get("not_run") or None, "status": f.get("status"),
               "package": f.get("package") or None, "helper": f.get("helper") or None, "files": [],
               "marker": bool(f.get("marker")), "missing": False}
        if row["ran"]:
            if row["package"]:
                package = row["package"]
                package = package[: -len(a.quiet)] if a.quiet and package.endswith(a.quiet) else package
                row["files"].append(look(f["windows"], "package", package))
            if row["helper"]:
                helper_path = f.get("helper_path") or ""
                inf = row["helper"][len(helper_path) + 1:] if row["helper"].startswith(helper_path + " ") else ""
                inf = inf.split(' "HDAUDIO\\')[0]
                row["files"].append(look(f["windows"], "helper", helper_path))
                if inf:
                    row["files"].append(look(f["windows"], "inf", inf))
            row["missing"] = not row["package"] or any(x["state"] != discs.YES for x in row["files"])
            failed |= row["missing"] and row["supported"]
        rows.append(row)
    for w in windows:
        ran = [r for r in rows if r["windows"] == w and r["ran"]]
        if ran:
            said = "would start a file the disc lacks" if any(r["missing"] for r in ran) else "ok"
            print(f"[{CALLER}] {w}: {said}", file=sys.stderr)
    for kind, rel, _ in needed(sys.stdin):  # the cut names of what no row came to name
        for w in windows:
            if getattr(by_windows[w], "kind", "") == "iso":
                look(w, kind, windows_path(rel))
    for d in dict.fromkeys(by_windows.values()):
        for folder, name in d.bad_names:
            note("bad name", f"{folder} holds a name Windows cannot hold, never taken for a file or folder: {name!r}")

    read_as = None
    if image:
        groups = {}
        for w in windows:
            groups.setdefault(by_windows[w].namespace, []).append(w)
        read_as = [{"windows": ws, "namespace": ns} for ns, ws in groups.items()]
    record = {"disc": real, "program": program or ".", "image": image and {"path": image, "read_as": read_as},
              "exes": exe_list, "same_build": same, "notes": notes, "run_with": a.run_with, "rows": rows}
    import report

    text = report.render(record, a.format)
    if a.record:
        with open(a.record, "w", encoding="utf-8", errors="surrogateescape") as f:
            json.dump(record, f, ensure_ascii=False, indent=1)
    if a.out:
        with open(a.out, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(text)
        print(f"[{CALLER}] table written to {a.out}", file=sys.stderr)
    else:
        sys.stdout.write(text)
    return 1 if failed else 0


def main(argv):
    global CALLER
    p = argparse.ArgumentParser(prog="check.py")
    p.add_argument("--caller", default=CALLER)
    sub = p.add_subparsers(dest="cmd", required=True)
    for name in ("prepare", "lay", "report"):
        s = sub.add_parser(name)
        s.add_argument("--disc", required=True)
        s.add_argument("--program", required=True)
        s.add_argument("--windows", default=MAIN_WINDOWS)
    sub.choices["prepare"].add_argument("--work", required=True)
    sub.choices["prepare"].add_argument("--exe-check", action="store_true")
    sub.choices["prepare"].add_argument("--exe-to")
    for opt in ("--shadow", "--exe", "--standins"):
        sub.choices["lay"].add_argument(opt, required=True)
    r = sub.choices["report"]
    r.add_argument("--runs", action="append", required=True)
    r.add_argument("--project-exe", required=True)
    r.add_argument("--repo", required=True)
    r.add_argument("--run-with", required=True)
    r.add_argument("--quiet", default="")
    r.add_argument("--format", default="text", choices=("text", "markdown", "html"))
    r.add_argument("--out")
    r.add_argument("--record", help="also write the record as JSON to this file")
    a = p.parse_args(argv)
    CALLER = a.caller
    a.windows = PRESETS.get(a.windows, a.windows)
    try:
        return {"prepare": cmd_prepare, "lay": cmd_lay, "report": cmd_report}[a.cmd](a) or 0
    except Stop as e:
        print(f"{CALLER}: {e}", file=sys.stderr)
    except ImportError as e:  # a fresh machine: Debian's python3-pycdlib or python3-pefile
        print(f"{CALLER}: Python's {e.name} is missing: run make deps (Debian's python3-{e.name})", file=sys.stderr)
    return 2


if __name__ == "__main__":
    for stream in (sys.stdin, sys.stdout, sys.stderr):  # names byte for byte, whatever the locale
        stream.reconfigure(encoding="utf-8", errors="surrogateescape")
    sys.exit(main(sys.argv[1:]))

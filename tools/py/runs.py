"""The runs of a check: hdasetup.exe run silently under Wine on a shadow of the disc, on each
Windows of the table with each known codec's HD-audio function registered, and once with none.
Each run is a folder prepared here (a registry file, a command line); tools/lib/run-windows.sh
starts the programs, and what they left there (the stand-ins' log, the exit status, the
marker) is read back here."""

from __future__ import annotations

import hashlib
import json
import os
import shlex
import shutil
import subprocess
import sys
from dataclasses import asdict, dataclass
from typing import Callable, Iterable

import layout

REPO = os.path.realpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
RUNNER = os.path.join(REPO, "tools", "lib", "run-windows.sh")
RUN_SECONDS = 60  # a run ends in seconds: the stand-ins return at once
GUEST_RUN_SECONDS = 600  # each Wine start costs 10 to 15 s more under emulation
# Registered before the codec's function, as another make's function would be on a real machine.
OTHER_FUNCTION = "FUNC_01&VEN_10EC&DEV_0880&SUBSYS_10EC0880&REV_1000"
NEEDS_32BIT = "not run on this host (needs 32-bit programs)"


class RunError(Exception):
    """Wine or the guest could not run: the runner has said why on standard error."""


@dataclass(frozen=True)
class Windows:
    """version: one of Wine's presets, or an exact record (version, build, service-pack text)
    that Wine then reports; subsystem: the highest subsystem version of a program it starts;
    x64: a 64-bit Windows, running hdasetup.exe under WOW64 and x86-64 programs too."""

    label: str
    prefix: str
    supported: bool
    version: tuple[str, ...]
    subsystem: tuple[int, int]
    x64: bool = False


WINDOWS = (
    Windows("Windows 2000 SP4", "win32", True, ("win2k",), (5, 0)),
    Windows("Windows XP", "win32", True, ("5.1", "2600", ""), (5, 1)),
    Windows("Windows XP SP1", "win32", True, ("5.1", "2600", "Service Pack 1"), (5, 1)),
    Windows("Windows XP SP2", "win32", True, ("5.1", "2600", "Service Pack 2"), (5, 1)),
    Windows("Windows XP SP3", "win32", True, ("winxp",), (5, 1)),
    Windows("Windows Server 2003", "win32", True, ("win2003",), (5, 2)),
    Windows("Windows XP x64", "win64", True, ("winxp64",), (5, 2), x64=True),
    Windows("Windows 7", "win32", False, ("win7",), (6, 1)),
)


@dataclass(frozen=True)
class Codec:
    label: str
    function: str | None  # the registry name Windows would give its function; None: no known codec


def plan(facts: layout.Facts) -> list[tuple[Windows, Codec]]:
    """Every run of a check: each Windows with each codec ("FUNC_01&VEN_1095&DEV_1392" as
    1095:1392, registered as "...&SUBSYS_10951392&REV_1000"), then with none."""
    codecs = [Codec(f"{ven}:{dev}", f"{c}&SUBSYS_{ven}{dev}&REV_1000") for c in facts.codecs
              for ven, dev in [(c.split("VEN_")[1].split("&")[0], c.split("DEV_")[1])]]
    return [(w, c) for w in WINDOWS for c in codecs + [Codec("none", None)]]


def registry(facts: layout.Facts, windows: Windows, codec: Codec) -> str:
    """The REGEDIT4 text that makes a prefix report that Windows and hold exactly these
    HD-audio functions."""
    lines = ["REGEDIT4", "", "[HKEY_CURRENT_USER\\Software\\Wine]"]
    if len(windows.version) == 1:
        lines.append(f'"Version"="{windows.version[0]}"')
    else:
        number, build, text = windows.version
        major, minor = (int(x) for x in number.split("."))
        lines += ['"Version"=-', "", "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]",
                  f'"CurrentVersion"="{number}"', f'"CurrentBuildNumber"="{build}"', f'"CSDVersion"="{text}"',
                  f'"CurrentMajorVersionNumber"=dword:{major:08x}', f'"CurrentMinorVersionNumber"=dword:{minor:08x}']
    key = "HKEY_LOCAL_MACHINE\\" + facts["HDAUDIO_KEY"]
    lines += ["", f"[-{key}]", "", f"[{key}]"]
    for function in filter(None, (OTHER_FUNCTION, codec.function)):
        lines += ["", f"[{key}\\{function}]"]
    return "\n".join(lines) + "\n"


@dataclass
class Run:
    """What one run left: the program's exit status (124: stopped at its time limit), the
    command lines the package and the helper received, the helper's window title (its path),
    whether the marker was written; or why it did not run."""

    windows: str
    codec: str
    status: int | None = None
    package: str | None = None
    helper: str | None = None
    helper_window: str | None = None
    marker: bool = False
    not_run: str | None = None


def prepare(folder: str, facts: layout.Facts, runs: list[tuple[Windows, Codec]], program: str) -> list[str]:
    """A folder for each run, afresh: its registry file and its command line."""
    shutil.rmtree(folder, ignore_errors=True)
    folders = [os.path.join(folder, f"{i:02d}") for i in range(len(runs))]
    for path, (w, c) in zip(folders, runs):
        os.makedirs(path)
        with open(os.path.join(path, "registry.reg"), "w", encoding="ascii") as f:
            f.write(registry(facts, w, c))
        with open(os.path.join(path, "command"), "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(f"{program}\n-S\n")
    return folders


def read(folder: str, windows: Windows, codec: Codec, marker_text: str) -> Run:
    def text(name: str) -> str:
        try:  # the log holds the bytes Wine gave, in no promised encoding
            with open(os.path.join(folder, name), encoding="utf-8", errors="surrogateescape") as f:
                return f.read()
        except FileNotFoundError:
            return ""
    events: dict[str, str] = {}  # the first text of each event; a line is EVENT<TAB>TICK<TAB>TEXT...
    for line in text("log").splitlines():
        fields = line.rstrip("\r").split("\t")
        if len(fields) > 2:
            events.setdefault(fields[0], fields[2])
    status = text("status").strip()
    return Run(windows.label, codec.label, int(status) if status.isdigit() else None, events.get("package-start"),
               events.get("helper-start"), events.get("helper-window"), text("marker") == marker_text)


@dataclass
class Build:
    """The build this host runs, as the Wine runner chose it."""

    folder: str
    runs_32bit: bool
    label: str
    wine: str


def chosen_build(env: dict[str, str]) -> Build:
    out = subprocess.run(["bash", RUNNER, "build"], env=env, stdout=subprocess.PIPE, text=True)
    if out.returncode != 0:
        raise RunError()
    folder, runs_32bit, label, wine = out.stdout.splitlines()[:4]
    return Build(folder, runs_32bit == "yes", label, wine)


def run_here(work: str, facts: layout.Facts, shadow: str, program: str, runs: list[tuple[Windows, Codec]],
             env: dict[str, str], say: Callable[[str], None]) -> list[Run]:
    """The runs on this host, one Wine prefix per kind of Windows; says each Windows as its
    last run ends."""
    folders = prepare(os.path.join(work, "runs"), facts, runs, program)
    done: dict[str, Run] = {}
    last = {w.label: path for path, (w, _) in zip(folders, runs)}
    for prefix in dict.fromkeys(w.prefix for w, _ in runs):
        mine = {path: run for path, run in zip(folders, runs) if run[0].prefix == prefix}
        with subprocess.Popen(["bash", RUNNER, "run", work, prefix, prefix, shadow, str(RUN_SECONDS), *mine],
                              env=env, stdout=subprocess.PIPE, text=True) as runner:
            for path in (line.rstrip("\n") for line in runner.stdout or ()):
                done[path] = read(path, *mine[path], facts["MARKER_TEXT"])
                if last[mine[path][0].label] == path:
                    say(f"{mine[path][0].label}: run")
        if runner.returncode != 0:
            raise RunError()
    return [done[path] for path in folders]


def run_in_guest(work: str, facts32: layout.Facts, program_folder: str, runs: list[tuple[Windows, Codec]],
                 env: dict[str, str]) -> list[Run]:
    """The runs on the real 32-bit exe in the emulated x86-64 guest (tools/lib/guest.sh): a
    shadow and the prepared runs go in on its run disk, and come back with what the programs
    left."""
    carry, results, inside = os.path.join(work, "guest"), os.path.join(work, "guest-results"), "/mnt/run/out"
    shutil.rmtree(carry, ignore_errors=True)
    shutil.rmtree(results, ignore_errors=True)
    program = layout.lay(facts32, os.path.join(carry, "shadow"), program_folder, os.path.join(facts32.build, "hdasetup.exe"))
    names = [os.path.relpath(path, carry) for path in prepare(os.path.join(carry, "runs"), facts32, runs, program)]
    command = ["bash", "tools/lib/run-windows.sh", "run", "/var/hda/wine", "win64", "win64", f"{inside}/shadow",
               str(GUEST_RUN_SECONDS), *(f"{inside}/{name}" for name in names)]
    jobs = f"guest_prefix win64 win64\nguest_job disc-check.win64 {shlex.join(command)}\n"
    script = 'source "$1/tools/lib/guest.sh" && guest_need_build && GUEST_CARRY=$2 guest_run "$3"'
    done = subprocess.run(["bash", "-c", script, "guest", REPO, carry, results], input=jobs, text=True, env=env)
    outcome = {}
    for name in ("rc", "log"):
        path = os.path.join(results, f"disc-check.win64.{name}")
        with open(path if os.path.exists(path) else os.devnull, encoding="utf-8", errors="replace") as f:
            outcome[name] = f.read()
    if done.returncode != 0 or outcome["rc"].strip() != "0":
        sys.stderr.write("".join("    " + line for line in outcome["log"].splitlines(True)[-8:]))
        raise RunError()
    return [read(os.path.join(results, name), w, c, facts32["MARKER_TEXT"]) for name, (w, c) in zip(names, runs)]


def key(paths: Iterable[str], *words: str) -> str:
    """The runs' cache key: the files they depend on, and the words that say how they ran."""
    h = hashlib.sha256()
    for path in paths:
        with open(path, "rb") as f:
            h.update(hashlib.sha256(f.read()).digest())
    for word in words:
        h.update(word.encode("utf-8", "surrogateescape") + b"\0")
    return h.hexdigest()


def load(path: str, wanted: str) -> list[Run] | None:
    """The runs saved with that key, or None."""
    try:
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            saved = json.load(f)
    except (OSError, ValueError):
        return None
    return [Run(**r) for r in saved["runs"]] if saved.get("key") == wanted else None


def save(path: str, run_key: str, runs: list[Run]) -> None:
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        json.dump({"key": run_key, "runs": [asdict(r) for r in runs]}, f, ensure_ascii=False)

"""The runs of a check: hdasetup.exe run silently under Wine on a shadow of the disc, on each
Windows of the table below with each known codec's HD-audio function registered, and once with
none. Each run is prepared here as a folder (its registry file and command line),
tools/lib/run-windows.sh starts the programs, and what they left (the stand-ins' log, the exit
status, the marker) is read back here.

The runs depend on the exe, the stand-ins, the program's folder, this tool and Wine, never on
the rest of the disc: a check that shares all of these with the last one reads that one's
runs back (runs.json in the work folder) instead of running them again."""

from __future__ import annotations

import hashlib
import json
import os
import shlex
import shutil
import subprocess
import sys
from dataclasses import asdict, dataclass
from typing import Iterable

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
    """A Windows of the table. version is one of Wine's presets, or an exact record (version,
    build, service-pack text) that Wine then reports; subsystem the highest subsystem version
    of a program it starts; x64 a 64-bit Windows, which runs hdasetup.exe under WOW64 and
    starts x86-64 programs too."""

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


def codecs(facts: layout.Facts) -> list[Codec]:
    """"FUNC_01&VEN_1095&DEV_1392" as 1095:1392, registered as
    "FUNC_01&VEN_1095&DEV_1392&SUBSYS_10951392&REV_1000"; then a machine without one."""
    out = []
    for codec in facts.codecs:
        ven, dev = codec.split("VEN_")[1].split("&")[0], codec.split("DEV_")[1]
        out.append(Codec(f"{ven}:{dev}", f"{codec}&SUBSYS_{ven}{dev}&REV_1000"))
    return out + [Codec("none", None)]


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
    """What one run left: the program's exit status (124: stopped at the time limit), the
    package's and the helper's command lines as they received them, the helper's window
    title (its path), and whether the marker was written; or why it did not run."""

    windows: str
    codec: str
    status: int | None = None
    package: str | None = None
    helper: str | None = None
    helper_window: str | None = None
    marker: bool = False
    not_run: str | None = None


def first_event(log: str, event: str) -> str | None:
    """The text of the first line of EVENT in the stand-ins' log, whose lines are
    EVENT<TAB>TICK<TAB>TEXT[<TAB>MORE]."""
    for line in log.splitlines():
        fields = line.rstrip("\r").split("\t")
        if fields[0] == event and len(fields) > 2:
            return fields[2]
    return None


def read_run(folder: str, windows: Windows, codec: Codec, marker_text: str) -> Run:
    def text(name: str) -> str | None:
        try:  # the log holds the bytes Wine gave, in no promised encoding
            with open(os.path.join(folder, name), encoding="utf-8", errors="surrogateescape") as f:
                return f.read()
        except FileNotFoundError:
            return None
    log, status = text("log") or "", text("status")
    return Run(windows.label, codec.label, status=int(status) if status and status.strip().isdigit() else None,
               package=first_event(log, "package-start"), helper=first_event(log, "helper-start"),
               helper_window=first_event(log, "helper-window"), marker=text("marker") == marker_text)


@dataclass
class Build:
    """The build this host runs, as the Wine runner chose it."""

    folder: str
    runs_32bit: bool
    label: str
    wine: str

    @classmethod
    def chosen(cls, env: dict[str, str]) -> Build:
        out = subprocess.run(["bash", RUNNER, "build"], env=env, stdout=subprocess.PIPE, text=True)
        if out.returncode != 0:
            raise RunError()
        folder, runs_32bit, label, wine = out.stdout.splitlines()[:4]
        return cls(folder, runs_32bit == "yes", label, wine)


def prepare(folder: str, facts: layout.Facts, windows: Windows, codec: Codec, program: str) -> None:
    os.makedirs(folder)
    with open(os.path.join(folder, "registry.reg"), "w", encoding="ascii") as f:
        f.write(registry(facts, windows, codec))
    with open(os.path.join(folder, "command"), "w", encoding="utf-8", errors="surrogateescape") as f:
        f.write(f"{program}\n-S\n")


def table(codec_list: list[Codec], only: Iterable[Windows] = WINDOWS) -> list[tuple[Windows, Codec]]:
    return [(w, c) for w in only for c in codec_list]


def run_here(work: str, facts: layout.Facts, shadow: str, program: str, plan: list[tuple[Windows, Codec]],
             env: dict[str, str], say) -> list[Run]:
    """The runs of PLAN on this host, one Wine prefix per kind of Windows; says each Windows
    as its last run ends."""
    folder = os.path.join(work, "runs")
    shutil.rmtree(folder, ignore_errors=True)
    runs: dict[str, Run] = {}
    for prefix in dict.fromkeys(w.prefix for w, _ in plan):
        mine = [(f"{i:02d}", w, c) for i, (w, c) in enumerate(plan) if w.prefix == prefix]
        for name, w, c in mine:
            prepare(os.path.join(folder, name), facts, w, c, program)
        last = {w.label: name for name, w, _ in mine}
        by_name = {name: (w, c) for name, w, c in mine}
        with subprocess.Popen(["bash", RUNNER, "run", work, prefix, prefix, shadow, str(RUN_SECONDS),
                               *(os.path.join(folder, name) for name, _, _ in mine)],
                              env=env, stdout=subprocess.PIPE, text=True) as runner:
            assert runner.stdout is not None
            for line in runner.stdout:
                name = os.path.basename(line.rstrip("\n"))
                w, c = by_name[name]
                runs[name] = read_run(os.path.join(folder, name), w, c, facts["MARKER_TEXT"])
                if last[w.label] == name:
                    say(f"{w.label}: run")
        if runner.returncode != 0:
            raise RunError()
    return [runs[f"{i:02d}"] for i in range(len(plan))]


def run_in_guest(work: str, facts32: layout.Facts, program_folder: str, plan: list[tuple[Windows, Codec]],
                 env: dict[str, str], say) -> list[Run]:
    """The runs of PLAN on the real 32-bit exe in the emulated x86-64 guest (tools/lib/guest.sh):
    the shadow and the prepared runs go in on the run disk, and come back with what the
    programs left."""
    carry = os.path.join(work, "guest")
    shutil.rmtree(carry, ignore_errors=True)
    program = layout.lay(facts32, os.path.join(carry, "shadow"), program_folder,
                         os.path.join(facts32.build, "hdasetup.exe"))
    names = [f"{i:02d}" for i in range(len(plan))]
    for name, (w, c) in zip(names, plan):
        prepare(os.path.join(carry, "runs", name), facts32, w, c, program)
    inside = "/mnt/run/out"  # where the run disk's out/ lies in the guest
    command = ["bash", "tools/lib/run-windows.sh", "run", "/var/hda/wine", "win64", "win64", f"{inside}/shadow",
               str(GUEST_RUN_SECONDS), *(f"{inside}/runs/{name}" for name in names)]
    jobs = f"guest_prefix win64 win64\nguest_job disc-check.win64 {shlex.join(command)}\n"
    results = os.path.join(work, "guest-results")
    shutil.rmtree(results, ignore_errors=True)
    script = 'source "$1/tools/lib/guest.sh" && guest_need_build && GUEST_CARRY=$2 guest_run "$3"'
    done = subprocess.run(["bash", "-c", script, "guest", REPO, carry, results], input=jobs, text=True, env=env)
    rc = os.path.join(results, "disc-check.win64.rc")
    if done.returncode != 0 or not os.path.exists(rc) or open(rc).read().strip() != "0":
        log = os.path.join(results, "disc-check.win64.log")
        if os.path.exists(log):
            with open(log, encoding="utf-8", errors="replace") as f:
                sys.stderr.write("".join("    " + line for line in f.readlines()[-8:]))
        raise RunError()
    return [read_run(os.path.join(results, "runs", name), w, c, facts32["MARKER_TEXT"])
            for name, (w, c) in zip(names, plan)]


def key(paths: Iterable[str], *words: str) -> str:
    """The runs' cache key: the files they depend on and the words that say how they ran."""
    h = hashlib.sha256()
    for path in paths:
        with open(path, "rb") as f:
            h.update(hashlib.sha256(f.read()).digest())
    for word in words:
        h.update(word.encode("utf-8", "surrogateescape") + b"\0")
    return h.hexdigest()


def load(path: str, wanted: str) -> list[Run] | None:
    try:
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            saved = json.load(f)
    except (OSError, ValueError):
        return None
    return [Run(**r) for r in saved["runs"]] if saved.get("key") == wanted else None


def save(path: str, run_key: str, runs: list[Run]) -> None:
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
        json.dump({"key": run_key, "runs": [asdict(r) for r in runs]}, f, ensure_ascii=False)

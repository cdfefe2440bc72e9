"""Where hdasetup.exe looks on a disc, and the shadow it runs on for the tools: the program
and, at exactly the paths it builds, a stand-in for every program it may start, so that
nothing of a real disc is ever run or changed. The paths are the build's own (disc-facts.json,
written from setup/DiscFacts.h), never typed here."""

from __future__ import annotations

import json
import os
import shutil
from dataclasses import dataclass
from typing import Mapping

from disc import split


class Facts:
    """The driver disc as the program sees it, from a build's disc-facts.json."""

    def __init__(self, build: str) -> None:
        with open(os.path.join(build, "disc-facts.json"), encoding="utf-8") as f:
            self.facts: dict[str, str] = json.load(f)
        self.build = build

    def __getitem__(self, name: str) -> str:
        return self.facts[name]

    @property
    def packages(self) -> list[str]:
        """Every package in the order of the program's choice: Server 2003 and XP x64, XP
        SP1, other XP, everything else."""
        return [self[folder] + self["PACKAGE_FILE_" + name] for folder, name in (
            ("PACKAGE_FOLDER_2003", "SRVRTM"), ("PACKAGE_FOLDER_XP", "XPSP1"),
            ("PACKAGE_FOLDER_XP", "XPSP2"), ("PACKAGE_FOLDER_XP", "W2KSP4"))]

    @property
    def quiet(self) -> str:
        """What silent mode adds to a package's path (" /quiet /o")."""
        return self["PACKAGE_FILE_XPSP2_SILENT"][len(self["PACKAGE_FILE_XPSP2"]):]

    @property
    def codecs(self) -> list[str]:
        return [value for name, value in self.facts.items() if name.startswith("CODEC_")]

    def standin(self, name: str) -> str:
        return os.path.join(self.build, "standins", name)


@dataclass(frozen=True)
class Needed:
    """A file the program may start or name: what it is, where (relative to the disc's root,
    with /), and the stand-in a shadow holds there (an INF file a stand-in INF)."""

    kind: str
    rel: str
    standin: str


def base(program: list[str]) -> list[str]:
    """Where the program looks for the helper: it cuts its own folder after the third
    backslash from the end, so D:\\ and D:\\Audio\\ stay as they are and any deeper folder
    loses its last two levels."""
    return program if len(program) < 2 else program[:-2]


def needed(facts: Facts, program: str) -> list[Needed]:
    folder, helper_base = split(program), base(split(program))

    def at(where: list[str], path: str) -> str:
        return "/".join(where + split(path))
    return ([Needed("package", at(folder, p), "standin_package.exe") for p in facts.packages]
            + [Needed("helper", at(helper_base, facts[h]), "standin_helper.exe") for h in ("HELPER_32", "HELPER_64")]
            + [Needed("inf", at(helper_base, facts[i]), "intchdmi.inf") for i in ("INF_32", "INF_64")])


def windows_path(rel: str) -> str:
    return "D:\\" + rel.replace("/", "\\")


def lay(facts: Facts, shadow: str, program: str, exe: str, only: Mapping[str, bytes | None] | None = None) -> str:
    """Lays the shadow afresh: exe as hdasetup.exe in the program's folder and a stand-in at
    each needed path, or with ONLY just at the paths it holds (an INF file's own bytes where
    it gives them). Returns the program's Windows path in the shadow."""
    shutil.rmtree(shadow, ignore_errors=True)
    folder = "/".join(split(program))
    os.makedirs(os.path.join(shadow, folder), exist_ok=True)
    shutil.copyfile(exe, os.path.join(shadow, folder, "hdasetup.exe"))
    for n in needed(facts, program):
        if only is not None and n.rel not in only:
            continue
        dest = os.path.join(shadow, n.rel)
        os.makedirs(os.path.dirname(dest), exist_ok=True)
        data = only.get(n.rel) if only is not None else None
        if data is None:
            shutil.copyfile(facts.standin(n.standin), dest)
        else:
            with open(dest, "wb") as out:
                out.write(data)
    return windows_path("/".join(filter(None, (folder, "hdasetup.exe"))))

#!/usr/bin/python3
"""Lays the disc the demo and the benchmark run hdasetup.exe on, through the same code that
lays disc-check's: the sample disc (a stand-in at every path the program builds), or with
--disc a shadow of a real disc or image (a stand-in only where the disc has that program,
its INF files copied), so that the run behaves as it would on the disc and nothing of the
disc is run or changed.

Prints the program's path in the shadow (D:\\...\\hdasetup.exe), the disc as it was read,
and then each file the disc lacks, one a line. Every failure is one line and exit status 2."""

from __future__ import annotations

import argparse
import os
import sys

import check
import disc as discs
import layout
from runs import WINDOWS

# Wine's version presets, as the Windows whose namespace a shadow of an image is laid from.
PRESETS = {"win2k": "Windows 2000 SP4", "win2003": "Windows Server 2003", "win7": "Windows 7",
           "win10": "Windows 7", "winxp": "Windows XP", "winxp64": "Windows XP x64"}


def parse(argv: list[str]) -> argparse.Namespace:
    p = argparse.ArgumentParser(prog="shadow.py", description=__doc__.split("\n\n")[0])
    p.add_argument("shadow", help="the folder to lay (cleared first)")
    p.add_argument("--build", required=True, help="the build whose hdasetup.exe, stand-ins and disc facts are laid")
    p.add_argument("--program", default="Drivers/Audio", help="the program's folder on the disc")
    p.add_argument("--disc", help="a disc's root folder or image: lay a shadow of it")
    p.add_argument("--windows", default="winxp", help="Wine's version preset whose namespace an image is read in")
    p.add_argument("--work", help="a folder the disc must neither lie in nor hold (the demo's)")
    p.add_argument("--check", action="store_true", help="only check the disc and the program folder; lay nothing")
    return p.parse_args(argv)


def lay_from_disc(a: argparse.Namespace) -> list[str]:
    windows = PRESETS.get(a.windows, "Windows XP")
    row = next(w for w in WINDOWS if w.label == windows)
    with discs.open_disc(a.disc, [windows]) as ds:
        if a.work:
            check.refuse_work_folder(ds, a.work, "the demo")
        program = check.Program(ds, a.program, [row])
        shown = ds.real + (f", read as {ds.disc(windows).namespace} as Wine's '{a.windows}' reads it" if ds.image else "")
        if a.check:
            return [shown]
        facts = layout.Facts(a.build)
        looker, only, lacking = check.Looker(ds), {}, []
        for n in layout.needed(facts, program.folder):
            look, found = looker.find(row, n.kind, layout.windows_path(n.rel))
            if look.state != discs.YES:
                why = check.hint(ds.disc(windows), found, n.rel) or look.why
                lacking.append(f"  {n.kind:<8} {look.path}{': ' + why if why else ''}")
            else:
                only[n.rel] = check.read(ds.disc(windows), found, check.MAX_INF) if n.kind == "inf" else None
        path = layout.lay(facts, a.shadow, program.folder, os.path.join(a.build, "hdasetup.exe"), only)
    return [path, shown] + lacking


def main(argv: list[str]) -> int:
    a = parse(argv)
    try:
        if a.disc:
            lines = lay_from_disc(a)
        else:
            lines = [layout.lay(layout.Facts(a.build), a.shadow, a.program, os.path.join(a.build, "hdasetup.exe")),
                     "the sample disc"]
    except (check.CheckError, discs.DiscError) as e:
        print(f"{os.environ.get('HDA_CALLER', 'shadow')}: {e}", file=sys.stderr)
        return 2
    if not a.check:
        sys.stdout.buffer.write("".join(line + "\n" for line in lines).encode("utf-8", "surrogateescape"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

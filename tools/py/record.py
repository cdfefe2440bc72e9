"""One check's record: what ran, what each run started or named, how each file stands on the
disc, and the verdict drawn from them. record.json, --format json and the three reports are
all written from it; the verdict is decided here once, for the headline and the exit status."""

from __future__ import annotations

import json
from dataclasses import asdict, dataclass, field
from typing import Any

YES = "yes"
NOT_RUN = "not run"
DID_NOT_FINISH = "did not finish"


@dataclass
class FileLook:
    """A file a run started or named: package, helper or inf; its path as the program gave
    it; its state on the disc (yes, missing, link, not a file, bad name, cannot be read...)
    and, when it does not count, why in words."""

    kind: str
    path: str
    state: str
    why: str = ""


@dataclass
class Row:
    """One run: a Windows with one codec's HD-audio function registered (codec "none": no
    known codec). A run that did not happen says why in not_run."""

    windows: str
    supported: bool
    codec: str
    ran: bool = True
    not_run: str | None = None
    status: int | None = None
    package: str | None = None
    helper: str | None = None
    files: list[FileLook] = field(default_factory=list)
    marker: bool = False
    missing: bool = False

    @property
    def finished(self) -> bool:
        return self.status == 0

    @property
    def fails(self) -> bool:
        """A run that vouches for nothing: it lacks a file, or did not finish."""
        return self.ran and (self.missing or not self.finished)


@dataclass
class Exe:
    label: str
    path: str
    size: int | None = None
    sha256: str | None = None
    file_version: str | None = None
    product_version: str | None = None
    absent: str | None = None


@dataclass
class Note:
    label: str
    text: str


@dataclass
class ReadAs:
    windows: list[str]
    namespace: str


@dataclass
class Image:
    path: str
    read_as: list[ReadAs]


@dataclass
class Record:
    disc: str
    program: str
    run_with: str
    image: Image | None = None
    exes: list[Exe] = field(default_factory=list)
    same_build: str = ""
    notes: list[Note] = field(default_factory=list)
    rows: list[Row] = field(default_factory=list)

    def to_json(self) -> str:
        return json.dumps(asdict(self), ensure_ascii=False, indent=1) + "\n"

    @classmethod
    def from_dict(cls, d: dict[str, Any]) -> Record:
        image = d.get("image")
        return cls(disc=d["disc"], program=d["program"], run_with=d["run_with"],
                   image=image and Image(image["path"], [ReadAs(**r) for r in image["read_as"]]),
                   exes=[Exe(**e) for e in d.get("exes", [])], same_build=d.get("same_build", ""),
                   notes=[Note(**n) for n in d.get("notes", [])],
                   rows=[Row(**dict(r, files=[FileLook(**f) for f in r.get("files", [])])) for r in d["rows"]])


def windows_label(row: Row) -> str:
    return row.windows + ("" if row.supported else " (not supported)")


# A file on the disc that Windows would not start or open is shown as a missing one is.
AS_MISSING = ("missing", "will not start", "will not open")


def short_name(look: FileLook, why: bool = False) -> str:
    """The file's name, with why it does not count (WHY) or else what it is when that is
    not plainly a missing file."""
    name = look.path.rsplit("\\", 1)[-1]
    if why and look.why:
        return f"{name} ({look.why})"
    return name if look.state in AS_MISSING else f"{name} ({look.state})"


def problems(row: Row, why: bool = False) -> list[str]:
    """What a run that ran lacks, by short file name (and WHY each does not count); why
    nothing started; or that it did not finish."""
    said = [short_name(f, why) for f in row.files if f.state != YES]
    if row.package is None:
        said.append("nothing started")
    if not row.finished:
        said.append(f"{DID_NOT_FINISH} (exit {row.status})")
    return said


@dataclass
class Verdict:
    """The headline, what each Windows lacks [(label, text)], why some did not run, and the
    exit status: 1 when a supported Windows that ran lacks a file or did not finish."""

    headline: str
    lacking: list[tuple[str, str]]
    not_run: list[tuple[str, str]]
    status: int


def verdict(record: Record) -> Verdict:
    rows = record.rows
    supported = list(dict.fromkeys(windows_label(r) for r in rows if r.ran and r.supported))
    lacking: dict[str, list[str]] = {}
    not_run: dict[str, str] = {}
    for r in rows:
        if not r.ran:
            not_run.setdefault(windows_label(r), r.not_run or NOT_RUN)
        elif r.fails:
            lacking.setdefault(windows_label(r), []).extend(problems(r, why=True) or ["!"])
    bad = [w for w in lacking if w in supported]
    unfinished = any(not r.finished for r in rows if r.fails and windows_label(r) in bad)
    looks = [f.state for r in rows if r.fails and windows_label(r) in bad for f in r.files if f.state != YES]
    lacks = any(r.missing for r in rows if r.fails and windows_label(r) in bad)
    # "lacks" only where every such file is plainly missing: a link, a 0-byte or broken program
    # is on the disc, yet no use to that Windows.
    lacks_or = "lacks" if set(looks) <= {"missing"} else "cannot use"
    what = " or ".join(w for w, yes in ((f"would start a file the disc {lacks_or}", lacks),
                                         ("did not finish a run", unfinished)) if yes)
    that_ran = " that ran" if any(r.supported for r in rows if not r.ran) else ""
    if not supported:
        headline = "no supported Windows ran: nothing is vouched for."
    elif bad:
        headline = f"{len(bad)} of the {len(supported)} supported Windows{that_ran} {what}:"
    elif lacking:
        headline = (f"every supported Windows{that_ran} finds every file it starts on the disc; "
                    "one it does not support would not:")
    else:
        headline = f"every supported Windows{that_ran} finds every file it starts on the disc."
    return Verdict("Verdict: " + headline,
                   [(w, ", ".join(dict.fromkeys(said))) for w, said in lacking.items()],
                   list(not_run.items()), 1 if bad or not supported else 0)

"""A driver disc as Windows sees it: a folder, or an ISO image read through pycdlib in the
namespace the given Windows reads. Only names and sizes come from an image's directory
records; a file's bytes are read only when asked for, and never more than asked."""

from __future__ import annotations

import os
import re
import signal
import stat
import subprocess
import sys
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, BinaryIO, Iterable

if TYPE_CHECKING:
    import pycdlib

# A name that holds one of these, or a control character, cannot stand on Windows: an image
# or a Linux folder may still carry one ("Win2K_XP/us" in a Joliet record), and it must never
# pass for the folder it seems to name.
FORBIDDEN = set('<>:"/\\|?*')

# States of a looked-up file, as the report shows them.
YES, MISSING, LINK, NOT_A_FILE, BAD_NAME = "yes", "missing", "link", "not a file", "bad name"
UNREADABLE = "cannot be read"

# The UDF revisions each Windows reads, as the revision number in the domain identifier's
# suffix (0x0102 for UDF 1.02). Windows 2000 reads UDF 1.02 and 1.50 (Windows 2000
# Professional Resource Kit, "CD-ROM File System and UDF"); Windows XP and Server 2003 read
# 1.02, 1.50, 2.00 and 2.01 (Windows XP Professional Resource Kit, "Universal Disk Format":
# "reads UDF versions 1.02, 1.50, 2.0, and 2.01"; its udfs.sys is the 2003 one); Windows Vista
# and later read up to 2.60. A disc of another revision is read through its ISO 9660 side.
UDF_2000 = (0x0102, 0x0150)
UDF_XP = (0x0102, 0x0150, 0x0200, 0x0201)
UDF_VISTA = UDF_XP + (0x0250, 0x0260)

# pycdlib walks every folder of every namespace when it opens an image, with no visited set:
# a folder that points back at the root makes it run and grow for ever. So a child opens the
# image first, held to these (an image of 20,000 files opened here in 3 s and 130 MiB; a loop
# stops at the memory limit in about 20 s).
OPEN_SECONDS = 40
OPEN_MEMORY = 768 << 20

# Flags that make Windows pass over a name: a UDF file identifier marked deleted, and an ISO
# 9660 or Joliet record marked as an associated file (Windows' CD file system looks names up
# only among records without it). pycdlib keeps both as ordinary names.
UDF_DELETED = 0x04
ISO_DIRECTORY, ISO_ASSOCIATED = 0x02, 0x04
# A UDF file entry's own file type, which is what Windows goes by.
UDF_TYPES = {4: ("dir", "a folder"), 5: ("file", "a file"), 12: ("link", "a UDF symbolic link")}


class DiscError(Exception):
    """A disc that cannot be read at all: the caller stops with this one line."""


class CannotRead(DiscError):
    """One file or folder of a disc that cannot be read, with the reason in one line."""

    def __init__(self, rel: str, reason: str) -> None:
        super().__init__(f"{rel} cannot be read: {reason}")
        self.reason = reason


def bad_name(name: str) -> bool:
    return name in ("", ".", "..") or any(c in FORBIDDEN or ord(c) < 32 for c in name)


class _Upcase(dict):
    """Windows compares names through its one-to-one upper-case table (see the platform
    notes): each character becomes one character, so "ß" stays "ß" where str.upper() makes
    it "SS", and U+017F (long s) and U+0131 (dotless i) stay as they are where str.upper()
    makes them "S" and "I". Filled one character at a time, as str.translate asks."""

    KEPT = {0x017F, 0x0131}

    def __missing__(self, code: int) -> str:
        up = chr(code).upper()
        self[code] = up = up if len(up) == 1 and code not in self.KEPT else chr(code)
        return up


_UPCASE = _Upcase()


def fold(name: str) -> str:
    return name.upper() if name.isascii() else name.translate(_UPCASE)


def udf_revisions_read(windows: str) -> tuple[int, ...]:
    if windows.startswith("Windows 2000"):
        return UDF_2000
    if windows.startswith(("Windows XP", "Windows Server 2003")):
        return UDF_XP
    if windows.startswith(("Windows 7", "Windows 10", "Windows Vista")):
        return UDF_VISTA
    return ()


def split(path: str) -> list[str]:
    """A relative path given with / or \\, as its names."""
    return [p for p in re.split(r"[\\/]", path) if p not in ("", ".")]


@dataclass(slots=True)
class Entry:
    """One name in a folder: kind is dir, file, link, other or unreadable (what says which, in
    words that follow "is")."""

    name: str
    kind: str
    size: int = 0
    what: str = ""
    ref: Any = None  # an image's record of it


@dataclass(slots=True)
class Found:
    state: str
    rel: str
    entry: Entry | None = None


@dataclass
class Listing:
    """A folder's entries, each name folded once: the names Windows can look up, and the
    names it cannot hold with the path each seems to name."""

    entries: list[Entry]
    unreadable: str = ""
    index: dict[str, Entry] = field(default_factory=dict)
    seeming: list[tuple[str, Entry]] = field(default_factory=list)

    def __post_init__(self) -> None:
        for e in self.entries:
            if bad_name(e.name):
                self.seeming.append((fold(e.name.replace("\\", "/")), e))
            else:  # of two names that fold alike (a Linux folder may hold both), the first answers
                self.index.setdefault(fold(e.name), e)


class Disc:
    """What both kinds share: the case-insensitive, literal lookup Windows makes."""

    kind = namespace = "folder"

    def __init__(self) -> None:
        self._listed: dict[tuple[str, ...], Listing] = {}
        self.bad_names: list[tuple[str, str]] = []  # (folder as found, name) in every folder looked in

    def _entries(self, folder: tuple[str, ...]) -> list[Entry]:
        raise NotImplementedError

    def read(self, found: Found, limit: int) -> bytes:
        """At most LIMIT bytes from the start of a file that lookup found."""
        raise NotImplementedError

    def listing(self, folder: tuple[str, ...]) -> Listing:
        """The entries of a folder given as its names on the disc."""
        if folder not in self._listed:
            try:
                listing = Listing(self._entries(folder))
            except CannotRead as e:
                listing = Listing([], unreadable=e.reason)
            self._listed[folder] = listing
            self.bad_names += [("/".join(folder) or ".", e.name) for _, e in listing.seeming]
        return self._listed[folder]

    def lookup(self, path: str, want: str = "file") -> Found:
        """Where PATH (relative, / or \\) is, the way Windows finds it: each name compared
        whole and without regard to case, never as a pattern, never through a link."""
        parts, folder = split(path), ()
        match = Entry("", "dir", what="the disc's root folder")
        for i, part in enumerate(parts):
            listing = self.listing(folder)
            if listing.unreadable:
                return Found(UNREADABLE, "/".join(folder) or ".", _unreadable(match, listing.unreadable))
            found = listing.index.get(fold(part))
            if found is None:
                return self._seeming(parts, folder) or Found(MISSING, "/".join(folder + tuple(parts[i:])))
            match, folder = found, folder + (found.name,)
            if match.kind in ("link", "unreadable"):
                return Found(LINK if match.kind == "link" else UNREADABLE, "/".join(folder), match)
            if i < len(parts) - 1 and match.kind != "dir":
                return self._seeming(parts, folder) or Found(MISSING, "/".join(folder + tuple(parts[i + 1:])), match)
        rel = "/".join(folder)
        if match.kind != ("dir" if want == "dir" else "file"):
            return Found(NOT_A_FILE, rel, match)
        if want != "dir":
            return self._readable(Found(YES, rel, match))
        unreadable = self.listing(folder).unreadable
        return Found(UNREADABLE, rel or ".", _unreadable(match, unreadable)) if unreadable else Found(YES, rel, match)

    def _readable(self, found: Found) -> Found:
        return found

    def _seeming(self, parts: list[str], reached: tuple[str, ...]) -> Found | None:
        """For a path not found: a name Windows cannot hold, in a folder on the way, that
        seems to name it ("Win2K_XP/us/KB.exe" in Drivers/Audio); None when there is none."""
        for depth in range(len(reached), -1, -1):
            rest = fold("/".join(parts[depth:]))
            for seems, e in self.listing(reached[:depth]).seeming:
                if rest == seems or rest.startswith(seems + "/"):
                    return Found(BAD_NAME, "/".join(reached[:depth] + (e.name,)), e)
        return None

    def cut_forms(self, path: str) -> list[str]:
        """For a file an image without Joliet lacks: the names in its folder that ISO 9660
        would cut its name to (eight characters, the extension's first three, a numbered
        tail where cut names collide: KB888110.EXE for KB888111XPSP2.exe)."""
        parts = split(path)
        folder = self.lookup("/".join(parts[:-1]), want="dir")
        if folder.state != YES or not parts:
            return []
        base, dot, ext = parts[-1].rpartition(".")
        if not dot:
            base, ext = ext, ""
        base = re.sub("[^A-Z0-9_]", "_", base.upper())
        if len(base) <= 8:
            return []
        found = []
        for e in self.listing(tuple(split(folder.rel))).entries:
            cut, _, cut_ext = e.name.upper().partition(".")
            if (ext and cut_ext != ext.upper()[:3]) or len(cut) != 8:
                continue
            common = next((n for n in range(8) if cut[n] != base[n]), 8)
            if cut[common:].isdigit() or common == 8:
                found.append(e.name)
        return sorted(found)


def _unreadable(entry: Entry, reason: str) -> Entry:
    noun = "a folder" if entry.kind == "dir" else "a file"
    return Entry(entry.name, entry.kind, entry.size, f"{noun} that cannot be read ({reason})", entry.ref)


class FolderDisc(Disc):
    """A disc's root folder. A link, a FIFO or a device is listed as what it is: never
    followed, never opened; every folder is opened from the root down without following a
    link, so nothing outside the disc is read even if a link is swapped in meanwhile."""

    def __init__(self, root: str) -> None:
        super().__init__()
        self.root = os.path.realpath(root)

    def _open_folder(self, parts: Iterable[str]) -> int:
        fd = os.open(self.root, os.O_RDONLY | os.O_DIRECTORY)
        try:
            for part in parts:
                fd, parent = os.open(part, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW, dir_fd=fd), fd
                os.close(parent)
        except OSError:
            os.close(fd)
            raise
        return fd

    def _entries(self, folder: tuple[str, ...]) -> list[Entry]:
        try:
            fd = self._open_folder(folder)
        except OSError as e:
            raise CannotRead("/".join(folder) or ".", e.strerror) from None
        try:
            with os.scandir(fd) as it:
                return sorted((self._entry(d) for d in it), key=lambda e: e.name)
        except OSError as e:
            raise CannotRead("/".join(folder) or ".", e.strerror) from None
        finally:
            os.close(fd)

    @staticmethod
    def _entry(d: os.DirEntry) -> Entry:
        try:
            st = d.stat(follow_symlinks=False)
        except OSError as e:  # in a folder that can be listed but not searched
            return Entry(d.name, "unreadable", what=f"a name that cannot be read ({e.strerror})")
        kind, what = _kind_of(st.st_mode)
        return Entry(d.name, kind, size=st.st_size, what=what)

    def _readable(self, found: Found) -> Found:
        try:
            self.read(found, 1)
        except CannotRead as e:
            return Found(UNREADABLE, found.rel, _unreadable(found.entry, e.reason))
        return found

    def read(self, found: Found, limit: int) -> bytes:
        """Only while it is still the regular file that was listed: opened without following
        a link and without waiting on a FIFO."""
        parts = split(found.rel)
        try:
            parent = self._open_folder(parts[:-1])
            try:
                fd = os.open(parts[-1], os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK | os.O_NOCTTY, dir_fd=parent)
            finally:
                os.close(parent)
            with open(fd, "rb") as f:
                st = os.fstat(fd)
                if not stat.S_ISREG(st.st_mode):
                    raise CannotRead(found.rel, "it is no longer a file")
                data = f.read(limit)
        except OSError as e:
            raise CannotRead(found.rel, e.strerror) from None
        return _whole(found.rel, data, min(limit, st.st_size), st.st_size)


def _whole(rel: str, data: bytes, wanted: int, size: int) -> bytes:
    if len(data) < wanted:
        raise CannotRead(rel, f"only {len(data)} of its {size} bytes are there")
    return data


def _kind_of(mode: int) -> tuple[str, str]:
    if stat.S_ISLNK(mode):
        return "link", "a symbolic link"
    if stat.S_ISDIR(mode):
        return "dir", "a folder"
    if stat.S_ISREG(mode):
        return "file", "a file"
    for test, what in ((stat.S_ISFIFO, "a FIFO"), (stat.S_ISCHR, "a character device"),
                       (stat.S_ISBLK, "a block device"), (stat.S_ISSOCK, "a socket")):
        if test(mode):
            return "other", what
    return "other", "neither a file nor a folder"


def udf_revision(iso: pycdlib.PyCdlib) -> int | None:
    if not iso.has_udf() or not iso.udf_main_descs.logical_volumes:
        return None
    suffix = iso.udf_main_descs.logical_volumes[0].domain_ident.suffix
    return int.from_bytes(suffix[:2], "little")


def image_namespace(iso: pycdlib.PyCdlib, windows: str) -> str:
    """udf, joliet or iso: what WINDOWS reads of this image."""
    if udf_revision(iso) in udf_revisions_read(windows):
        return "udf"
    return "joliet" if iso.has_joliet() else "iso"


class ImageDisc(Disc):
    """One namespace of an image, with the flags and kinds Windows reads. Rock Ridge, which
    Windows never reads, is never used: a Rock Ridge link is the file its record is."""

    def __init__(self, iso: pycdlib.PyCdlib, namespace: str) -> None:
        super().__init__()
        self.iso, self.kind = iso, namespace
        rev = udf_revision(iso) or 0
        self.namespace = {"udf": f"UDF {rev >> 8}.{rev & 0xFF:02x}", "joliet": "Joliet",
                          "iso": "ISO 9660"}[namespace]
        root = {"udf": lambda: iso.udf_root, "joliet": lambda: iso.joliet_vd.root_dir_record,
                "iso": lambda: iso.pvd.root_dir_record}[namespace]()
        self._records: dict[tuple[str, ...], Any] = {(): root}

    def _entries(self, folder: tuple[str, ...]) -> list[Entry]:
        entries = []
        if self.kind == "udf":
            for desc in self._records[folder].fi_descs:
                if desc.isparent or desc.file_characteristics & UDF_DELETED:
                    continue
                name, fe = desc.fi.decode(desc.encoding, "replace"), desc.file_entry
                if fe is None:
                    entries.append(Entry(name, "other", what="a name without a file entry"))
                    continue
                kind, what = UDF_TYPES.get(fe.icb_tag.file_type, ("other", f"a UDF entry of type {fe.icb_tag.file_type}"))
                entries.append(Entry(name, kind, fe.get_data_length(), what, fe))
        else:
            for rec in self._records[folder].children:
                if rec is None or rec.is_dot() or rec.is_dotdot() or rec.file_flags & ISO_ASSOCIATED:
                    continue
                is_dir = bool(rec.file_flags & ISO_DIRECTORY)
                if self.kind == "joliet":
                    name = rec.file_ident.decode("utf-16_be", "replace")
                else:  # the version suffix, and a bare extension's dot, are not part of the name Windows shows
                    name = re.sub(r";\d*$", "", rec.file_ident.decode("latin-1"))
                    name = name[:-1] if name.endswith(".") and not is_dir else name
                entries.append(Entry(name, "dir", what="a folder", ref=rec) if is_dir else
                               Entry(name, "file", rec.get_data_length(), "a file", rec))
        for e in entries:
            if e.kind == "dir":
                self._records.setdefault(folder + (e.name,), e.ref)
        return entries

    def read(self, found: Found, limit: int) -> bytes:
        """Through the file's own record, never pycdlib's lookup by path (open_file_from_iso):
        that takes the first identifier of the name even when it is marked deleted, so a
        deleted twin before the live file gives the deleted one's bytes; and for ISO 9660 it
        follows Rock Ridge's relocations."""
        from pycdlib.pycdlibexception import PyCdlibException
        from pycdlib.pycdlibio import PyCdlibIO

        assert found.entry is not None
        inode = found.entry.ref.inode
        if inode is None:
            raise CannotRead(found.rel, "its record points at no data")
        try:
            with PyCdlibIO(inode, self.iso.logical_block_size) as f:
                data = f.read(limit)
        except (OSError, PyCdlibException) as e:
            raise CannotRead(found.rel, str(e)) from None
        return _whole(found.rel, data, min(limit, found.entry.size), found.entry.size)


class DiscSet:
    """An opened disc: a folder, the same for every Windows, or an image with one Disc for
    each namespace that some Windows reads. Close it, or use it with `with`."""

    def __init__(self, real: str, image: str | None, folder: FolderDisc | None = None,
                 iso: pycdlib.PyCdlib | None = None, file: BinaryIO | None = None) -> None:
        self.real, self.image = real, image
        self._folder, self.iso, self._file = folder, iso, file
        self._namespaces: dict[str, ImageDisc] = {}

    def disc(self, windows: str) -> Disc:
        """The disc as WINDOWS ("Windows XP SP2") reads it."""
        if self._folder is not None:
            return self._folder
        if self.iso is None:
            raise ValueError("the image is closed")
        namespace = image_namespace(self.iso, windows)
        if namespace not in self._namespaces:
            self._namespaces[namespace] = ImageDisc(self.iso, namespace)
        return self._namespaces[namespace]

    def close(self) -> None:
        if self.iso is not None:
            self.iso.close()
            self.iso = None
        if self._file is not None:
            self._file.close()
            self._file = None

    def __enter__(self) -> DiscSet:
        return self

    def __exit__(self, *_: object) -> None:
        self.close()


def open_disc(path: str, windows: Iterable[str]) -> DiscSet:
    """A disc folder, or an image opened once a child has opened it within OPEN_SECONDS and
    OPEN_MEMORY. pycdlib reads only the volume descriptors from sector 16 on, and the
    first 32 KiB for a hybrid's partition table: it never takes files from there."""
    if os.path.isdir(path):
        real = os.path.realpath(path)
        return DiscSet(real, None, folder=FolderDisc(real))
    if not os.path.lexists(path):
        raise DiscError(f"the disc folder '{path}' does not exist (give the root folder of a driver disc, or its image)")
    real = os.path.realpath(path)
    try:  # never waits on a FIFO swapped in for the image
        fd = os.open(real, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY)
    except OSError as e:
        raise DiscError(f"{real} cannot be read: {e.strerror}") from None
    f = open(fd, "rb")
    try:
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            raise DiscError(f"{real} is not a regular file")
        discs = DiscSet(real, real, iso=_open_image(f, real), file=f)
    except BaseException:
        f.close()
        raise
    for w in windows:
        discs.disc(w)
    return discs


def _open_image(f: BinaryIO, path: str) -> pycdlib.PyCdlib:
    import pycdlib
    from pycdlib.pycdlibexception import PyCdlibException

    refused = f"{path} is not an ISO 9660 image that can be read"
    seconds, memory = OPEN_SECONDS, OPEN_MEMORY
    endless = (f"{refused}: its folders were not all read within {seconds} s and {memory >> 20} MiB"
               " (a folder that points back at one above it, or that never ends)")
    try:  # the child reads the same open file: nothing can be swapped in between
        child = subprocess.run([sys.executable, "-I", os.path.abspath(__file__), str(f.fileno()), str(seconds), str(memory)],
                               pass_fds=(f.fileno(),), stdin=subprocess.DEVNULL, capture_output=True,
                               text=True, errors="replace", timeout=seconds)
    except subprocess.TimeoutExpired:
        raise DiscError(endless) from None
    said = child.stdout.strip()
    if child.returncode == 0 and said.startswith("refused"):
        raise DiscError(refused + said[len("refused"):])
    if said == "memory" or child.returncode == -signal.SIGXCPU:
        raise DiscError(endless)
    if child.returncode != 0 or said != "opened":
        last = (child.stderr.strip().splitlines() or [f"status {child.returncode}"])[-1]
        raise DiscError(f"{refused}: its reader stopped: {last}")
    iso = pycdlib.PyCdlib()
    try:
        iso.open_fp(f)
    except PyCdlibException as e:  # it changed since the child read it
        raise DiscError(f"{refused}: {e}") from None
    size, needed = os.fstat(f.fileno()).st_size, iso.pvd.space_size * iso.logical_block_size
    if size < needed:
        iso.close()
        raise DiscError(f"{refused}: it is cut short, {size} bytes of the {needed} its volume descriptor gives")
    return iso


def _trial(fd: int, seconds: int, memory: int) -> None:
    """The child's side of _open_image: pycdlib's open alone, under the limits, and how it
    ended on one line."""
    import resource

    resource.setrlimit(resource.RLIMIT_AS, (memory, memory))
    resource.setrlimit(resource.RLIMIT_CPU, (seconds, seconds + 1))
    import pycdlib
    from pycdlib.pycdlibexception import PyCdlibException

    said = "opened"
    try:
        with open(fd, "rb", closefd=False) as f:
            pycdlib.PyCdlib().open_fp(f)
    except MemoryError:
        said = "memory"
    except PyCdlibException as e:
        said = f"refused: {e}"
    except Exception as e:  # a record cut short or hostile trips the parser itself: its failure, not ours
        said = f"refused (cut short, or a malformed record): {type(e).__name__}: {e}"
    print(" ".join(said.split())[:2000])


if __name__ == "__main__":
    _trial(*map(int, sys.argv[1:4]))

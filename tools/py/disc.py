"""A driver disc as Windows sees it: a folder, or an ISO image read through pycdlib in the
namespace the given Windows reads. Only names and sizes come from an image's directory
records; a file's bytes are read only when asked for (the exe, the demo's INF files)."""

import io
import os
import re
import shutil
import stat

# A name that holds one of these, or a control character, cannot stand on Windows: an image
# or a Linux folder may still carry one ("Win2K_XP/us" in a Joliet record), and it must never
# pass for the folder it seems to name.
FORBIDDEN = set('<>:"/\\|?*')

# States of a looked-up file, as the report shows them.
YES, MISSING, LINK, NOT_A_FILE, BAD_NAME = "yes", "missing", "link", "not a file", "bad name"

# The UDF revisions each Windows reads, as the revision number in the domain identifier's
# suffix (0x0102 for UDF 1.02). Windows 2000 reads UDF 1.02 and 1.50 (Windows 2000
# Professional Resource Kit, "CD-ROM File System and UDF"); Windows XP and Server 2003 read
# 1.02, 1.50, 2.00 and 2.01 (Windows XP Professional Resource Kit, "Universal Disk Format":
# "reads UDF versions 1.02, 1.50, 2.0, and 2.01"; its udfs.sys is the 2003 one); Windows Vista
# and later read up to 2.60. A disc of another revision is read through its ISO 9660 side.
UDF_2000 = (0x0102, 0x0150)
UDF_XP = (0x0102, 0x0150, 0x0200, 0x0201)
UDF_VISTA = UDF_XP + (0x0250, 0x0260)


class DiscError(Exception):
    """A disc that cannot be read at all: the caller stops with this one line."""


def bad_name(name):
    return name in ("", ".", "..") or any(c in FORBIDDEN or ord(c) < 32 for c in name)


def fold(name):
    # Windows compares names through a one-to-one upper-case table: "ß" stays "ß", where
    # str.upper() would make it "SS".
    return "".join(u if len(u := c.upper()) == 1 else c for c in name)


def udf_revisions_read(windows):
    if windows.startswith("Windows 2000"):
        return UDF_2000
    if windows.startswith(("Windows XP", "Windows Server 2003")):
        return UDF_XP
    if windows.startswith(("Windows 7", "Windows 10", "Windows Vista")):
        return UDF_VISTA
    return ()


def split(path):
    """A relative path given with / or \\, as its names."""
    return [p for p in re.split(r"[\\/]", path) if p not in ("", ".")]


class Entry:
    """One name in a folder: kind is dir, file, link or other (what says which other)."""

    __slots__ = ("name", "kind", "size", "what", "ref")

    def __init__(self, name, kind, size=0, what="", ref=None):
        self.name, self.kind, self.size, self.what, self.ref = name, kind, size, what, ref


class Found:
    __slots__ = ("state", "rel", "entry")

    def __init__(self, state, rel, entry=None):
        self.state, self.rel, self.entry = state, rel, entry


class Disc:
    """What both kinds share: the case-insensitive, literal lookup Windows makes."""

    namespace = "folder"

    def __init__(self):
        self._listed = {}
        self.bad_names = []  # (folder as found, name) for every such name in a folder looked in

    def listing(self, folder):
        """The entries of a folder given as its names on the disc (a tuple)."""
        if folder not in self._listed:
            entries = self._entries(folder)
            self._listed[folder] = entries
            self.bad_names += [("/".join(folder) or ".", e.name) for e in entries if bad_name(e.name)]
        return self._listed[folder]

    def lookup(self, path, want="file"):
        """Where PATH (relative, / or \\) is, the way Windows finds it: each name compared
        whole and without regard to case, never as a pattern, never through a link."""
        parts, folder = split(path), ()
        if not parts:
            return Found(YES if want == "dir" else NOT_A_FILE, "", Entry("", "dir"))
        for i, part in enumerate(parts):
            match = next((e for e in self.listing(folder) if not bad_name(e.name) and fold(e.name) == fold(part)), None)
            if match is None:
                return self._seeming(parts, folder) or Found(MISSING, "/".join(folder + tuple(parts[i:])))
            folder += (match.name,)
            rel = "/".join(folder)
            if match.kind == "link":
                return Found(LINK, rel, match)
            if i < len(parts) - 1 and match.kind != "dir":
                return self._seeming(parts, folder) or Found(MISSING, "/".join(folder + tuple(parts[i + 1:])), match)
        if match.kind != ("dir" if want == "dir" else "file"):
            return Found(NOT_A_FILE, rel, match)
        return Found(YES, rel, match)

    def _seeming(self, parts, reached):
        """For a path not found: a name Windows cannot hold, in a folder on the way, that
        seems to name it ("Win2K_XP/us/KB.exe" in Drivers/Audio); None when there is none."""
        for depth in range(len(reached), -1, -1):
            rest = fold("/".join(parts[depth:]))
            for e in self.listing(reached[:depth]):
                seems = fold(e.name.replace("\\", "/"))
                if bad_name(e.name) and (rest == seems or rest.startswith(seems + "/")):
                    return Found(BAD_NAME, "/".join(reached[:depth] + (e.name,)), e)
        return None

    def cut_forms(self, path):
        """For a file an image without Joliet lacks: the names in its folder that ISO 9660
        would cut its name to (eight characters, the extension's first three, a numbered
        tail where cut names collide: KB888110.EXE for KB888111XPSP2.exe)."""
        parts = split(path)
        folder = self.lookup("/".join(parts[:-1]), want="dir")
        if folder.state != YES:
            return []
        base, dot, ext = parts[-1].rpartition(".")
        if not dot:
            base, ext = ext, ""
        base = re.sub("[^A-Z0-9_]", "_", base.upper())
        if len(base) <= 8:
            return []
        found = []
        for e in self.listing(tuple(split(folder.rel))):
            cut, _, cut_ext = e.name.upper().partition(".")
            if (ext and cut_ext != ext.upper()[:3]) or len(cut) != 8:
                continue
            common = next((n for n in range(8) if cut[n] != base[n]), 8)
            if cut[common:].isdigit() or common == 8:
                found.append(e.name)
        return sorted(found)


class FolderDisc(Disc):
    """A disc's root folder. A link, a FIFO or a device is listed as what it is: never
    followed, never opened."""

    def __init__(self, root):
        super().__init__()
        self.root = os.path.realpath(root)

    def _entries(self, folder):
        entries = []
        try:
            with os.scandir(os.path.join(self.root, *folder)) as it:
                for d in it:
                    st = d.stat(follow_symlinks=False)
                    kind, what = _kind_of(st.st_mode)
                    entries.append(Entry(d.name, kind, size=st.st_size, what=what))
        except OSError:
            pass
        return sorted(entries, key=lambda e: e.name)

    def copy(self, found, out):
        """The file's bytes into the binary file OUT, only if it is still the regular file
        that was listed: opened without following a link and without waiting on a FIFO."""
        fd = os.open(self.root, os.O_RDONLY | os.O_DIRECTORY)
        try:  # each folder on the way opened as a folder, never through a link
            for part in split(found.rel)[:-1]:
                fd, parent = os.open(part, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW, dir_fd=fd), fd
                os.close(parent)
            fd, parent = os.open(split(found.rel)[-1], os.O_RDONLY | os.O_NOFOLLOW | os.O_NONBLOCK, dir_fd=fd), fd
            os.close(parent)
        except OSError:
            os.close(fd)
            raise DiscError(f"{found.rel} could not be opened as it was listed") from None
        with os.fdopen(fd, "rb") as src:
            if not stat.S_ISREG(os.fstat(fd).st_mode):
                raise DiscError(f"{found.rel} is no longer a file")
            shutil.copyfileobj(src, out)


def _kind_of(mode):
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


def open_image(path):
    """The image opened by pycdlib, which reads only the volume descriptors from sector 16
    on: whatever another format left in the system area before them is never looked at."""
    import pycdlib
    from pycdlib.pycdlibexception import PyCdlibException

    if not os.path.isfile(path):
        raise DiscError(f"{path} is not a regular file")
    iso = pycdlib.PyCdlib()
    try:
        iso.open(path)
    except PyCdlibException as e:
        raise DiscError(f"{path} is not an ISO 9660 image that can be read: {e}") from None
    except Exception as e:  # a record cut short or hostile trips the parser itself: never a traceback
        raise DiscError(f"{path} is not an ISO 9660 image that can be read (cut short, or a malformed"
                        f" record): {type(e).__name__}: {e}") from None
    size, needed = os.path.getsize(path), iso.pvd.space_size * iso.logical_block_size
    if size < needed:
        raise DiscError(f"{path} is not an ISO 9660 image that can be read: it is cut short, {size} bytes"
                        f" of the {needed} its volume descriptor gives")
    return iso


def udf_revision(iso):
    if not iso.has_udf() or not iso.udf_main_descs.logical_volumes:
        return None
    suffix = iso.udf_main_descs.logical_volumes[0].domain_ident.suffix
    return int.from_bytes(suffix[:2], "little")


def image_namespace(iso, windows):
    """udf, joliet or iso: what WINDOWS reads of this image."""
    if udf_revision(iso) in udf_revisions_read(windows):
        return "udf"
    return "joliet" if iso.has_joliet() else "iso"


class ImageDisc(Disc):
    """One namespace of an image. Rock Ridge, which Windows never reads, is never used."""

    def __init__(self, iso, namespace):
        super().__init__()
        self.iso, self.kind = iso, namespace
        rev = udf_revision(iso) or 0
        self.namespace = {"udf": f"UDF {rev >> 8}.{rev & 0xFF:02x}", "joliet": "Joliet",
                          "iso": "ISO 9660"}[namespace]
        root = {"udf": lambda: iso.udf_root, "joliet": lambda: iso.joliet_vd.root_dir_record,
                "iso": lambda: iso.pvd.root_dir_record}[namespace]()
        # folder as found -> (its record, its path in pycdlib's terms: raw names, ";1" kept)
        self._records = {(): (root, "")}

    def _entries(self, folder):
        if folder not in self._records:
            return []
        rec, raw_folder = self._records[folder]
        entries = []
        if self.kind == "udf":
            for desc in rec.fi_descs:
                if desc.isparent:
                    continue
                name = desc.fi.decode(desc.encoding, "replace")
                entries.append(self._entry(name, desc.file_entry, f"{raw_folder}/{name}"))
        else:
            for child in rec.children:
                if child is None or child.is_dot() or child.is_dotdot():
                    continue
                if self.kind == "joliet":
                    raw = name = child.file_ident.decode("utf-16_be", "replace")
                else:  # the version suffix is not part of the name Windows shows
                    raw = child.file_ident.decode("latin-1")
                    name = re.sub(r";\d*$", "", raw)
                    name = name[:-1] if name.endswith(".") and not child.is_dir() else name
                entries.append(self._entry(name, child, f"{raw_folder}/{raw}"))
        for e in entries:
            if e.kind == "dir":
                self._records.setdefault(folder + (e.name,), e.ref)
        return entries

    @staticmethod
    def _entry(name, rec, raw_path):
        if rec is None:
            return Entry(name, "other", what="a name without a file entry")
        if rec.is_dir():
            kind, what = "dir", "a folder"
        elif rec.is_symlink():
            kind, what = "link", "a symbolic link"
        else:
            kind, what = "file", "a file"
        return Entry(name, kind, size=rec.get_data_length(), what=what, ref=(rec, raw_path))

    def copy(self, found, out):
        """One file's bytes into the binary file OUT; nothing else of the image is read."""
        where = {"udf": "udf_path", "joliet": "joliet_path", "iso": "iso_path"}[self.kind]
        self.iso.get_file_from_iso_fp(out, **{where: found.entry.ref[1]})


def read_as(image_path, windows_labels):
    """For an image: {windows label: ImageDisc}, one disc per namespace shared by the
    versions that read it."""
    iso = open_image(image_path)
    discs, by_ns = {}, {}
    for w in windows_labels:
        ns = image_namespace(iso, w)
        discs[w] = by_ns.setdefault(ns, ImageDisc(iso, ns))
    return discs


# TEMPORARY shim until the reader's own DiscSet lands.
class CannotRead(DiscError):
    pass


def _read(self, found, limit):
    out = io.BytesIO()
    self.copy(found, out)
    return out.getvalue()[:limit]


Disc.read = _read


class DiscSet:
    def __init__(self, path, windows):
        self.image = None
        if os.path.isdir(path):
            self.real = os.path.realpath(path)
            folder = FolderDisc(self.real)
            self._by = {w: folder for w in windows}
            return
        if not os.path.lexists(path):
            raise DiscError(f"the disc folder '{path}' does not exist (give the root folder of a driver disc, or its image)")
        self.real = self.image = os.path.realpath(path)
        self._by = read_as(self.real, windows)

    def disc(self, windows):
        return self._by[windows]

    def close(self):
        for iso in {id(d.iso): d.iso for d in self._by.values() if getattr(d, "iso", None)}.values():
            iso.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def open_disc(path, windows):
    return DiscSet(path, list(windows))
FolderDisc.kind = "folder"
UNREADABLE = "cannot be read"

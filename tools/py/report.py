#!/usr/bin/python3
"""disc-check's report: one check's record written as text, markdown or HTML.

Every text in the record may come from the disc (names, command lines, version texts), so each
format escapes every field, no format lets a control character reach a terminal, and no text
becomes a link. The summary leads: the verdict, a matrix of Windows by codec, each command
line once; then the exes and the image; then every run. A saved record.json is rendered again
with:

    /usr/bin/python3 tools/py/report.py --format text|markdown|html < record.json
"""
from __future__ import annotations

import argparse
import html
import json
import sys
import unicodedata

from record import NOT_RUN, Record, Row, problems, verdict, windows_label

FORMATS = ("text", "markdown", "html")
SUMMARY_COLUMNS = 100  # a terminal's width that the text summary keeps to
HEADERS = ("", "Windows", "Codec", "Package command line", "Package on disc",
           "Helper command line", "Helper and INF on disc", "Wait ended", "Marker written")
FILE_KINDS = {"program": "hdasetup.exe", "helper": "helper", "inf": "INF"}

# ---- fields as they may be shown


def visible(value):
    """The field's text with every control or invisible formatting character shown: C0
    controls and DEL as their control pictures (U+241B for ESC), the others (C1 controls,
    bidi overrides, undecodable bytes kept as surrogates) as <U+XXXX>."""
    out = []
    for ch in "" if value is None else str(value):
        code = ord(ch)
        if code < 0x20:
            out.append(chr(0x2400 + code))
        elif code == 0x7F:
            out.append("\u2421")
        elif unicodedata.category(ch) in ("Cc", "Cf", "Cs", "Zl", "Zp"):
            out.append("<U+%04X>" % code)
        else:
            out.append(ch)
    return "".join(out)


def width(text):
    """Columns a terminal gives text: wide and full-width characters take two, combining
    marks none."""
    return sum(0 if unicodedata.combining(ch) else
               2 if unicodedata.east_asian_width(ch) in ("W", "F") else 1 for ch in text)


def pad(text, columns):
    return text + " " * (columns - width(text))


def wrap(text, first, rest, columns=SUMMARY_COLUMNS):
    """text in lines of at most columns (a word longer than that stands alone), the first
    led by first, the others by rest."""
    lines, line, empty = [], first, True
    for word in text.split(" "):
        if not empty and width(line) + 1 + width(word) > columns:
            lines.append(line)
            line, empty = rest, True
        line += word if empty else " " + word
        empty = False
    return lines + [line]


# "!" only matters before "[", escaped itself. An "@", the ":" of "://" and the "." of "www."
# escaped keep an e-mail address or a URL from the disc from becoming a link.
MD_PUNCTUATION = set("\\`*_[]<>|~&#$@")


def md_text(text):
    """text as markdown's literal text, also inside a table cell, never a link. A backslash
    before a letter stands as it is, so Windows paths keep their look."""
    out = []
    for i, ch in enumerate(text):
        nxt = text[i + 1] if i + 1 < len(text) else ""
        if (ch in MD_PUNCTUATION and (ch != "\\" or not nxt or not nxt.isalnum())) or (
                ch == ":" and text[i + 1:i + 3] == "//") or (ch == "." and text[max(0, i - 3):i].lower() == "www"):
            out.append("\\")
        out.append(ch)
    return "".join(out)


def md_code(text, in_table=False):
    """text as a markdown code span: its fence one backtick longer than the longest run of
    backticks in it. In a table a pipe is written \\|, which GitHub's tables take out again
    even in a code span; but a backslash right before a pipe would pair with that one, so
    such text is written as escaped literal text instead."""
    if in_table and "\\|" in text:
        return md_text(text)
    run = longest = 0
    for ch in text:
        run = run + 1 if ch == "`" else 0
        longest = max(longest, run)
    fence = "`" * (longest + 1)
    if text.startswith(("`", " ")) or text.endswith(("`", " ")):
        text = " " + text + " "  # a space on each side is taken off again
    if in_table:
        text = text.replace("|", "\\|")
    return fence + text + fence


def h(text):
    return html.escape(text, quote=True)

# ---- what the three formats say, from the record


def label(row: Row) -> str:
    return visible(windows_label(row))


def short_windows(text: str) -> str:
    return text[len("Windows "):] if text.startswith("Windows ") else text


def windows_list(labels: list[str]) -> str:
    """Windows 2000 SP4, XP, XP SP1: the family named once."""
    return ", ".join(w if i == 0 else short_windows(w) for i, w in enumerate(labels))


def state_shown(state: str) -> str:
    return "MISSING" if state == "missing" else visible(state)


def files_state(row: Row, kinds: tuple[str, ...]) -> str:
    """'yes' or 'MISSING' for the package; 'helper yes, INF MISSING' for the helper."""
    found = [f for f in row.files if f.kind in kinds]
    if not found:
        return "-"
    if kinds == ("package",):
        return ", ".join(state_shown(f.state) for f in found)
    return ", ".join("%s %s" % (FILE_KINDS[f.kind], state_shown(f.state)) for f in found)


def cell(row: Row) -> str:
    """A matrix cell: ok, what the run lacks, or why it did not end well or did not run."""
    if not row.ran:
        return NOT_RUN
    return ", ".join(visible(p) for p in problems(row)) if row.fails else "ok"


def unique(items):
    return list(dict.fromkeys(items))


def codecs(record: Record) -> list[str]:
    return unique(visible(r.codec) for r in record.rows if r.codec not in ("", "-"))


def matrix(record: Record) -> list[list[str]]:
    """The header and one row per Windows: its label without 'Windows ', then a cell per codec."""
    columns = codecs(record)
    found: dict[str, dict[str, Row]] = {}
    for r in record.rows:
        found.setdefault(label(r), {})[visible(r.codec)] = r
    table = [["Windows"] + columns]
    for windows, by_codec in found.items():
        whole = next((r for c, r in by_codec.items() if c not in columns), None)  # one row for all
        table.append([short_windows(windows)] + [
            cell(by_codec[c]) if c in by_codec else cell(whole) if whole else "-" for c in columns])
    return table


def command_lines(record: Record, key: str, kinds: tuple[str, ...]) -> list[tuple[str, str, str]]:
    """Each distinct command line of that key once: (line, its files on the disc, the Windows
    that start it)."""
    groups: dict[str, list] = {}
    for r in record.rows:
        line = getattr(r, key)
        if r.ran and line is not None:
            group = groups.setdefault(line, [files_state(r, kinds), []])
            group[1].append(label(r))
    return [(visible(line), on_disc, windows_list(unique(labels))) for line, (on_disc, labels) in groups.items()]


def head_facts(record: Record) -> list[tuple[str, str]]:
    """(label, text) lines: the disc, the exes, whether they are one build, the image, notes."""
    facts = [("disc", "%s, program in %s" % (visible(record.disc), visible(record.program or ".")))]
    for exe in record.exes:
        if exe.absent:
            text = "%s, %s" % (visible(exe.path), visible(exe.absent))
        else:
            text = "%s, %s bytes, SHA-256 %s, FileVersion %s, ProductVersion %s" % tuple(
                visible(v if v is not None else "none")
                for v in (exe.path, exe.size, exe.sha256, exe.file_version, exe.product_version))
        facts.append((visible(exe.label), text))
    if record.same_build:
        facts.append(("", visible(record.same_build)))
    if record.image:
        facts.append(("disc image", "%s, read as %s" % (visible(record.image.path), "; as ".join(
            "%s by %s" % (visible(way.namespace), windows_list([visible(w) for w in way.windows]))
            for way in record.image.read_as))))
    facts += [(visible(n.label), visible(n.text)) for n in record.notes]
    return facts


def full_rows(record: Record) -> list[list[str]]:
    """Every run, in the columns of HEADERS."""
    table = []
    for r in record.rows:
        codec = visible(r.codec or "-")
        if not r.ran:
            table.append(["", label(r), codec, visible(r.not_run or NOT_RUN)] + ["-"] * 5)
            continue
        wait = "no (exit %s)" % r.status if not r.finished else "yes" if r.helper is not None else "-"
        table.append(["!" if r.fails else "", label(r), codec,
                      "(nothing started)" if r.package is None else visible(r.package),
                      files_state(r, ("package",)) if r.package is not None else "-",
                      "-" if r.helper is None else visible(r.helper),
                      files_state(r, ("program", "helper", "inf")) if r.helper is not None else "-",
                      wait, "yes" if r.marker else "no"])
    return table


def last_line(record: Record) -> str:
    return ("Rows marked ! would start a file the disc lacks or did not finish. Run with %s."
            % visible(record.run_with))

# ---- the three formats


def summary(record: Record) -> tuple[str, list[tuple[str, str]], list[tuple[str, str]]]:
    """The verdict's headline, what each Windows lacks and why some did not run, shown."""
    v = verdict(record)
    return (visible(v.headline), [(visible(w), visible(t)) for w, t in v.lacking],
            [(visible(w), visible(t)) for w, t in v.not_run])


def text_table(table):
    widths = [max(width(row[i]) for row in table) for i in range(len(table[0]))]
    return ["  ".join(pad(c, widths[i]) for i, c in enumerate(row)).rstrip() for row in table]


def render_text(record):
    headline, lacking, not_run = summary(record)
    out = wrap(headline, "", "  ")
    for label, text in lacking:
        out += wrap(text, "  %s: " % label, "      ")
    if not_run:
        out.append("Not run, so not vouched for:")
        for label, text in not_run:
            out += wrap(text, "  %s: " % label, "      ")
    out += [""] + text_table(matrix(record))
    for title, key, kinds in (("Package", "package", ("package",)), ("Helper", "helper", ("helper", "inf"))):
        lines = command_lines(record, key, kinds)
        out += ["", "%s command lines%s" % (title, "" if lines else ": none started")]
        for line, on_disc, windows in lines:
            out += wrap(line, "  ", "    ")
            out += wrap("on the disc: %s; started by %s" % (on_disc, windows), "      ", "      ")
    out.append("")
    out += [(pad(label, 20) + " " + text).rstrip() for label, text in head_facts(record)]
    out += [""] + text_table([list(HEADERS)] + full_rows(record)) + ["", last_line(record)]
    return "\n".join(out) + "\n"


def md_row(cells):
    return "| " + " | ".join(cells) + " |"


def render_markdown(record):
    headline, lacking, not_run = summary(record)
    out = ["**%s**" % md_text(headline), ""]
    out += ["- %s: %s" % (md_text(label), md_text(text)) for label, text in lacking]
    if not_run:
        out += ["" if lacking else None, "**Not run, so not vouched for:**", ""]
        out += ["- %s: %s" % (md_text(label), md_text(text)) for label, text in not_run]
    table = matrix(record)
    out += ["", md_row(md_text(c) for c in table[0]), md_row("---" for _ in table[0])]
    out += [md_row(md_text(c) for c in row) for row in table[1:]]
    for title, key, kinds in (("Package", "package", ("package",)), ("Helper", "helper", ("helper", "inf"))):
        lines = command_lines(record, key, kinds)
        out += ["", "**%s command lines%s**" % (title, "" if lines else ": none started"), ""]
        out += ["- %s (on the disc: %s) started by %s" % (md_code(line), md_text(on_disc), md_text(windows))
                for line, on_disc, windows in lines]
    out += ["", "**The disc and its exe**", ""]  # a paragraph, or the lists would merge
    out += ["- " + md_text(label + ": " + text if label else text) for label, text in head_facts(record)]
    out += ["", md_row(md_text(c) for c in HEADERS), md_row("---" for _ in HEADERS)]
    for r, row in zip(record.rows, full_rows(record)):  # command lines as code
        out.append(md_row(md_code(c, in_table=True) if r.ran and i in (3, 5) and c not in ("-", "(nothing started)")
                          else md_text(c) for i, c in enumerate(row)))
    out += ["", md_text(last_line(record))]
    return "\n".join(line for line in out if line is not None) + "\n"


STYLE = ("body{font-family:sans-serif;font-size:13px}table{border-collapse:collapse}"
         "td,th{border:1px solid #999;padding:3px 6px;text-align:left}"
         "tr.missing td,td.missing{background:#fdd}p.verdict{font-weight:bold}")


def html_table(table, row_class=None, cell_class=None):
    out = ["<table>", "<tr>%s</tr>" % "".join("<th>%s</th>" % h(c) for c in table[0])]
    for row in table[1:]:
        cls = row_class(row) if row_class else None
        cells = "".join("<td%s>%s</td>" % (
            ' class="missing"' if cell_class and cell_class(i, c) else "", h(c)) for i, c in enumerate(row))
        out.append('<tr%s>%s</tr>' % (' class="%s"' % cls if cls else "", cells))
    return out + ["</table>"]


def render_html(record):
    headline, lacking, not_run = summary(record)
    out = ["<!DOCTYPE html>", '<html><head><meta charset="utf-8"><title>disc-check</title>',
           "<style>%s</style></head><body>" % STYLE, '<p class="verdict">%s</p>' % h(headline)]
    if lacking:
        out.append("<ul>%s</ul>" % "".join("<li>%s: %s</li>" % (h(w), h(t)) for w, t in lacking))
    if not_run:
        out.append("<p>Not run, so not vouched for:</p><ul>%s</ul>" % "".join(
            "<li>%s: %s</li>" % (h(w), h(t)) for w, t in not_run))
    out += html_table(matrix(record), cell_class=lambda i, c: i > 0 and c not in ("ok", NOT_RUN, "-"))
    for title, key, kinds in (("Package", "package", ("package",)), ("Helper", "helper", ("helper", "inf"))):
        lines = command_lines(record, key, kinds)
        out.append("<p>%s command lines%s</p>" % (title, "" if lines else ": none started"))
        if lines:
            out.append("<ul>%s</ul>" % "".join("<li><code>%s</code> (on the disc: %s) started by %s</li>" % (
                h(line), h(on_disc), h(windows)) for line, on_disc, windows in lines))
    out.append('<table class="head">%s</table>' % "".join(
        "<tr><th>%s</th><td>%s</td></tr>" % (h(label), h(text)) for label, text in head_facts(record)))
    rows = full_rows(record)
    out += ["<details><summary>Every run (%d rows)</summary>" % len(rows)]
    out += html_table([list(HEADERS)] + rows, row_class=lambda row: "missing" if row[0] else None)
    out += ["</details>", "<p>%s</p>" % h(last_line(record)), "</body></html>"]
    return "\n".join(out) + "\n"


def render(record: Record, fmt: str) -> str:
    """The report of one check's record in fmt: text, markdown or html."""
    return {"text": render_text, "markdown": render_markdown, "html": render_html}[fmt](record)


def main(argv: list[str]) -> int:
    p = argparse.ArgumentParser(prog="report.py", description="A saved disc-check record (record.json, "
                                "on standard input) as a report on standard output.")
    p.add_argument("--format", choices=FORMATS, default="text")
    fmt = p.parse_args(argv).format
    try:
        record = Record.from_dict(json.loads(sys.stdin.buffer.read().decode("utf-8", "surrogateescape")))
    except (ValueError, TypeError, KeyError) as error:
        sys.stderr.write("report.py: not a disc-check record: %s\n" % error)
        return 2
    # UTF-8 whatever the locale: a report must not depend on LC_ALL (surrogates are shown
    # by visible() and never reach the encoder).
    sys.stdout.buffer.write(render(record, fmt).encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/python3
"""disc-check's report: one check's record written as text, markdown or HTML.

The record comes from the checker (tools/py/check.py); every text in it may come from the
disc (names, command lines, version texts), so each format escapes every field, and no
format lets a control character reach a terminal. The summary leads: the verdict, a matrix
of Windows by codec, each command line once; then the exes and the image; then every run.

    /usr/bin/python3 tools/py/report.py --format text|markdown|html < record.json
"""
import html
import json
import sys
import unicodedata

FORMATS = ("text", "markdown", "html")
SUMMARY_COLUMNS = 100  # a terminal's width that the text summary keeps to
HEADERS = ("", "Windows", "Codec", "Package command line", "Package on disc",
           "Helper command line", "Helper and INF on disc", "Wait ended", "Marker written")
FILE_KINDS = {"helper": "helper", "inf": "INF"}
NOT_RUN = "not run"

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


MD_PUNCTUATION = set("\\`*_[]<>|~&#$")  # "!" only matters before "[", escaped itself


def md_text(text):
    """text as markdown's literal text, also inside a table cell. A backslash before a
    letter stands as it is, so Windows paths keep their look."""
    out = []
    for i, ch in enumerate(text):
        nxt = text[i + 1] if i + 1 < len(text) else ""
        if ch in MD_PUNCTUATION and (ch != "\\" or not nxt or not nxt.isalnum()):
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


def windows_label(row):
    return visible(row.get("windows")) + ("" if row.get("supported", True) else " (not supported)")


def short_windows(label):
    return label[len("Windows "):] if label.startswith("Windows ") else label


def windows_list(labels):
    """Windows 2000 SP4, XP, XP SP1: the family named once."""
    return ", ".join(label if i == 0 else short_windows(label) for i, label in enumerate(labels))


def state_shown(state):
    return "MISSING" if state == "missing" else visible(state)


def files_state(row, kinds):
    """'yes' or 'MISSING' for the package; 'helper yes, INF MISSING' for the helper."""
    found = [f for f in row.get("files") or [] if f.get("kind") in kinds]
    if not found:
        return "-"
    if kinds == ("package",):
        return ", ".join(state_shown(f.get("state")) for f in found)
    return ", ".join("%s %s" % (FILE_KINDS[f["kind"]], state_shown(f.get("state"))) for f in found)


def problems(row):
    """What a run lacks, by short file name; 'nothing started' when it started no package."""
    said = []
    for f in row.get("files") or []:
        if f.get("state") != "yes":
            name = visible(f.get("path")).rsplit("\\", 1)[-1]
            said.append(name if f.get("state") == "missing" else "%s (%s)" % (name, state_shown(f.get("state"))))
    if row.get("package") is None:
        said.append("nothing started")
    return said


def ran(row):
    return row.get("ran", True)


def cell(row):
    """A matrix cell: ok, what the run lacks, or why it did not end well or did not run."""
    if not ran(row):
        return NOT_RUN
    if row.get("missing") or problems(row):
        return ", ".join(problems(row)) or "!"
    return "exit %d" % row["status"] if row.get("status") else "ok"


def unique(items):
    return list(dict.fromkeys(items))


def verdict(record):
    """The headline, what each Windows lacks [(label, text)], and why some did not run."""
    rows = record.get("rows") or []
    supported = unique(windows_label(r) for r in rows if ran(r) and r.get("supported", True))
    lacking, not_run = {}, {}
    for r in rows:
        if not ran(r):
            not_run.setdefault(windows_label(r), visible(r.get("not_run") or NOT_RUN))
        elif r.get("missing"):
            lacking.setdefault(windows_label(r), []).extend(problems(r) or ["!"])
    bad = [w for w in lacking if w in supported]
    that_ran = " that ran" if any(r.get("supported", True) for r in rows if not ran(r)) else ""
    if not supported:
        headline = "no supported Windows ran: nothing is vouched for."
    elif bad:
        headline = "%d of the %d supported Windows%s would start a file the disc lacks:" % (
            len(bad), len(supported), that_ran)
    elif lacking:
        headline = "every supported Windows%s finds every file it starts on the disc; " \
            "one it does not support would not:" % that_ran
    else:
        headline = "every supported Windows%s finds every file it starts on the disc." % that_ran
    return ("Verdict: " + headline,
            [(w, ", ".join(unique(said))) for w, said in lacking.items()], list(not_run.items()))


def codecs(record):
    return unique(visible(r.get("codec")) for r in record.get("rows") or []
                  if r.get("codec") not in (None, "", "-"))


def matrix(record):
    """The header and one row per Windows: its label without 'Windows ', then a cell per codec."""
    columns = codecs(record)
    found = {}
    for r in record.get("rows") or []:
        found.setdefault(windows_label(r), {})[visible(r.get("codec"))] = r
    table = [["Windows"] + columns]
    for label, by_codec in found.items():
        whole = next((r for c, r in by_codec.items() if c not in columns), None)  # one row for all
        table.append([short_windows(label)] + [
            cell(by_codec[c]) if c in by_codec else cell(whole) if whole else "-" for c in columns])
    return table


def command_lines(record, key, kinds):
    """Each distinct command line of that key once: (line, its files on the disc, the Windows
    that start it)."""
    groups = {}
    for r in record.get("rows") or []:
        if ran(r) and r.get(key) is not None:
            group = groups.setdefault(r[key], [files_state(r, kinds), []])
            group[1].append(windows_label(r))
    return [(visible(line), on_disc, windows_list(unique(labels)))
            for line, (on_disc, labels) in groups.items()]


def head_facts(record):
    """(label, text) lines: the disc, the exes, whether they are one build, the image, notes."""
    facts = [("disc", "%s, program in %s" % (visible(record.get("disc")), visible(record.get("program") or ".")))]
    for exe in record.get("exes") or []:
        if exe.get("absent"):
            text = "%s, %s" % (visible(exe.get("path")), visible(exe["absent"]))
        else:
            text = "%s, %s bytes, SHA-256 %s, FileVersion %s, ProductVersion %s" % tuple(
                visible(exe.get(k) if exe.get(k) is not None else "none")
                for k in ("path", "size", "sha256", "file_version", "product_version"))
        facts.append((visible(exe.get("label")), text))
    if record.get("same_build"):
        facts.append(("", visible(record["same_build"])))
    image = record.get("image")
    if image:
        facts.append(("disc image", "%s, read as %s" % (visible(image.get("path")), "; as ".join(
            "%s by %s" % (visible(way.get("namespace")), windows_list([visible(w) for w in way.get("windows") or []]))
            for way in image.get("read_as") or []))))
    facts += [(visible(n.get("label")), visible(n.get("text"))) for n in record.get("notes") or []]
    return facts


def full_rows(record):
    """Every run, in the columns of HEADERS."""
    table = []
    for r in record.get("rows") or []:
        label, codec = windows_label(r), visible(r.get("codec") or "-")
        if not ran(r):
            table.append(["", label, codec, visible(r.get("not_run") or NOT_RUN)] + ["-"] * 5)
            continue
        package, helper, status = r.get("package"), r.get("helper"), r.get("status") or 0
        wait = "no (exit %d)" % status if status else "yes" if helper is not None else "-"
        table.append(["!" if r.get("missing") else "", label, codec,
                      "(nothing started)" if package is None else visible(package),
                      files_state(r, ("package",)) if package is not None else "-",
                      "-" if helper is None else visible(helper),
                      files_state(r, ("helper", "inf")) if helper is not None else "-",
                      wait, "yes" if r.get("marker") else "no"])
    return table


def last_line(record):
    return "Rows marked ! would start a file the disc lacks. Run with %s." % visible(record.get("run_with"))

# ---- the three formats


def text_table(table):
    widths = [max(width(row[i]) for row in table) for i in range(len(table[0]))]
    return ["  ".join(pad(c, widths[i]) for i, c in enumerate(row)).rstrip() for row in table]


def render_text(record):
    headline, lacking, not_run = verdict(record)
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
    headline, lacking, not_run = verdict(record)
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
    for r, row in zip(record.get("rows") or [], full_rows(record)):  # command lines as code
        out.append(md_row(md_code(c, in_table=True) if ran(r) and i in (3, 5) and c not in ("-", "(nothing started)")
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
    headline, lacking, not_run = verdict(record)
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


def render(record, fmt):
    """The report of one check's record in fmt: text, markdown or html."""
    if fmt not in FORMATS:
        raise ValueError("unknown format %r: use text, markdown or html" % fmt)
    return {"text": render_text, "markdown": render_markdown, "html": render_html}[fmt](record)


def main(argv):
    fmt = "text"
    if len(argv) == 2 and argv[0] == "--format":
        fmt = argv[1]
    elif argv:
        sys.stderr.write("usage: report.py [--format text|markdown|html] < record.json\n")
        return 2
    try:
        report = render(json.loads(sys.stdin.buffer.read()), fmt)
    except (ValueError, TypeError, AttributeError, KeyError) as error:
        sys.stderr.write("report.py: %s\n" % error)
        return 2
    # UTF-8 whatever the locale: a report must not depend on LC_ALL (surrogates are shown
    # by visible() and never reach the encoder).
    sys.stdout.buffer.write(report.encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

"""disc-check's report: hostile names stay in their fields in every format, the summary of
the sample disc (XP SP1's package missing, XP x64 not run) and its variants."""
import copy, html.parser, json, os, pathlib, re, subprocess, sys, unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools", "py"))
import report  # noqa: E402
from record import Record  # noqa: E402

SAMPLE = json.loads(pathlib.Path(ROOT, "tests", "tools", "sample-record.json").read_text(encoding="utf-8"))
# Starts with a backtick, holds a longer run of them, a pipe, markup, quotes, ESC, a bidi
# override, double-byte characters and an undecodable byte; the helper a backslash-pipe.
HOSTILE = "`x|y ``a <i>&amp; \"q\" 'r' \x1b[31m\u202e ソフト\udc80"
HOSTILE_HELPER = "D:\\chipset\\a\\|b.exe ソ"
SHOWN = report.visible(HOSTILE)
RECORD = copy.deepcopy(SAMPLE)  # the first row's command lines and every head text hostile
RECORD["rows"][0].update(package=HOSTILE, helper=HOSTILE_HELPER)
RECORD["exes"][0]["file_version"] = RECORD["image"]["path"] = HOSTILE
RECORD["notes"] = [{"label": "bad name", "text": HOSTILE}]


def render(record, fmt):
    return report.render(Record.from_dict(record), fmt)


def gfm_cells(line):  # GitHub ends a cell at each pipe no backslash pair takes, then unescapes \| in it
    return [c.strip().replace("\\|", "|") for c in re.findall(r"((?:\\.|[^|\\])*)\|", line.strip()[1:])]


def md_plain(text):  # literal markdown text: no special character left unescaped
    assert all(t[0] == "\\" for t in re.findall(r"\\.|[<>`*_&\[\]]", text)), text
    return re.sub(r"\\([!-/:-@\[-`{-~])", r"\1", text)


class Escaping(unittest.TestCase):
    def test_no_control_character_reaches_any_format(self):
        for fmt in report.FORMATS:
            out = render(RECORD, fmt)
            self.assertEqual([], re.findall(r"[\x00-\x09\x0b-\x1f\x7f-\x9f\u202e\ud800-\udfff]", out), fmt)
            self.assertTrue(all(shown in out for shown in ("\u241b[31m", "U+202E", " ソフト", "U+DC80")), fmt)

    def test_text_aligns_by_display_width(self):
        # wide, full-width, half-width and combining characters, as a terminal shows them
        self.assertEqual([6, 2, 1, 1], [report.width(t) for t in ("ソフト", "Ａ", "ｱ", "e\u0301")])
        lines = render(RECORD, "text").splitlines()
        head = next(line for line in lines if line.startswith("   Windows "))
        column = report.width(head[:head.index("Helper command line")])
        rows = [line for line in lines if "D:\\chipset" in line and "Windows " in line]
        self.assertEqual(7 * 3, len(rows))  # the helper column of every run with a codec
        self.assertEqual({column}, {report.width(line[:line.index("D:\\chipset")]) for line in rows})

    def test_markdown_keeps_each_field_in_its_cell_and_span(self):
        lines = render(RECORD, "markdown").splitlines()
        tables = [gfm_cells(line) for line in lines if line.startswith("|")]
        self.assertEqual({5, 9}, {len(cells) for cells in tables})
        row = next(cells for cells in tables if cells[1:3] == ["Windows 2000 SP4", "1095:1390"])
        fence, code = re.fullmatch(r"(`+)(.*?)\1", row[3]).groups()
        self.assertNotIn(fence, re.findall("`+", code))  # no run of the fence's length closes it early
        self.assertEqual(SHOWN, code[1:-1] if code[:1] == code[-1:] == " " else code)
        self.assertEqual(report.visible(HOSTILE_HELPER), md_plain(row[5]))
        for label in ("disc's hdasetup.exe: ", "disc image: ", "bad name: "):
            self.assertIn(SHOWN, md_plain(next(line for line in lines if line.startswith("- " + label))[2:]))

    def test_markdown_makes_no_link_of_a_disc_text(self):
        for text in ("http://evil.example/x", "see WWW.evil.example", "me@evil.example", "mailto:me@evil.example"):
            shown = report.md_text(text)
            self.assertIsNone(re.search(r"(https?|ftp)://|www\.|[\w.+-]@", shown, re.I), shown)
            self.assertEqual(text, md_plain(shown))

    def test_html_holds_every_field_as_text_and_folds_the_runs(self):
        class Reader(html.parser.HTMLParser):
            tags, open, texts, unmatched, full_table_in = set(), [], [], [], None

            def handle_starttag(self, tag, attrs):
                self.tags.add(tag)
                self.open += [] if tag == "meta" else [tag]

            def handle_endtag(self, tag):
                self.unmatched += [] if self.open and self.open.pop() == tag else [tag]

            def handle_data(self, data):
                self.full_table_in = list(self.open) if data == "Package command line" else self.full_table_in
                self.texts.append(data)
        reader = Reader()
        reader.feed(render(RECORD, "html"))
        self.assertLessEqual(reader.tags, {"html", "head", "meta", "title", "style", "body", "p", "ul",
                                           "li", "code", "table", "tr", "th", "td", "details", "summary"})
        self.assertEqual(([], [], ["html", "body", "details", "table", "tr", "th"]),
                         (reader.open, reader.unmatched, reader.full_table_in))
        self.assertGreaterEqual(sum(SHOWN in t for t in reader.texts), 4)  # command, version, image, note


def changed(windows=None, drop=None, **fields):
    """The sample with XP SP1's package back on the disc, one Windows' rows changed, one dropped."""
    def change(r):
        for row in r["rows"]:
            row.update(missing=False, files=[dict(f, state="yes") for f in row.get("files", [])])
        rows = [dict(x, **fields) if x["windows"] == windows else x for x in r["rows"] if x["windows"] != drop]
        return dict(r, rows=rows)
    return change


class Summary(unittest.TestCase):
    CASES = [  # what becomes of the sample, the verdict, XP SP1's cell, XP x64's cell
        (lambda r: r, "1 of the 6 supported Windows that ran would start a file the disc lacks",
         "KB888111XPSP1.exe", "not run"),
        (changed(), "every supported Windows that ran finds every file it starts on the disc.", "ok", "not run"),
        (changed(drop="Windows XP x64"), "every supported Windows finds every file it starts", "ok", None),
        (changed("Windows XP SP1", package=None, files=[], helper=None, missing=True), "1 of the 6",
         "nothing started", "not run"),
        (changed("Windows 7", missing=True, files=[{"kind": "package", "path": "D:\\a\\W7.exe", "state": "link"}]),
         "every supported Windows that ran finds every file it starts on the disc; one it does not", "ok", "not run"),
    ]

    def test_verdict_matrix_and_command_lines_in_every_format(self):
        for change, verdict, xpsp1, xp64 in self.CASES:
            r = change(copy.deepcopy(SAMPLE))
            for fmt in report.FORMATS:
                out = render(r, fmt)
                self.assertIn("Verdict: " + verdict, out, fmt)
                self.assertEqual("KB888111XPSP1.exe" in xpsp1, "Windows XP SP1: KB888111XPSP1.exe" in out, fmt)
                self.assertEqual(xp64 is not None, "Windows XP x64: not run on this host (needs 32-bit" in out)
            md = render(r, "markdown")
            for label, shown in (("XP SP1", xpsp1), ("XP x64", xp64)):
                row = "| %s |" % label + (" %s |" % shown * 4 if shown else "")
                self.assertEqual(shown is not None, row in md, verdict)

    def test_the_summary_fits_100_columns_and_names_each_command_line_once(self):
        text = render(SAMPLE, "text")
        summary = text[:text.index("\ndisc ")].splitlines()
        self.assertLessEqual(max(report.width(line) for line in summary), 100)
        self.assertEqual(1, sum("KB888111XPSP1.exe /quiet /o" in line for line in summary))
        self.assertIn("      on the disc: MISSING; started by Windows XP SP1", summary)

    def test_the_command_line_writes_utf8_under_any_locale(self):
        out = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "py", "report.py"), "--format", "markdown"],
                             input=json.dumps(RECORD).encode(), capture_output=True,
                             env=dict(os.environ, LC_ALL="C", PYTHONIOENCODING="ascii"), check=True)
        self.assertEqual(render(RECORD, "markdown"), out.stdout.decode("utf-8"))


if __name__ == "__main__":
    unittest.main()

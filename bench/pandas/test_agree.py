"""Checks of the benchmark's own tools: the minimal scan (on one and on several threads), and
the checkers that compare the runner's reports with pandas' and DuckDB's figures and its extract
with DuckDB's (they must pass agreeing figures and catch wrong ones).

    test_agree.py [BUILD_DIR]      (default build-bench; needs tarnwick, generate_ledger, scan_floor)

The DuckDB checks run when TARNWICK_DUCKDB_NODE names the folder where @duckdb/node-api is
installed. bench/run runs it before timing anything.
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "duckdb"))
import agree  # noqa: E402
import same_rows  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "build-bench"))
PY = "/usr/bin/python3"
DUCKDB_NODE = os.environ.get("TARNWICK_DUCKDB_NODE", "")
TASKS_MJS = os.path.join(HERE, "..", "duckdb", "tasks.mjs")


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, **kw)


class ScanFloor(unittest.TestCase):
    def scan(self, content, *column):
        with tempfile.NamedTemporaryFile("wb", suffix=".tsv", delete=False) as f:
            f.write(content)
        try:
            return run([os.path.join(BUILD, "bench", "scan_floor"), f.name, *column])
        finally:
            os.unlink(f.name)

    def test_rows_numbers_and_sum(self):
        cases = [
            # (file, column, expected output)
            (b"A\tAmount\nx\t1.5\ny\t-2\n", (), "rows 2 numbers 2 sum -0.50"),
            (b"A\tAmount\r\nx\t1.5\r\ny\t2\r\n", (), "rows 2 numbers 2 sum 3.50"),  # CR LF
            (b"A\tAmount\nx\t1\ny\t2", (), "rows 2 numbers 2 sum 3.00"),  # no final line end
            (b"A\tAmount\nx\t\ny\tabc\nz\n", (), "rows 3 numbers 0 sum 0.00"),  # blank, text, short
            (b"A\tB\n7\t1\n8\t2\n", ("A",), "rows 2 numbers 2 sum 15.00"),
            (b"A\tAmount\n", (), "rows 0 numbers 0 sum 0.00"),
        ]
        for content, column, expected in cases:
            with self.subTest(content=content):
                r = self.scan(content, *column)
                self.assertEqual(r.returncode, 0, r.stderr)
                self.assertEqual(r.stdout.strip(), expected)

    def test_line_longer_than_a_block(self):
        wide = b"x" * (3 << 20)
        r = self.scan(b"Note\tAmount\n" + wide + b"\t4\n" + wide + b"\t5\n")
        self.assertEqual(r.stdout.strip(), "rows 2 numbers 2 sum 9.00")

    def test_unknown_column_is_refused(self):
        r = self.scan(b"A\tB\n1\t2\n", "Amount")
        self.assertEqual(r.returncode, 1)
        self.assertIn("no column Amount", r.stderr)

    def test_threads_count_every_line_once(self):
        # Cuts fall inside lines, on line ends, past the last line; more threads than rows.
        many = b"Note\tAmount\n" + b"".join(b"row %d\t%d\n" % (i, i) for i in range(1, 1001))
        cases = [
            (many, "rows 1000 numbers 1000 sum 500500.00"),
            (many[:-1], "rows 1000 numbers 1000 sum 500500.00"),  # no final line end
            (b"A\tAmount\r\nx\t1.5\r\ny\t2\r\n", "rows 2 numbers 2 sum 3.50"),
            (b"A\tAmount\nx\t\ny\tabc\nz\n", "rows 3 numbers 0 sum 0.00"),
            (b"A\tAmount\n", "rows 0 numbers 0 sum 0.00"),
        ]
        for content, expected in cases:
            for threads in ("1", "2", "3", "7"):
                with self.subTest(content=content[:30], threads=threads):
                    r = self.scan(content, "--threads", threads)
                    self.assertEqual(r.returncode, 0, r.stderr)
                    self.assertEqual(r.stdout.strip(), expected)
        wide = b"x" * (3 << 20)
        r = self.scan(b"Note\tAmount\n" + wide + b"\t4\n" + wide + b"\t5\n", "Amount", "--threads", "2")
        self.assertEqual(r.stdout.strip(), "rows 2 numbers 2 sum 9.00")

    def test_bad_thread_count_is_refused(self):
        for threads in ("0", "x", "300"):
            with self.subTest(threads=threads):
                self.assertEqual(self.scan(b"A\tAmount\n", "--threads", threads).returncode, 2)


class SameRows(unittest.TestCase):
    HEADER = "Vendor\tAmount"

    def test_rows_compared_as_text_in_order(self):
        a = [self.HEADER, "V0001\t59", "V0002\t-12.5"]
        cases = [
            # (other extract, agrees)
            (list(a), True),
            ([self.HEADER, "V0001\t59.00", "V0002\t-12.5"], False),  # the text, not the number
            ([self.HEADER, "V0002\t-12.5", "V0001\t59"], False),     # the order
            (a[:2], False),                                          # a row missing
            (a + ["V0003\t1"], False),                                # a row more
            (["Vendor\tAmt"] + a[1:], False),                        # the header
        ]
        for other, agrees in cases:
            with self.subTest(other=other):
                self.assertEqual(same_rows.first_difference(a, other) is None, agrees)

    def test_line_ends_and_a_final_blank_line_are_not_compared(self):
        with tempfile.TemporaryDirectory() as d:
            crlf, lf = os.path.join(d, "a.tsv"), os.path.join(d, "b.tsv")
            with open(crlf, "wb") as f:
                f.write(b"Vendor\tAmount\r\nV0001\t59\r\n")
            with open(lf, "wb") as f:
                f.write(b"Vendor\tAmount\nV0001\t59\n\n")
            self.assertEqual(same_rows.lines(crlf), same_rows.lines(lf))
            r = run([PY, os.path.join(HERE, "..", "duckdb", "same_rows.py"), crlf, lf, "EX"])
            self.assertEqual((r.returncode, r.stdout.strip()), (0, "agree   EX: 1 rows"))
            with open(lf, "wb") as f:
                f.write(b"Vendor\tAmount\nV0001\t58\n")
            r = run([PY, os.path.join(HERE, "..", "duckdb", "same_rows.py"), crlf, lf, "EX"])
            self.assertEqual(r.returncode, 1)
            self.assertIn("row 1", r.stdout)


class BenfordReport(unittest.TestCase):
    def test_only_the_first_digit_table_is_read(self):
        # Later tables of the report start rows with a digit too, or have three fields.
        report = ["Benford Report", "High digit \t2", "Chisq \t5.00", "df \t8", "D-stat \t00.0481",
                  "Digit\tObserved\tExpected"]
        report += [f"{d}\t{10 * d}\t{10 * d + 1}" for d in range(1, 10)]
        report += ["MAD range\tFrom\tTo", "Close conformity\t0.000000\t0.006000",
                   "Digit\tObserved proportion\tExpected proportion\tZ\tBeyond 1.96",
                   "1\t0.27164\t0.30103\t20.258\t*", "2\t3\t4"]
        got = agree.parse_benford(report)
        self.assertEqual(got["n"], "450")
        self.assertEqual((got["observed.2"], got["expected.2"]), ("20", "21"))
        self.assertEqual((got["hidigit"], got["df"]), ("2", "8"))


class Compare(unittest.TestCase):
    def test_tolerance_follows_the_printed_decimals(self):
        cases = [
            # (runner text, pandas text, agrees)
            ("269,615", "269615", True),
            ("269,616", "269615", False),            # counts agree exactly
            ("75,604.07", "75604.07028", True),
            ("75,604.08", "75604.07028", True),      # one unit of the last decimal
            ("75,604.09", "75604.07028", False),
            ("00.0502", "0.050225", True),
            ("00.0503", "0.050225", True),
            ("00.0504", "0.050225", False),
            (".0030", "0.003013", True),             # no integer digit
            ("-.0030", "-0.003013", True),
            ("1,099,993", "1099993.25", True),
            ("1,099,995", "1099993.25", False),
        ]
        for got, expected, ok in cases:
            with self.subTest(got=got, expected=expected):
                problems = agree.compare({"figure": got}, {"figure": expected})
                self.assertEqual(problems == [], ok, problems)

    def test_missing_and_unreadable_figures(self):
        self.assertEqual(len(agree.compare({}, {"N": "3"})), 1)
        self.assertEqual(len(agree.compare({"N": "n/a"}, {"N": "3"})), 1)
        self.assertEqual(agree.compare({"N": "3", "extra": "1"}, {"N": "3"}), [])


@unittest.skipUnless(os.path.exists(os.path.join(BUILD, "tarnwick")), "runner not built")
class GeneratedLedger(unittest.TestCase):
    """A 3000-row ledger from generate_ledger, in a folder removed after the class's tests."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        cls.ledger = os.path.join(cls.dir.name, "ledger.tsv")
        subprocess.run([os.path.join(BUILD, "bench", "generate_ledger"), "--rows", "3000",
                        "--out", cls.ledger], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def outputs(self, name, runner_args, suffix, peer):
        """The runner's report and the peer's figures, each written to a file of the folder."""
        report = os.path.join(self.dir.name, name + ".report")
        figures = os.path.join(self.dir.name, name + suffix)
        for command, path in (([os.path.join(BUILD, "tarnwick"), *runner_args], report),
                              (peer, figures)):
            r = run(command)
            self.assertEqual(r.returncode, 0, r.stderr)
            with open(path, "w") as f:
                f.write(r.stdout)
        return report, figures

    def check(self, command, report, figures, extract="-"):
        return run([PY, os.path.join(HERE, "agree.py"), command, report, figures, extract, command])


class RunnerAgainstPandas(GeneratedLedger):
    """A small ledger through the runner and the pandas scripts: every figure agrees, and a
    report with one figure changed is caught."""


    def files(self, name, runner_args, script, *script_args):
        return self.outputs(name, runner_args, ".figures",
                            [PY, os.path.join(HERE, script), self.ledger, *script_args])

    def test_every_command_agrees_and_a_changed_figure_is_caught(self):
        L = self.ledger
        cases = [
            # (command, runner arguments, pandas script and arguments, line and field to spoil)
            ("BE", [f"BE file={L} col=Amount"], ["benford.py"], ("3\t", 1)),
            ("SU", [f"SU file={L} col=Vendor amount=Amount"], ["summary.py"], ("V0001\t", 1)),
            ("ST", [f'ST file={L} col=Amount strata="0 100 1000 10000 100000"'],
             ["stratify.py", "0 100 1000 10000 100000"], ("100\t1000\t", 2)),
            ("UN", [f"UN file={L} col=Amount"], ["stats.py"], ("Median: ", 1)),
            ("UNX", ["--max-in-memory", "1", f"UN file={L} col=Amount"], ["stats.py", "--external"],
             ("Median: ", 1)),
            ("XT", [f"XT file={L} col1=Vendor col2=Account amount=Amount"], ["crosstab.py"],
             ("V0001\t", 1)),
        ]
        for command, runner_args, script, (prefix, field) in cases:
            with self.subTest(command=command):
                report, figures = self.files(command, runner_args, *script)
                ok = self.check(command, report, figures)
                self.assertEqual(ok.returncode, 0, ok.stdout)
                self.assertTrue(ok.stdout.startswith("agree"), ok.stdout)
                # The first digit of one figure raised by one: the checker must see it.
                lines = open(report).read().split("\n")
                i = next(k for k, line in enumerate(lines) if line.startswith(prefix))
                fields = lines[i].split("\t")
                text = fields[field]
                d = next(k for k, ch in enumerate(text) if ch.isdigit())
                fields[field] = text[:d] + str((int(text[d]) + 1) % 10) + text[d + 1:]
                lines[i] = "\t".join(fields)
                with open(report, "w") as f:
                    f.write("\n".join(lines))
                bad = self.check(command, report, figures)
                self.assertEqual(bad.returncode, 1, bad.stdout)
                self.assertTrue(bad.stdout.startswith("DIFFER"), bad.stdout)

    def test_extract_counts_and_amounts(self):
        out = os.path.join(self.dir.name, "ex.tsv")
        cond = "$Amount > 50000 AND $InvDate >= 10/1/2023 AND $Vendor < V0100"
        report, figures = self.files("EX", [f'EX file={self.ledger} cond="{cond}" sample={out}'],
                                     "extract.py", os.path.join(self.dir.name, "ex.pandas.tsv"))
        self.assertEqual(self.check("EX", report, figures, out).returncode, 0)
        # One row fewer in the runner's extract: its amount no longer agrees.
        rows = open(out).read().splitlines()
        with open(out, "w") as f:
            f.write("\n".join(rows[:-1]) + "\n")
        self.assertEqual(self.check("EX", report, figures, out).returncode, 1)


@unittest.skipUnless(os.path.exists(os.path.join(BUILD, "tarnwick")) and DUCKDB_NODE,
                     "runner not built or TARNWICK_DUCKDB_NODE not set")
class RunnerAgainstDuckDB(GeneratedLedger):
    """A small ledger through the runner and the DuckDB script: every figure and every extracted
    row agrees, and a report with one figure changed is caught."""


    def files(self, name, runner_args, *task):
        return self.outputs(name, runner_args, ".duckdb",
                            ["node", TASKS_MJS, task[0], self.ledger, *task[1:]])

    def test_every_command_agrees_and_a_changed_figure_is_caught(self):
        L = self.ledger
        strata = "0 100 1000 10000 100000"
        cases = [
            # (command, runner arguments, DuckDB task and arguments, line and field to spoil)
            ("BE", [f"BE file={L} col=Amount type=F1"], ["BE"], ("3\t", 1)),
            ("SU", [f"SU file={L} col=Vendor amount=Amount"], ["SU"], ("V0001\t", 1)),
            ("ST", [f'ST file={L} col=Amount strata="{strata}"'], ["ST", strata], ("100\t1000\t", 2)),
            ("UN", [f"UN file={L} col=Amount"], ["UN"], ("Median: ", 1)),
            ("XT", [f"XT file={L} col1=Vendor col2=Account amount=Amount"], ["XT"], ("V0001\t", 1)),
        ]
        for command, runner_args, task, (prefix, field) in cases:
            with self.subTest(command=command):
                report, figures = self.files(command, runner_args, *task)
                ok = self.check(command, report, figures)
                self.assertEqual(ok.returncode, 0, ok.stdout)
                self.assertTrue(ok.stdout.startswith("agree"), ok.stdout)
                with open(report) as f:
                    lines = f.read().split("\n")
                i = next(k for k, line in enumerate(lines) if line.startswith(prefix))
                fields = lines[i].split("\t")
                text = fields[field]
                d = next(k for k, ch in enumerate(text) if ch.isdigit())
                fields[field] = text[:d] + str((int(text[d]) + 1) % 10) + text[d + 1:]
                lines[i] = "\t".join(fields)
                with open(report, "w") as f:
                    f.write("\n".join(lines))
                bad = self.check(command, report, figures)
                self.assertEqual(bad.returncode, 1, bad.stdout)

    def test_extract_rows_are_the_runners(self):
        runner_rows = os.path.join(self.dir.name, "ex.runner.tsv")
        duckdb_rows = os.path.join(self.dir.name, "ex.duckdb.tsv")
        cond = "$Amount > 50000 AND $InvDate >= 10/1/2023 AND $Vendor < V0100"
        report, figures = self.files("EX", [f'EX file={self.ledger} cond="{cond}" sample={runner_rows}'],
                                     "EX", duckdb_rows)
        self.assertEqual(self.check("EX", report, figures, runner_rows).returncode, 0)
        with open(figures) as f:
            selected = int(dict(line.rstrip("\n").split("\t") for line in f)["selected"])
        self.assertGreater(selected, 10)
        self.assertIsNone(same_rows.first_difference(same_rows.lines(runner_rows),
                                                     same_rows.lines(duckdb_rows)))


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]], verbosity=1)

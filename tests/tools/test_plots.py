"""The plot scripts in tools/, run end to end on inputs that the tests write themselves.

Run by CTest with Debian's /usr/bin/python3 (which has python3-matplotlib); each script runs as
a subprocess of the same interpreter. Pictures are checked by their PNG signature and pixel
size, and by the text that the SVG output keeps as text.
"""

import math
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest
from decimal import Decimal, localcontext

import numpy

TOOLS = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                      "tools"))
sys.path.insert(0, TOOLS)

import plot_estimates  # noqa: E402
import plot_rotations  # noqa: E402
import plot_search  # noqa: E402

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
ROTATIONS_HEADER = ("rotation,position,passage,origin,destination,departure,arrival,balanced,"
                    "rest_hours")
TRACE_HEADER = ("repetition,estimate,log10_estimate,running_mean,log10_running_mean,"
                "running_relative_error,fully_enumerated,seconds")


def rotations_csv(count):
    """Rotations as the programs write them: rotation 1 rests 11.5 h, every third one is balanced,
    every fifth ends with an overnight passage."""
    lines = [ROTATIONS_HEADER]
    number = 100
    for r in range(1, count + 1):
        if r == 1:
            legs = [(1, 2, 6.0, 9.0), (2, 3, 10.0, 18.5)]
        else:
            legs, here, clock = [], 1 + r % 7, 5 + (r % 6) * 0.5
            for k in range(1 + r % 4):
                there = 1 + (here + k) % 7
                legs.append((here, there, clock, clock + 1.25))
                here, clock = there, clock + 1.75
            if r % 3 == 0:
                legs.append((here, legs[0][0], clock, clock + 10 / 3))
            if r % 5 == 0:
                legs.append((legs[-1][1], legs[0][0], 22.5, 1.75))
        balanced = "true" if legs[-1][1] == legs[0][0] else "false"
        rest = 24 - legs[-1][3] + legs[0][2]
        for position, (origin, destination, departure, arrival) in enumerate(legs, start=1):
            number += 1
            lines.append(f"{r},{position},{number},{origin},{destination},{departure!r},"
                         f"{arrival!r},{balanced},{rest!r}")
    return "\n".join(lines) + "\n"


def trace_csv():
    """Three repetitions of estimates past the double range: 0, then two near 1e+685."""
    significands = [0.0, 2.1848079626512345, 6.5544238879537035]
    lines = [TRACE_HEADER + ",log10_exact"]
    for k in range(1, 4):
        seen = significands[:k]
        mean = sum(seen) / k
        deviation = math.sqrt(sum((s - mean) ** 2 for s in seen) / k)
        relative = deviation / mean / math.sqrt(k) if mean else math.nan

        def wide(s):
            return f"{s!r}e+685" if s else "0"

        def log(s):
            return f"{math.log10(s) + 685:.6f}" if s else "-inf"

        lines.append(f"{k},{wide(seen[-1])},{log(seen[-1])},{wide(mean)},{log(mean)},"
                     f"{relative!r},false,{0.001 * k:.6f},685.500000")
    return "\n".join(lines) + "\n"


def report_xml(balances, rest, tail=""):
    performance = (f"<performance><balances>{balances}</balances><rest>{rest}</rest>"
                   "</performance>" if balances is not None else "")
    return ('<?xml version="1.0" encoding="utf-8"?>\n<OPT version="1.0"><decomposition_size>6'
            '</decomposition_size><number_of_balanced_chains>5</number_of_balanced_chains>'
            '<treshold_rest>11</treshold_rest><number_of_chains_with_rest>3'
            '</number_of_chains_with_rest><elapsed_seconds>0.25</elapsed_seconds><opt_decomp>'
            f'<chain>10,20,30</chain><chain>40</chain>{performance}</opt_decomp>{tail}</OPT>')


def png_size(path):
    with open(path, "rb") as stream:
        head = stream.read(24)
    if head[:8] != PNG_SIGNATURE:
        raise AssertionError(f"{path} is not a PNG")
    return struct.unpack(">II", head[16:24])


class PlotCase(unittest.TestCase):
    def setUp(self):
        self.directory = tempfile.TemporaryDirectory()
        self.addCleanup(self.directory.cleanup)

    def path(self, name):
        return os.path.join(self.directory.name, name)

    def write(self, name, text):
        with open(self.path(name), "w", encoding="utf-8") as stream:
            stream.write(text)
        return self.path(name)

    def run_script(self, script, *arguments):
        return subprocess.run([sys.executable, os.path.join(TOOLS, script), *arguments],
                              capture_output=True, text=True, timeout=120)

    def draw(self, script, source, output):
        """Runs a script that must succeed; returns the SVG text or the PNG size."""
        result = self.run_script(script, source, self.path(output))
        self.assertEqual((result.returncode, result.stdout), (0, ""), result.stderr)
        self.assertEqual(os.listdir(self.directory.name).count(output), 1)
        if output.endswith(".png"):
            return png_size(self.path(output))
        with open(self.path(output), encoding="utf-8") as stream:
            svg = stream.read()
        self.assertIn("<svg", svg)
        return svg


class RotationsTest(PlotCase):
    def test_pictures_grow_with_the_rotations(self):
        _, height10 = self.draw("plot_rotations.py", self.write("r10.csv", rotations_csv(10)),
                                "r10.png")
        _, height200 = self.draw("plot_rotations.py", self.write("r200.csv", rotations_csv(200)),
                                 "r200.png")
        self.assertGreaterEqual((height200 - height10) / 190, 20)  # pixels per added lane
        svg = self.draw("plot_rotations.py", self.path("r10.csv"), "r10.svg")
        balanced = len({line.split(",")[0] for line in rotations_csv(10).splitlines()
                        if line.split(",")[7] == "true"})
        for text in ("rest 11.5 h", ">101<", ">102<", f"10 rotations: {balanced} balanced, "
                     f"{10 - balanced} not",
                     "balanced: ends where it started", "not balanced"):
            self.assertIn(text, svg)

    def test_overnight_passages_run_past_midnight(self):
        rotation = plot_rotations.Rotation(True, 24 - 7.0 + 20.0)
        rotation.passages = [plot_rotations.Passage(1, 1, 2, 20.0, 22.0),
                             plot_rotations.Passage(2, 2, 3, 22.5, 1.75),  # overnight
                             plot_rotations.Passage(3, 3, 1, 6.0, 7.0),  # the next morning
                             plot_rotations.Passage(4, 1, 2, math.nan, 9.0)]  # not drawn
        plot_rotations.lay_out(rotation)
        self.assertEqual([(p.start, p.end) for p in rotation.passages],
                         [(20.0, 22.0), (22.5, 25.75), (30.0, 31.0), (None, None)])
        self.assertEqual(plot_rotations.rest_span(rotation), (31.0, 31.0 + 37.0))


class EstimatesTest(PlotCase):
    def test_estimates_past_the_double_range(self):
        source = self.write("trace.csv", trace_csv())
        width, height = self.draw("plot_estimates.py", source, "trace.png")
        self.assertGreater(width * height, 0)
        svg = self.draw("plot_estimates.py", source, "trace.svg")
        for text in ("2.91308e+685", "exact count 3.16228e+685", "1 estimate of 0 not shown"):
            self.assertIn(text, svg)

    def test_standard_error_band_with_or_without_the_exact_column(self):
        rows = trace_csv().splitlines()
        with_exact = [rows[0] + ",log10_standard_error"] + [r + ",0.25" for r in rows[1:]]
        svg = self.draw("plot_estimates.py", self.write("both.csv", "\n".join(with_exact) + "\n"),
                        "both.svg")
        for text in ("2 standard errors of log10 either side", "standard error of log10 0.25",
                     "exact count 3.16228e+685"):
            self.assertIn(text, svg)
        without_exact = [r[:r.rindex(",")] for r in with_exact]
        without_exact[0] = without_exact[0][:without_exact[0].rindex(",")] + \
            ",log10_standard_error"
        source = self.write("error.csv", "\n".join(without_exact) + "\n")
        self.assertNotIn("exact count", self.draw("plot_estimates.py", source, "error.svg"))
        swapped = with_exact[0].replace("log10_exact,log10_standard_error",
                                        "log10_standard_error,log10_exact")
        result = self.run_script("plot_estimates.py", self.write("swapped.csv", swapped + "\n"),
                                 self.path("s.png"))
        self.assertEqual(result.returncode, 1)
        self.assertIn('unexpected column "log10_exact"', result.stdout)

    def test_wide_logarithm_matches_exact_decimal_arithmetic(self):
        generator = random.Random(7)
        for _ in range(500):
            length = generator.randint(1, 45)
            digits = "".join(generator.choice("0123456789") for _ in range(length))
            point = generator.randint(0, len(digits))
            text = digits[:point] + "." + digits[point:] if generator.random() < 0.7 else digits
            if generator.random() < 0.8:
                text += f"e{generator.randint(-3000, 3000):+d}"
            value = Decimal(text if text != "." else "0")
            with localcontext() as context:
                context.prec = 50
                expected = -math.inf if value == 0 else float(value.log10())
            got = plot_estimates.wide_log10(text)
            self.assertTrue(got == expected or abs(got - expected) < 1e-9, (text, got, expected))
        self.assertTrue(math.isnan(plot_estimates.wide_log10("nan")))
        self.assertEqual(plot_estimates.wide_log10("inf"), math.inf)
        for bad in ("-1", "1e", ".", "", "1_0", " 1", "1e+9999999999999999", "0x10"):
            with self.assertRaises(ValueError, msg=bad):
                plot_estimates.wide_log10(bad)


class SearchTest(PlotCase):
    def test_walk_and_exchange_reports(self):
        walk = self.write("walk.xml", report_xml("4,4,5,5,6", "4,4,4,5,5"))
        width, height = self.draw("plot_search.py", walk, "walk.png")
        self.assertGreater(width * height, 0)
        exchange = self.write("exchange.xml", report_xml(
            "1,2,2,3,5", "1,1,2,3,3", "<search>exchange</search><balanced_upper_bound>5"
            "</balanced_upper_bound><balanced_optimal>true</balanced_optimal>"
            "<rounds_per_entry>50</rounds_per_entry>"))
        svg = self.draw("plot_search.py", exchange, "exchange.svg")
        for text in ("250 rounds", "rounds (one recorded point per 50 rounds)",
                     "upper bound on balanced chains (5), reached: optimal",
                     "chains in the decomposition (6)"):
            self.assertIn(text, svg)


    def test_starting_counts_and_steps_from_either_reading(self):
        tail = ("<initial_decomposition_size>7</initial_decomposition_size>"
                "<initial_number_of_balanced_chains>2</initial_number_of_balanced_chains>"
                "<initial_number_of_chains_with_rest>4</initial_number_of_chains_with_rest>")
        svg = self.draw("plot_search.py", self.write("i.xml", report_xml("4,4,5", "3,3,2", tail)),
                        "i.svg")
        for text in ("start: 2 balanced, 4 with enough rest, of 7 chains; final: 5 balanced, "
                     "2 with enough rest, of 6 chains", "7 at the start", "ranks second"):
            self.assertIn(text, svg)
        # Only the changes are kept, whichever way the entries were read.
        generator = random.Random(11)
        for _ in range(300):
            values = [generator.choice([3, 4, 5]) for _ in range(generator.randint(1, 30))]
            step, initial = generator.randint(1, 4), generator.choice([None, 3, 6])
            points = ([(0, initial)] if initial is not None else []) + \
                [(k * step, v) for k, v in enumerate(values, start=1)]
            kept = [p for i, p in enumerate(points) if i == 0 or p[1] != points[i - 1][1]]
            if kept[-1][0] != len(values) * step:
                kept.append((len(values) * step, values[-1]))
            expected = ([x for x, _ in kept], [y for _, y in kept])
            for form in (numpy.array(values), numpy.array(values, dtype=object)):
                self.assertEqual(plot_search.steps(form, step, initial), expected)


class BadInputTest(PlotCase):
    def test_one_error_line_and_no_output(self):
        good_rotations = rotations_csv(3).splitlines()
        header, first = good_rotations[0], good_rotations[1]
        exchange_tail = "<search>exchange</search>"
        cases = [
            # script, input name, input text (None: no file), output name, expected fragment
            ("plot_rotations.py", "missing.csv", None, "out.png", "missing.csv: cannot open it"),
            ("plot_rotations.py", "r.csv", header.replace(",rest_hours", "") + "\n", "out.png",
             'r.csv, line 1: missing column "rest_hours"'),
            ("plot_rotations.py", "r.csv", header.replace("origin,destination",
                                                          "destination,origin") + "\n", "out.svg",
             'r.csv, line 1, column 4: column "destination", expected "origin"'),
            ("plot_rotations.py", "r.csv",
             f"{header}\n{first}\n{first.replace('1,1,', '1,3,', 1)}\n", "out.png",
             "r.csv, line 3, column 2 (position): position 3 out of order, expected 2"),
            ("plot_rotations.py", "r.csv", f"{header}\n\n{first.replace(',6.0,', ',6.0h,')}\n",
             "out.png", 'r.csv, line 3, column 6 (departure): "6.0h" is not a number'),
            ("plot_rotations.py", "r.csv", "\n".join(good_rotations) + "\n", "out.pdf",
             'Error in output file {out}: unknown extension ".pdf"'),
            ("plot_rotations.py", "r.csv", "\n".join(good_rotations) + "\n", "no/such/out.png",
             "Error in output file {out}: cannot write it"),
            ("plot_estimates.py", "t.csv", TRACE_HEADER.replace(",seconds", "") + "\n", "out.png",
             't.csv, line 1: missing column "seconds"'),
            ("plot_estimates.py", "t.csv", TRACE_HEADER + "\n1,1.5e+68x,68.17,1.5e+68,68.17,0,"
             "false,0.1\n", "out.png", 't.csv, line 2, column 2 (estimate): "1.5e+68x" is not'),
            ("plot_estimates.py", "t.csv", TRACE_HEADER + "\n", "out.svg",
             "t.csv: no repetitions"),
            ("plot_search.py", "o.xml", report_xml(None, None), "out.png",
             "o.xml: no recorded performance"),
            ("plot_search.py", "o.xml", report_xml("", ""), "out.png",
             "o.xml: the recorded performance is empty"),
            ("plot_search.py", "o.xml", report_xml("1,x", "1,1"), "out.png",
             'o.xml, element <balances>, entry 2: "x" is not an integer'),
            ("plot_search.py", "o.xml", report_xml("1,2", "1,1", exchange_tail), "out.png",
             "o.xml: no <rounds_per_entry> element"),
            ("plot_search.py", "o.xml", report_xml("1,2", "1,1")[:-4], "out.png",
             "o.xml, line 2, column"),
        ]
        for script, name, text, output, expected in cases:
            with self.subTest(script=script, expected=expected):
                source = self.write(name, text) if text is not None else self.path(name)
                result = self.run_script(script, source, self.path(output))
                lines = result.stdout.splitlines()
                self.assertEqual(result.returncode, 1)
                self.assertEqual(len(lines), 1, result.stdout)
                self.assertTrue(lines[0].startswith("Error"), lines[0])
                self.assertIn(expected.format(out=self.path(output)), lines[0])
                self.assertNotIn("Traceback", result.stderr)
                leftovers = [f for f in os.listdir(self.directory.name) if f not in (name, "no")]
                self.assertEqual(leftovers, [])
                if text is not None:
                    os.remove(source)

        result = self.run_script("plot_search.py", self.path("only-one-argument.xml"))
        self.assertEqual((result.returncode, result.stdout.count("\n")), (1, 1))
        self.assertTrue(result.stdout.startswith("Error: expected 2 arguments, got 1; usage:"))


@unittest.skipUnless(os.environ.get("QUORLIN_BIN") and os.environ.get("PARVEL_BIN"),
                     "the built programs are named by CTest")
class ProgramOutputsTest(PlotCase):
    """The scripts on what the built programs write for the example day."""

    DAY = os.path.join(TOOLS, "..", "examples", "day.csv")

    def run_program(self, variable, *arguments):
        result = subprocess.run([os.environ[variable], "--timetable", self.DAY, *arguments],
                                capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_rotations_trace_and_search_of_the_example_day(self):
        self.run_program("PARVEL_BIN", "--search", "exchange", "--seed", "3",
                         "--record_performance_by_iteration", "1",
                         "--rotations", self.path("parvel.csv"), "--outpath", self.path("opt.xml"))
        self.run_program("QUORLIN_BIN", "--B", "5", "--N", "30", "--seed", "1", "--exact",
                         "--rotations", self.path("quorlin.csv"), "--trace", self.path("trace.csv"))
        parvel_size = self.draw("plot_rotations.py", self.path("parvel.csv"), "parvel.png")
        self.assertGreater(os.path.getsize(self.path("parvel.png")), 1000)
        # Folded by default: one day wide although two rotations span two days; --fold is the
        # same picture, --unfolded the running clock of both days.
        for option, name in (("--fold", "fold.png"), ("--unfolded", "unfolded.png")):
            result = self.run_script("plot_rotations.py", self.path("parvel.csv"),
                                     self.path(name), option)
            self.assertEqual((result.returncode, result.stdout), (0, ""), result.stderr)
        with open(self.path("parvel.png"), "rb") as a, open(self.path("fold.png"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        self.assertLessEqual(parvel_size[0], 1100)
        self.assertGreater(png_size(self.path("unfolded.png"))[0], 2 * parvel_size[0])
        self.draw("plot_rotations.py", self.path("quorlin.csv"), "quorlin.png")
        svg = self.draw("plot_estimates.py", self.path("trace.csv"), "trace.svg")
        self.assertIn("exact", svg)
        self.run_program("QUORLIN_BIN", "--N", "8", "--seed", "1", "--exact", "--split", "boards",
                         "--importance", "sinkhorn", "--trace", self.path("parts.csv"))
        svg = self.draw("plot_estimates.py", self.path("parts.csv"), "parts.svg")
        self.assertIn("standard errors of log10 either side", svg)
        self.draw("plot_search.py", self.path("opt.xml"), "search.png")
        # Six rotations: taller than a picture of one, shorter than one of fifty.
        _, one = self.draw("plot_rotations.py", self.write("one.csv", rotations_csv(1)), "one.png")
        _, fifty = self.draw("plot_rotations.py", self.write("fifty.csv", rotations_csv(50)),
                             "fifty.png")
        self.assertLess(one, parvel_size[1])
        self.assertLess(parvel_size[1], fifty)


if __name__ == "__main__":
    unittest.main()

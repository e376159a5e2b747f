"""plot_rotations.py's options and output rules, checked against independent truth: the folded
layout against the running clock and against the fonts' own measure of every label, the
selections against a plain reading of the file, the key against the converter's own run.
"""

import math
import os
import random
import shutil
import stat
import subprocess
import sys
import threading
import unittest
from unittest import mock

from test_plots import PNG_SIGNATURE, TOOLS, PlotCase, rotations_csv

sys.path.insert(0, TOOLS)

import plot_rotations  # noqa: E402
import rotation_fold  # noqa: E402

FEED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "feeds", "harbour")


def random_rotations(generator, count):
    """Rotations as the programs' files give them: consecutive passages connect on the clock, an
    overnight passage carries the next ones to the next day."""
    rotations = []
    number = 0
    for index in range(1, count + 1):
        terminal, clock = generator.randint(0, 9), generator.uniform(0, 23)
        passages = []
        for _ in range(generator.randint(1, 9)):
            departure = clock + generator.choice([0, 0.25, generator.uniform(0, 6)])
            if departure >= 24 and passages:
                break
            number += 1
            departure %= 24
            length = generator.choice([0.2, 1.0, generator.uniform(0.1, 5)])
            arrival = (departure + length) % 24
            destination = generator.randint(0, 9)
            passages.append(plot_rotations.Passage(number, terminal, destination, departure,
                                                   arrival))
            terminal, clock = destination, arrival
            if arrival < departure and generator.random() < 0.3:
                break  # sometimes a rotation ends with its overnight passage
        first, last = passages[0], passages[-1]
        rotation = plot_rotations.Rotation(last.destination == first.origin,
                                           24 - last.arrival + first.departure, index)
        rotation.passages = passages
        rotations.append(rotation)
    return rotations


def folded(rotations, terminal_label=plot_rotations.terminal_number):
    """The folded figure for an SVG (labels as text objects, which the font can measure)."""
    captured = []
    with mock.patch.object(rotation_fold, "save_figure",
                           lambda figure, *_: captured.append(figure)):
        for rotation in rotations:
            plot_rotations.lay_out(rotation)
        rotation_fold.draw(rotations, "unused.svg", "svg", plot_rotations.placed,
                           plot_rotations.drawable, terminal_label, "title")
    return captured[0]


def overlapping(one, other, slack=0.5):
    return (one.x0 + slack < other.x1 and other.x0 + slack < one.x1 and
            one.y0 + slack < other.y1 and other.y0 + slack < one.y1)


class FoldedLayout(unittest.TestCase):
    def test_pieces_tile_the_running_clock(self):
        generator = random.Random(3)
        for _ in range(2000):
            start = generator.uniform(-30, 100)
            end = start + generator.choice([0.0, 24.0, generator.uniform(0, 80)])
            cut = rotation_fold.pieces(start, end)
            self.assertEqual([d for d, _, _ in cut], list(range(cut[0][0], cut[0][0] + len(cut))))
            self.assertAlmostEqual(24 * cut[0][0] + cut[0][1], start, places=9)
            self.assertAlmostEqual(24 * cut[-1][0] + cut[-1][2], end, places=9)
            self.assertAlmostEqual(sum(b - a for _, a, b in cut), end - start, places=9)
            for _, a, b in cut:
                self.assertTrue(0 <= a <= b <= 24, cut)
            for (_, _, b), (_, a, _) in zip(cut, cut[1:]):
                self.assertEqual((b, a), (24, 0))

    def test_labels_overlap_neither_each_other_nor_bars(self):
        names = {t: name for t, name in enumerate(["Central, Main Hall", "Airport", "Harbour",
                                                   "WWWWWWWWW", "Ferry Quay North", "Midway", "M",
                                                   "University", "Depot", "Old Town"])}
        labellers = [plot_rotations.terminal_number,
                     lambda n, room: rotation_fold.fitted(names[n], room, 6.0)]
        for seed, terminal_label in enumerate(labellers):
            with self.subTest(names=bool(seed)):
                figure = folded(random_rotations(random.Random(seed), 40), terminal_label)
                renderer = figure.canvas.get_renderer()
                axes = figure.axes[0]
                texts = [(text.get_color(), text.get_window_extent(renderer), text.get_text())
                         for text in axes.texts]
                bars = [axes.transData.transform(path.vertices[:4])
                        for collection in axes.collections if collection.get_zorder() == 2
                        for path in collection.get_paths()]
                bars = [(min(v[:, 0]), max(v[:, 0]), min(v[:, 1]), max(v[:, 1])) for v in bars]
                self.assertGreater(len(texts), 200)
                texts.sort(key=lambda entry: entry[1].y0)
                for i, (_, box, text) in enumerate(texts):
                    for _, other, other_text in texts[i + 1:]:
                        if other.y0 >= box.y1:
                            break
                        self.assertFalse(overlapping(box, other), (text, other_text, box, other))
                for colour, box, text in texts:
                    inside = [b for b in bars if b[0] - 0.5 <= box.x0 and box.x1 <= b[1] + 0.5
                              and b[2] - 0.5 <= box.y0 + 1 and box.y1 - 1 <= b[3] + 0.5]
                    crossed = [b for b in bars if b[0] + 0.5 < box.x1 and box.x0 + 0.5 < b[1]
                               and b[2] + 0.5 < box.y1 and box.y0 + 0.5 < b[3]]
                    if colour == "white":  # a passage label lies in its own bar
                        self.assertEqual(len(inside), 1, (text, box))
                        self.assertEqual(crossed, inside, text)
                    else:
                        self.assertEqual(crossed, [], (text, box))

    def test_day_column_and_running_clock_agree(self):
        """The programs count days by overnight passages; the script, without the column,
        moves a passage on while it leaves before the last arrival. Both must agree."""
        generator = random.Random(5)
        for rotation in random_rotations(generator, 200):
            plot_rotations.lay_out(rotation)
            clock = [(p.start, p.end) for p in rotation.passages]
            day = 1
            for passage in rotation.passages:
                passage.day = day
                day += passage.arrival < passage.departure
            plot_rotations.lay_out(rotation)
            self.assertEqual([(p.start, p.end) for p in rotation.passages], clock)


class Options(PlotCase):
    def run_ok(self, *arguments):
        result = self.run_script("plot_rotations.py", *arguments)
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))

    def test_selections_against_a_plain_reading(self):
        source = self.write("r.csv", rotations_csv(60))
        rows = [line.split(",") for line in rotations_csv(60).splitlines()[1:]]
        span, rest = {}, {}
        for number in range(1, 61):
            legs = [row for row in rows if int(row[0]) == number]
            hours, clock = 0.0, None
            for leg in legs:  # each leg's length, and the wait before it, on one clock
                departure, arrival = float(leg[5]), float(leg[6])
                if clock is not None:
                    hours += (departure - clock) % 24
                hours += (arrival - departure) % 24
                clock = arrival
            span[number], rest[number] = hours, float(legs[0][8])
        rotations = plot_rotations.read_rotations(source)
        for which, key in (("longest", lambda n: (-span[n], n)), ("least-rested", lambda n: (rest[n], n))):
            chosen = plot_rotations.select(rotations, plot_rotations.parse_selection(f"{which}:7"),
                                           source)
            self.assertEqual([r.number for r in chosen], sorted(span, key=key)[:7], which)
        chosen = plot_rotations.select(rotations, plot_rotations.parse_selection("9,3-5,4"), source)
        self.assertEqual([r.number for r in chosen], [3, 4, 5, 9])

        self.run_ok(source, self.path("s.svg"), "--select", "least-rested:4")
        with open(self.path("s.svg"), encoding="utf-8") as stream:
            self.assertIn("4 of 60 rotations (the 4 least rested)", stream.read())

    def test_size_guard_refuses_at_once_unless_a_selection_fits(self):
        lines = rotations_csv(1).splitlines()
        header, row = lines[0], lines[1].split(",")
        body = [",".join([str(n)] + ["1"] + row[2:]) for n in range(1, plot_rotations.MAX_PASSAGES
                                                                     + 2)]
        source = self.write("big.csv", "\n".join([header] + body) + "\n")
        result = self.run_script("plot_rotations.py", source, self.path("big.png"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, f"Error in rotations file {source}: more than "
                         f"{plot_rotations.MAX_PASSAGES} passages, more than one picture can show "
                         "readably; choose rotations with --select (such as longest:100)\n")
        self.assertEqual(os.listdir(self.directory.name), ["big.csv"])
        self.run_ok(source, self.path("big.png"), "--select", "longest:3")

    def test_pipe_written_in_place_and_input_never_replaced(self):
        source = self.write("r.csv", rotations_csv(3))
        pipe = self.path("out.png")
        os.mkfifo(pipe)
        received = []

        def read():
            with open(pipe, "rb") as stream:
                received.append(stream.read())
        reader = threading.Thread(target=read)
        reader.start()
        self.run_ok(source, pipe)
        reader.join(timeout=60)
        self.assertTrue(received and received[0].startswith(PNG_SIGNATURE))
        self.assertTrue(stat.S_ISFIFO(os.stat(pipe).st_mode))
        for output, arguments, reason in ((self.path("r.svg"), ["--key", self.path("r.svg")],
                                           "it is the input " + self.path("r.svg")),
                                          (self.path("dir.svg"), [], "it is a directory")):
            shutil.copy(source, self.path("r.svg"))
            os.makedirs(self.path("dir.svg"), exist_ok=True)
            result = self.run_script("plot_rotations.py", source, output, *arguments)
            self.assertEqual(result.stdout, f"Error in output file {output}: cannot write it "
                             f"({reason})\n")
            self.assertEqual(result.returncode, 1)
            with open(self.path("r.svg"), encoding="utf-8") as stream:
                self.assertEqual(stream.read(), rotations_csv(3))


@unittest.skipUnless(os.environ.get("PARVEL_BIN"), "the built programs are named by CTest")
class KeyFromTheConverter(PlotCase):
    def convert(self, date, out):
        converter = os.path.join(TOOLS, "gtfs2timetable.py")
        result = subprocess.run([sys.executable, converter, FEED, "--date", date, "--out", out,
                                 "--merge-radius", "150"], capture_output=True, text=True,
                                timeout=60)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_labels_from_the_key_and_a_key_of_another_day_refused(self):
        day = self.path("monday.csv")
        self.convert("20240304", day)
        rotations = self.path("r.csv")
        parvel = subprocess.run([os.environ["PARVEL_BIN"], "--timetable", day, "--search",
                                 "exchange", "--seed", "1", "--rotations", rotations],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(parvel.returncode, 0, parvel.stdout)
        result = self.run_script("plot_rotations.py", rotations, self.path("k.svg"), "--key",
                                 day + ".key.csv")
        self.assertEqual((result.returncode, result.stdout), (0, ""))
        with open(self.path("k.svg"), encoding="utf-8") as stream:
            svg = stream.read()
        for text in (">101<", ">102<", ">103<", ">Airport<", ">Harbour<", ">University<"):
            self.assertIn(text, svg)  # trip short names and station names

        saturday = self.path("saturday.csv")
        self.convert("20240309", saturday)
        result = self.run_script("plot_rotations.py", rotations, self.path("s.svg"), "--key",
                                 saturday + ".key.csv")
        self.assertEqual(result.returncode, 1)
        self.assertRegex(result.stdout, r"\AError in key file .*saturday\.csv\.key\.csv(, line \d+)?"
                                        r": .*; is it the key of another timetable\?\n\Z")
        self.assertFalse(os.path.exists(self.path("s.svg")))


if __name__ == "__main__":
    unittest.main()

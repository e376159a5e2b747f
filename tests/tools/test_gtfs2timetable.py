"""gtfs2timetable end to end: the converted day, its key file, filters, errors,
zip input, and both programs reading the result.

The fixture feed `feeds/harbour` (weekday service WK, weekend service WE, an
extra day EX, a station with two platforms, three harbour stops 100 m apart
in a row, a frequency-based shuttle, a night route past 24:00, a BOM, Windows
line ends and quoted fields) is small enough that every expected file below
was worked out by hand from it.
"""

import csv
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
FEED = os.path.join(HERE, "feeds", "harbour")
CONVERTER = os.path.join(HERE, "..", "..", "tools", "gtfs2timetable.py")

MONDAY = """passage,origin,destination,departure,arrival
1,0,1,6.0,6.75
2,0,2,6.5,7.166666666666667
3,1,0,7.25,8.0
4,3,4,7.5,8.333333333333334
5,1,0,9.0,9.666666666666666
6,5,0,9.0,9.75
7,6,4,12.0,12.25
8,6,4,12.5,12.75
9,0,1,23.666666666666668,0.3333333333333333
10,1,0,0.16666666666666666,1.5
"""

MONDAY_KEY = """kind,number,id,name,route_id,route,headsign,first_stop,last_stop,departure,arrival
passage,1,T101,101,R1,1,"Airport, Terminal 2","Central, Platform 1",Airport,06:00:00,06:45:00
passage,2,T201,,R2,2,Harbour,"Central, Platform 2",Harbour,06:30:00,07:10:00
passage,3,T102,102,R1,1,Central,Airport,"Central, Platform 2",07:15:00,08:00:00
passage,4,T202,,R2,2,University,Harbour Ferry,University,07:30:00,08:20:00
passage,5,T103,103,R1,1,Central,Airport,"Central, Platform 1",09:00:00,09:40:00
passage,6,T203,,R2,2,Central,"Harbour ""Quay"" North","Central, Platform 1",09:00:00,09:45:00
passage,7,S1,,R4,Shuttle,University,Midway,University,12:00:00,12:15:00
passage,8,S1,,R4,Shuttle,University,Midway,University,12:30:00,12:45:00
passage,9,T301,,R3,N,Airport,"Central, Platform 1",Airport,23:40:00,24:20:00
passage,10,T302,,R3,N,Central,Airport,"Central, Platform 2",24:10:00,25:30:00
terminal,0,CEN,"Central, Main Hall",,,,,,,
terminal,0,CEN1,"Central, Platform 1",,,,,,,
terminal,0,CEN2,"Central, Platform 2",,,,,,,
terminal,1,AIR,Airport,,,,,,,
terminal,2,HBR,Harbour,,,,,,,
terminal,3,HBRF,Harbour Ferry,,,,,,,
terminal,4,UNI,University,,,,,,,
terminal,5,HBRQ,"Harbour ""Quay"" North",,,,,,,
terminal,6,MID,Midway,,,,,,,
"""

MONDAY_SUMMARY = ("20240304 (Monday): trips 10, terminals 7, overnight 1, span 06:00:00-25:30:00,"
                  " left out: 1 with fewer than two stop times\n")

MONDAY_TRIPS = ["T101", "T201", "T102", "T202", "T103", "T203", "S1", "S1", "T301", "T302"]

# The three harbour stops chained 100 m apart become terminal 2; the rest as on MONDAY.
MONDAY_MERGED = """passage,origin,destination,departure,arrival
1,0,1,6.0,6.75
2,0,2,6.5,7.166666666666667
3,1,0,7.25,8.0
4,2,3,7.5,8.333333333333334
5,1,0,9.0,9.666666666666666
6,2,0,9.0,9.75
7,4,3,12.0,12.25
8,4,3,12.5,12.75
9,0,1,23.666666666666668,0.3333333333333333
10,1,0,0.16666666666666666,1.5
"""


def read(path):
    with open(path, encoding="utf-8", newline="") as stream:
        return stream.read()


class ConverterCase(unittest.TestCase):
    """Runs the converter into a fresh folder; copies the fixture with changes."""

    def setUp(self):
        self.copies = 0
        self.work = tempfile.mkdtemp(prefix="gtfs-test-")
        self.out_dir = os.path.join(self.work, "out")
        os.mkdir(self.out_dir)
        self.out = os.path.join(self.out_dir, "day.csv")

    def tearDown(self):
        shutil.rmtree(self.work)

    def run_converter(self, feed, *args, out=True):
        command = [sys.executable, CONVERTER, feed] + list(args)
        if out:
            command += ["--out", self.out]
        result = subprocess.run(command, capture_output=True, text=True, timeout=60,
                                env=dict(os.environ, PYTHONDONTWRITEBYTECODE="1"))
        self.assertEqual(result.stderr, "")
        return result

    def convert(self, feed, *args):
        result = self.run_converter(feed, *args)
        self.assertEqual(result.returncode, 0, result.stdout)
        return result.stdout

    def key_rows(self, kind):
        with open(self.out + ".key.csv", encoding="utf-8", newline="") as stream:
            return [row for row in csv.DictReader(stream) if row["kind"] == kind]

    def trip_ids(self):
        return [row["id"] for row in self.key_rows("passage")]

    def feed_copy(self, remove=(), **replace):
        """A copy of the fixture without the files in `remove`, and with
        file=(old, new) replacing a text that occurs exactly once."""
        self.copies += 1
        copy = shutil.copytree(FEED, os.path.join(self.work, "feed%d" % self.copies))
        for name in remove:
            os.remove(os.path.join(copy, name))
        for stem, (old, new) in replace.items():
            path = os.path.join(copy, stem + ".txt")
            text = read(path)
            self.assertEqual(text.count(old), 1, old)
            with open(path, "w", encoding="utf-8", newline="") as stream:
                stream.write(text.replace(old, new))
        return copy


class Converter(ConverterCase):
    def test_monday_passage_for_passage_with_its_key(self):
        self.assertEqual(self.convert(FEED, "--date", "20240304"), MONDAY_SUMMARY)
        self.assertEqual(read(self.out), MONDAY)
        self.assertEqual(read(self.out + ".key.csv"), MONDAY_KEY)
        self.assertEqual(sorted(os.listdir(self.out_dir)), ["day.csv", "day.csv.key.csv"])

    def test_zip_input_flat_or_in_a_folder_converts_the_same(self):
        for prefix in ("", "harbour/"):
            archive = os.path.join(self.work, "feed.zip")
            with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as bundle:
                for name in sorted(os.listdir(FEED)):
                    bundle.write(os.path.join(FEED, name), prefix + name)
            self.assertEqual(self.convert(archive, "--date", "20240304"), MONDAY_SUMMARY)
            self.assertEqual(read(self.out), MONDAY)
            self.assertEqual(read(self.out + ".key.csv"), MONDAY_KEY)

    def test_calendar_days_and_exceptions(self):
        tuesday = MONDAY_TRIPS[:7] + ["T901"] + MONDAY_TRIPS[7:]
        cases = [
            ("20240305", (), tuesday),  # weekday plus the extra service, tie by trip_id
            ("20240309", (), ["T151", "T251"]),  # Saturday
            ("20240401", (), ["T151", "T251"]),  # holiday: weekday removed, weekend added
            ("20240401", ("calendar_dates.txt",), MONDAY_TRIPS),
            ("20240305", ("calendar.txt",), ["T901"]),
        ]
        for date, remove, trips in cases:
            with self.subTest(date=date, remove=remove):
                self.convert(self.feed_copy(remove), "--date", date)
                self.assertEqual(self.trip_ids(), trips)
                numbers = [int(line.split(",")[0]) for line in read(self.out).splitlines()[1:]]
                self.assertEqual(numbers, list(range(1, len(trips) + 1)))

    def test_route_and_window_filters(self):
        cases = [
            (["--route", "1", "--route", "R3"], ["T101", "T102", "T103", "T301", "T302"],
             None),
            (["--route", "R4"], ["S1", "S1"], "1,0,1,12.0,12.25\n2,0,1,12.5,12.75\n"),
            (["--route", "Harbour line", "--route", "Night"],  # long names, as the key shows
             ["T201", "T202", "T203", "T301", "T302"], None),
            (["--window", "06:15-09:00"], ["T201", "T102", "T202"],
             "1,0,1,6.5,7.166666666666667\n2,2,0,7.25,8.0\n3,3,4,7.5,8.333333333333334\n"),
            (["--window", "23:00-01:00"], ["T301", "T302"],
             "1,0,1,23.666666666666668,0.3333333333333333\n2,1,0,0.16666666666666666,1.5\n"),
            (["--window", "12:00-12:30", "--route", "R4"], ["S1"], "1,0,1,12.0,12.25\n"),
        ]
        for args, trips, timetable in cases:
            with self.subTest(args=args):
                summary = self.convert(FEED, "--date", "20240304", *args)
                self.assertTrue(summary.startswith("20240304 (Monday): trips %d," % len(trips)),
                                summary)
                self.assertEqual(self.trip_ids(), trips)
                if timetable is not None:
                    self.assertEqual(read(self.out).split("\n", 1)[1], timetable)

    def test_merge_radius_links_chains_of_nearby_stations(self):
        self.convert(FEED, "--date", "20240304", "--merge-radius", "50")
        self.assertEqual(read(self.out), MONDAY)
        summary = self.convert(FEED, "--date", "20240304", "--merge-radius", "150")
        self.assertIn(": trips 10, terminals 5, overnight 1,", summary)
        self.assertEqual(read(self.out), MONDAY_MERGED)
        harbour = [row["id"] for row in self.key_rows("terminal") if row["number"] == "2"]
        self.assertEqual(harbour, ["HBR", "HBRF", "HBRQ"])

    def test_errors_name_the_place_and_leave_no_file(self):
        date = ["--date", "20240304"]
        cases = [
            (self.feed_copy(remove=["stop_times.txt"]), date,
             "Error: the feed {feed} has no stop_times.txt"),
            (self.feed_copy(remove=["calendar.txt", "calendar_dates.txt"]), date,
             "Error: the feed {feed} has neither calendar.txt nor calendar_dates.txt"),
            (FEED, ["--date", "20250106"],
             "Error: no service runs on 20250106 (Monday); the feed runs from 20240101 to 20241231"),
            (self.feed_copy(remove=["calendar.txt"]), date,
             "Error: no service runs on 20240304 (Monday); the feed runs from 20240305 to 20240401"),
            (self.feed_copy(stop_times=("T102,07:15:00,07:15:00", "T102,07:15:00,7:1x:00")), date,
             'Error in stop_times.txt, line 7, field departure_time: "7:1x:00" is not a time'
             " (H:MM:SS)"),
            (self.feed_copy(stops=("52.1000,4.2000", "5x.1,4.2000")), date,
             'Error in stops.txt, line 5, field stop_lat: "5x.1" is not a latitude in -90..90'
             " degrees"),
            (self.feed_copy(stops=("52.1000,4.2000", "52.1000,184.2")), date,
             'Error in stops.txt, line 5, field stop_lon: "184.2" is not a longitude in'
             " -180..180 degrees"),
            (self.feed_copy(stop_times=("T101,06:00:00,06:00:00,CEN1", "T101,,,CEN1")), date,
             'Error in stop_times.txt, line 4, field departure_time: trip "T101" has no time'
             " at its first stop"),
            (self.feed_copy(stop_times=("T201,07:10:00,,HBR", "T201,,,HBR")), date,
             'Error in stop_times.txt, line 6, field arrival_time: trip "T201" has no time at'
             " its last stop"),
            (FEED, ["--date", "20240230"], 'Error: --date "20240230" is not a date (YYYYMMDD)'),
            (FEED, date + ["--route", "9"],
             'Error: no route "9" in routes.txt (by route_id, route_short_name or route_long_name);'
             " the feed has 4 (route_id: short / long name): R1: 1 / Central - Airport, express;"
             " R2: 2 / Harbour line; R3: N / Night; R4: Shuttle"),
            (FEED, date + ["--window", "02:00-05:00"],
             "Error: no run on 20240304 (Monday) is left to convert in the window 02:00-05:00"),
            (FEED, date + ["--merge-radius", "-5"],
             'Error: --merge-radius "-5" is not a distance in metres, 0 or more'),
            (os.path.join(self.work, "nowhere"), date,
             "Error: no feed at " + os.path.join(self.work, "nowhere")),
        ]
        for feed, args, expected in cases:
            with self.subTest(expected=expected):
                result = self.run_converter(feed, *args)
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.stdout, expected.format(feed=feed) + "\n")
                self.assertEqual(os.listdir(self.out_dir), [])
        result = self.run_converter(FEED, "--date", "20240304", out=False)
        self.assertEqual((result.returncode, result.stdout),
                         (1, "Error: the following arguments are required: --out\n"))

    def test_outputs_checked_before_the_feed_is_read_and_inputs_kept(self):
        archive = os.path.join(self.work, "feed.zip")
        with zipfile.ZipFile(archive, "w") as bundle:
            for name in sorted(os.listdir(FEED)):
                bundle.write(os.path.join(FEED, name), name)
        folder = self.feed_copy()
        os.symlink(self.out, self.out + ".key.csv")  # the key would overwrite the timetable
        cases = [
            (archive, archive, "it is the input " + archive),
            (folder, os.path.join(folder, "stops.txt"), "it lies inside the input folder " + folder),
            (FEED, self.out_dir, "it is a directory"),
            (FEED, os.path.join(self.work, "missing", "day.csv"),
             "the folder %s does not exist" % os.path.join(self.work, "missing")),
            (FEED, self.out, "it is also the output " + self.out),
        ]
        kept = {path: read(path) for path in (os.path.join(folder, "stops.txt"),)}
        with open(archive, "rb") as stream:
            zipped = stream.read()
        for feed, out, reason in cases:
            with self.subTest(out=out):
                command = [sys.executable, CONVERTER, feed, "--date", "20240304", "--out", out]
                result = subprocess.run(command, capture_output=True, text=True, timeout=60)
                target = out + ".key.csv" if out == self.out else out
                self.assertEqual((result.returncode, result.stdout),
                                 (1, "Error: cannot write %s (%s)\n" % (target, reason)))
        with open(archive, "rb") as stream:
            self.assertEqual(stream.read(), zipped)
        self.assertEqual({path: read(path) for path in kept}, kept)
        self.assertEqual(os.listdir(self.out_dir), ["day.csv.key.csv"])  # the link alone

    def test_pipes_written_in_place_modes_kept_nothing_left_on_sigterm(self):
        with open(self.out, "w") as stream:
            stream.write("old\n")
        os.chmod(self.out, 0o640)
        key = self.out + ".key.csv"
        os.mkfifo(key)
        received = []
        reader = threading.Thread(target=lambda: received.append(read(key)))
        reader.start()
        self.convert(FEED, "--date", "20240304")
        reader.join(timeout=60)
        self.assertEqual((read(self.out), received), (MONDAY, [MONDAY_KEY]))
        self.assertEqual(stat.S_IMODE(os.stat(self.out).st_mode), 0o640)
        self.assertTrue(stat.S_ISFIFO(os.stat(key).st_mode))

        # No reader now: the converter waits on the pipe with its other output half done.
        os.remove(self.out)
        command = [sys.executable, CONVERTER, FEED, "--date", "20240304", "--out", self.out]
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 60
        while len(os.listdir(self.out_dir)) < 2 and time.monotonic() < deadline:
            time.sleep(0.02)
        self.assertEqual(len(os.listdir(self.out_dir)), 2)  # the pipe and a temporary file
        process.send_signal(signal.SIGTERM)
        stdout, stderr = process.communicate(timeout=60)
        self.assertEqual((process.returncode, stdout, stderr), (-signal.SIGTERM, b"", b""))
        self.assertEqual(os.listdir(self.out_dir), ["day.csv.key.csv"])


@unittest.skipUnless(os.environ.get("QUORLIN_BIN") and os.environ.get("PARVEL_BIN"),
                     "QUORLIN_BIN and PARVEL_BIN name the built programs (set by ctest)")
class ProgramsReadTheConvertedDay(ConverterCase):
    """The merged Monday by hand: passage 9 (overnight) can only be followed by
    3 or 5 and must follow 3, 5 or 6; 1 and 9 share 3 and 5; 2 leads to 4 or
    6; 10 to 1 or 2. So a maximum matching has 5 edges, 3*2*2*2 = 24 of them,
    and 10 - 5 = 5 rotations cover the day."""

    def test_quorlin_and_parvel(self):
        self.convert(FEED, "--date", "20240304", "--merge-radius", "150")
        quorlin = subprocess.run(
            [os.environ["QUORLIN_BIN"], "--timetable", self.out, "--B", "5", "--N", "3",
             "--seed", "1", "--exact"], capture_output=True, text=True, timeout=60)
        self.assertEqual(quorlin.returncode, 0, quorlin.stdout)
        self.assertIn("\nexact number of decompositions = 24\n", quorlin.stdout)

        report = os.path.join(self.work, "opt.xml")
        parvel = subprocess.run(
            [os.environ["PARVEL_BIN"], "--timetable", self.out, "--N", "1000", "--seed", "1",
             "--outpath", report], capture_output=True, text=True, timeout=60)
        self.assertEqual(parvel.returncode, 0, parvel.stdout)
        text = read(report)
        self.assertIn("<decomposition_size>5</decomposition_size>", text)
        chains = [[int(n) for n in chain.split(",")]
                  for chain in re.findall(r"<chain>([0-9,]+)</chain>", text)]
        self.assertEqual(sorted(n for chain in chains for n in chain), list(range(1, 11)))
        passages = {}
        for line in read(self.out).splitlines()[1:]:
            number, origin, destination, departure, arrival = line.split(",")
            passages[int(number)] = (origin, destination, float(departure), float(arrival))
        for chain in chains:
            for a, b in zip(chain, chain[1:]):
                self.assertEqual(passages[a][1], passages[b][0], (a, b))
                self.assertLessEqual(passages[a][3], passages[b][2], (a, b))


if __name__ == "__main__":
    unittest.main()


class OutputFilesUnderSignals(unittest.TestCase):
    """A signal that comes the moment a temporary file exists still leaves nothing."""

    def test_signal_right_after_the_temporary_file_is_made(self):
        sys.path.insert(0, os.path.dirname(CONVERTER))
        import output_files  # noqa: E402
        real = tempfile.mkstemp

        def mkstemp_then_signal(*args, **kwargs):
            made = real(*args, **kwargs)
            os.kill(os.getpid(), signal.SIGTERM)
            return made

        saved = {number: signal.getsignal(number) for number in output_files.SIGNALS}
        folder = tempfile.mkdtemp()
        try:
            output_files.on_signals()
            tempfile.mkstemp = mkstemp_then_signal
            with self.assertRaises(output_files.Interrupted):
                output_files.write_all({os.path.join(folder, "day.csv"): lambda s: s.write(b"x")})
        finally:
            tempfile.mkstemp = real
            for number, handler in saved.items():
                signal.signal(number, handler)
            left = os.listdir(folder)
            shutil.rmtree(folder)
        self.assertEqual(left, [])

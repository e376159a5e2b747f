#!/usr/bin/env python3
"""gtfs2timetable: one day of a public transit feed (GTFS) as a timetable file.

    python3 tools/gtfs2timetable.py FEED --date YYYYMMDD --out FILE
            [--route ID]... [--window HH:MM-HH:MM] [--merge-radius METRES]

FEED is a zip file or a folder. Every trip whose service runs on the date
becomes one passage (a trip repeated by frequencies.txt one per run), from the
terminal of its first stop to that of its last, with the departure at the
first and the arrival at the last in hours modulo 24: a trip from 23:40 to
24:20 becomes 23.67 to 0.33, an overnight passage. Passages are numbered 1..n
by departure in service time (24:10 after 23:50), ties by trip_id, and
terminals 0..k-1 in order of first use (see gtfs/terminals.py).

--route keeps the trips of the routes named (route_id, route_short_name or
route_long_name, repeatable; a name matches every route that carries it);
--window keeps the runs departing at or after its start and before its end on
the 24-hour clock (22:00-02:00 spans midnight). A run of 24 h
or more cannot be told from a short one on a 24-hour clock and is left out;
so is a trip with fewer than two stop times. The summary line counts both.

Writes FILE and FILE.key.csv (see gtfs/output.py) and prints one summary line.
On bad input it prints one line beginning with "Error", naming file, line and
field where they apply, writes nothing and exits with status 1. Output paths
are checked before the feed is read (see output_files.py): the feed itself, a
path inside a feed folder, a directory or a missing folder is refused. SIGINT
or SIGTERM leaves no file behind.
Only the Python standard library is needed.
"""

import argparse
import math
import re
import sys

import output_files
from gtfs import output
from gtfs.clock import format_date, format_time, parse_date
from gtfs.errors import FeedError
from gtfs.feed import Feed
from gtfs.service import services_on
from gtfs.terminals import Terminals, read_stops
from gtfs.trips import day_runs, day_trips, select_routes

DAY = output.DAY
REQUIRED_FILES = ("stops.txt", "routes.txt", "trips.txt", "stop_times.txt")
_WINDOW = re.compile(r"(\d{1,2}):([0-5]\d)-(\d{1,2}):([0-5]\d)\Z")


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        raise FeedError(message)


def _arguments(argv):
    parser = _Parser(prog="gtfs2timetable.py",
                     description="Writes one day of a GTFS feed as a timetable file.")
    parser.add_argument("feed", help="the feed: a zip file or a folder")
    parser.add_argument("--date", required=True, metavar="YYYYMMDD", help="the service day")
    parser.add_argument("--out", required=True, metavar="FILE",
                        help="the timetable to write; the key goes to FILE.key.csv")
    parser.add_argument("--route", action="append", default=[], metavar="ID",
                        help="keep this route (route_id, route_short_name or route_long_name); "
                             "repeatable")
    parser.add_argument("--window", metavar="HH:MM-HH:MM",
                        help="keep the runs departing in this window of the 24-hour clock")
    parser.add_argument("--merge-radius", metavar="METRES",
                        help="merge stations within this great-circle distance (single linkage)")
    return parser.parse_args(argv)


def _window(text):
    """(start, end) in seconds of the 24-hour clock, or None for no window."""
    if text is None:
        return None
    match = _WINDOW.match(text)
    if match:
        h1, m1, h2, m2 = (int(part) for part in match.groups())
        start, end = h1 * 3600 + m1 * 60, h2 * 3600 + m2 * 60
        if start < DAY and end <= DAY and start != end:
            return start, end
    raise FeedError('--window "%s" is not HH:MM-HH:MM with two different times up to 24:00'
                    % text)


def _in_window(window, seconds):
    start, end = window
    clock = seconds % DAY
    return start <= clock < end if start < end else clock >= start or clock < end


def _radius(text):
    if text is None:
        return None
    try:
        radius = float(text)
    except ValueError:
        radius = math.nan
    if not (math.isfinite(radius) and radius >= 0):
        raise FeedError('--merge-radius "%s" is not a distance in metres, 0 or more' % text)
    return radius


def convert(argv):
    args = _arguments(argv)
    day = parse_date(args.date)
    if day is None:
        raise FeedError('--date "%s" is not a date (YYYYMMDD)' % args.date)
    window = _window(args.window)
    radius = _radius(args.merge_radius)
    key_path = args.out + ".key.csv"
    output.check_paths([args.out, key_path], args.feed)
    feed = Feed(args.feed)
    try:
        for name in REQUIRED_FILES:
            if not feed.has(name):
                raise FeedError("the feed %s has no %s" % (args.feed, name))
        date = "%s (%s)" % (format_date(day), day.strftime("%A"))
        services = services_on(feed, day)
        if not services.active:
            raise FeedError("no service runs on %s; %s" % (date, services.range_text()))
        routes, chosen = select_routes(feed, args.route)
        trips = day_trips(feed, services.active, routes, chosen)
        if not trips:
            raise FeedError("no trip%s runs on %s; %s" % (
                " of the chosen routes" if chosen else "", date, services.range_text()))
        stops = read_stops(feed)
        runs, too_short = day_runs(feed, trips, stops)
    finally:
        feed.close()

    if window is not None:
        runs = [run for run in runs if _in_window(window, run.departure)]
    too_long = sum(1 for run in runs if run.arrival - run.departure >= DAY)
    runs = [run for run in runs if run.arrival - run.departure < DAY]
    if not runs:
        raise FeedError("no run on %s is left to convert%s" % (
            date, " in the window %s" % args.window if window else ""))
    runs.sort(key=lambda run: (run.departure, run.trip.trip_id, run.arrival))
    terminals = Terminals(stops, runs, radius)
    output.write_all({
        args.out: output.timetable_text(runs, terminals),
        key_path: output.key_text(runs, terminals, stops, routes),
    })

    overnight = sum(1 for run in runs if run.arrival % DAY < run.departure % DAY)
    summary = "%s: trips %d, terminals %d, overnight %d, span %s-%s" % (
        date, len(runs), terminals.count, overnight, format_time(runs[0].departure),
        format_time(max(run.arrival for run in runs)))
    left_out = []
    if too_short:
        left_out.append("%d with fewer than two stop times" % too_short)
    if too_long:
        left_out.append("%d lasting 24 h or more" % too_long)
    if left_out:
        summary += ", left out: " + ", ".join(left_out)
    print(summary)


def main(argv=None):
    output_files.on_signals()
    try:
        convert(sys.argv[1:] if argv is None else argv)
    except output_files.Interrupted as signal:
        output_files.die_of(signal.number)
    except FeedError as error:
        print(error)
        return 1
    except Exception as error:  # a one-line message rather than a trace, as for any bad input
        print("Error: unexpected failure (%s: %s)" % (type(error).__name__, error))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""The converted day as files: the timetable and its key.

The timetable is the programs' format: a header line, then one line
`passage,origin,destination,departure,arrival` per run, passages 1..n in the
order given. Times are hours of the 24-hour clock: the service time modulo 24 h
divided by 3600, written as the shortest decimal that reads back as the same
double (Python's repr: 6.0, 23.666666666666668), so equal times in the feed
stay equal in the file and the programs' "no earlier than" comparisons see the
feed's order exactly.

The key file is CSV with one header, then a `passage` row per passage (trip,
route, headsign, end stop names, service times as in the feed) and a
`terminal` row per stop of each terminal. The files are checked before the
conversion starts and written together at its end by `output_files` (beside
this package): temporary names renamed only when all are complete, devices
and pipes in place, so a failure to write leaves no output behind.
Cost: linear in the number of rows.
"""

import csv
import io

import output_files

from gtfs.clock import format_time
from gtfs.errors import FeedError

DAY = 24 * 3600
KEY_COLUMNS = ("kind", "number", "id", "name", "route_id", "route", "headsign", "first_stop",
               "last_stop", "departure", "arrival")


def hours(seconds):
    return repr(seconds % DAY / 3600)


def timetable_text(runs, terminals):
    lines = ["passage,origin,destination,departure,arrival\n"]
    for number, run in enumerate(runs, 1):
        lines.append("%d,%d,%d,%s,%s\n" % (
            number, terminals.number_of[run.first_stop], terminals.number_of[run.last_stop],
            hours(run.departure), hours(run.arrival)))
    return "".join(lines)


def key_text(runs, terminals, stops, route_names):
    text = io.StringIO()
    writer = csv.writer(text, lineterminator="\n")
    writer.writerow(KEY_COLUMNS)
    for number, run in enumerate(runs, 1):
        trip = run.trip
        writer.writerow(("passage", number, trip.trip_id, trip.short_name, trip.route_id,
                         route_names[trip.route_id], trip.headsign, stops[run.first_stop].name,
                         stops[run.last_stop].name, format_time(run.departure),
                         format_time(run.arrival)))
    blanks = ("",) * (len(KEY_COLUMNS) - 4)
    for number, members in enumerate(terminals.members):
        for stop_id in members:
            writer.writerow(("terminal", number, stop_id, stops[stop_id].name) + blanks)
    return text.getvalue()


def check_paths(paths, feed):
    """Refuses outputs that cannot or must not be written, before any work."""
    try:
        output_files.check(paths, [feed])
    except output_files.OutputError as error:
        raise FeedError("cannot write %s (%s)" % (error.path, error.reason)) from None


def write_all(files):
    """Writes {path: text}, all or nothing."""
    try:
        output_files.write_all({path: lambda stream, text=text: stream.write(text.encode("utf-8"))
                                for path, text in files.items()})
    except output_files.OutputError as error:
        raise FeedError("cannot write %s (%s)" % (error.path, error.reason)) from None

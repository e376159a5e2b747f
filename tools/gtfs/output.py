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
`terminal` row per stop of each terminal. All files are written to temporary
names in the target folder and renamed only when all are complete, so a
failure to write leaves no output behind. Cost: linear in the number of rows.
"""

import csv
import io
import os
import tempfile

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


def write_all(files):
    """Writes {path: text}, each to a temporary name first, and renames them
    only when all are written."""
    mask = os.umask(0)
    os.umask(mask)
    pending = []
    try:
        for path, text in files.items():
            try:
                folder = os.path.dirname(os.path.abspath(path))
                handle, temporary = tempfile.mkstemp(
                    dir=folder, prefix=".%s." % os.path.basename(path))
                pending.append((temporary, path))
                with os.fdopen(handle, "w", encoding="utf-8", newline="") as stream:
                    stream.write(text)
                os.chmod(temporary, 0o666 & ~mask)
            except OSError as error:
                raise FeedError("cannot write %s (%s)" % (path, error.strerror or error))
        while pending:
            temporary, path = pending[0]
            try:
                os.replace(temporary, path)
            except OSError as error:
                raise FeedError("cannot write %s (%s)" % (path, error.strerror or error))
            pending.pop(0)
    finally:
        for temporary, _ in pending:
            try:
                os.remove(temporary)
            except OSError:
                pass

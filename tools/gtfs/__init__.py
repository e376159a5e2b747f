"""Reading one service day of a public transit feed (GTFS) as a timetable.

A feed is a zip file or a folder of CSV tables. The modules here each hold one
step of the conversion that `tools/gtfs2timetable.py` drives:

- `errors`: the one error type, carrying file, line and field for the message;
- `feed`: opening a feed and reading its tables row by row;
- `clock`: service times (H:MM:SS, past 24:00) and service dates (YYYYMMDD);
- `service`: which services run on a date (`calendar.txt`, `calendar_dates.txt`);
- `trips`: the day's trips as passages, from their first to their last stop;
- `proximity`: single-linkage clusters of points within a great-circle radius;
- `terminals`: stops merged into stations and clusters, numbered 0..k-1;
- `output`: the timetable and its key file, written atomically.

Only the Python standard library is used.
"""

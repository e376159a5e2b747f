"""Which services run on a date.

A service runs on day D when `calendar.txt` has it with start_date <= D <=
end_date and a 1 in D's weekday column, unless `calendar_dates.txt` removes it
on D (exception_type 2); `calendar_dates.txt` also adds services on D
(exception_type 1), with or without a calendar row. A feed may have either
file or both, not neither. Every row of both files is checked (flags 0 or 1,
real dates, start not after end, exception types 1 or 2), since a malformed
row could change the answer for some other day silently.

The feed's date range, named when nothing runs, spans the calendar periods and
the dates that add service. Cost: one pass over each of the two files.
"""

from gtfs.clock import format_date, parse_date
from gtfs.errors import FeedError

_WEEKDAYS = ("monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday")


def _date(text, file, line, field):
    day = parse_date(text)
    if day is None:
        raise FeedError('"%s" is not a date (YYYYMMDD)' % text, file, line, field)
    return day


class Services:
    """The services of one day and the feed's date range (None if it has no dates)."""

    def __init__(self, active, first, last):
        self.active = active
        self.first = first
        self.last = last

    def range_text(self):
        if self.first is None:
            return "the feed has no service dates"
        return "the feed runs from %s to %s" % (format_date(self.first), format_date(self.last))


def services_on(feed, day):
    has_calendar = feed.has("calendar.txt")
    has_dates = feed.has("calendar_dates.txt")
    if not has_calendar and not has_dates:
        raise FeedError("the feed %s has neither calendar.txt nor calendar_dates.txt" % feed.path)
    active = set()
    bounds = []
    if has_calendar:
        name = "calendar.txt"
        columns = ("service_id",) + _WEEKDAYS + ("start_date", "end_date")
        weekday = day.weekday()
        for line, values in feed.rows(name, columns):
            service = values[0]
            for column, flag in zip(_WEEKDAYS, values[1:8]):
                if flag not in ("0", "1"):
                    raise FeedError('"%s" is not 0 or 1' % flag, name, line, column)
            start = _date(values[8], name, line, "start_date")
            end = _date(values[9], name, line, "end_date")
            if end < start:
                raise FeedError("end_date %s is before start_date %s" % (values[9], values[8]),
                                name, line, "end_date")
            bounds += (start, end)
            if start <= day <= end and values[1 + weekday] == "1":
                active.add(service)
    if has_dates:
        name = "calendar_dates.txt"
        added, removed = set(), set()
        columns = ("service_id", "date", "exception_type")
        for line, (service, text, kind) in feed.rows(name, columns):
            date = _date(text, name, line, "date")
            if kind not in ("1", "2"):
                raise FeedError('"%s" is not 1 (added) or 2 (removed)' % kind, name, line,
                                "exception_type")
            if kind == "1":
                bounds.append(date)
            if date == day:
                (added if kind == "1" else removed).add(service)
        active = (active - removed) | added
    return Services(active, min(bounds, default=None), max(bounds, default=None))

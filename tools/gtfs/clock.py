"""Service times and service dates as a feed writes them.

A service time is H:MM:SS or HH:MM:SS, counted from noon minus 12 hours of the
service day, so trips after midnight read 24:10:00, 25:30:00 and so on; the
hours have no upper bound. `parse_time` turns it into seconds of the service
day and `format_time` back into HH:MM:SS. A service date is YYYYMMDD and must
be a day of the calendar. Both parsers return None for malformed text, so the
caller can name the file, line and field. Constant cost per value.
"""

import datetime
import re

_TIME = re.compile(r"(\d+):([0-5]\d):([0-5]\d)\Z")
_DATE = re.compile(r"\d{8}\Z")


def parse_time(text):
    """Seconds since the start of the service day, or None if malformed."""
    match = _TIME.match(text)
    if match is None:
        return None
    hours, minutes, seconds = match.groups()
    return int(hours) * 3600 + int(minutes) * 60 + int(seconds)


def format_time(seconds):
    """HH:MM:SS with hours past 23 kept, as the feed writes them."""
    return "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


def parse_date(text):
    """A datetime.date from YYYYMMDD, or None if malformed or no such day."""
    if _DATE.match(text) is None:
        return None
    try:
        return datetime.date(int(text[:4]), int(text[4:6]), int(text[6:]))
    except ValueError:
        return None


def format_date(day):
    return day.strftime("%Y%m%d")

"""Labels for a rotations picture from the key file that gtfs2timetable writes beside a timetable.

The key (`FILE.key.csv`) has the header
`kind,number,id,name,route_id,route,headsign,first_stop,last_stop,departure,arrival`: a
`passage` row per passage number (its trip id, its trip short name, that is its train or flight
number, and its service times H:MM:SS, past 24:00 after midnight), then `terminal` rows, one per
stop merged into each terminal number.

A passage is labelled with its trip short name, or its passage number when the feed gives none;
a terminal with the name of its first `terminal` row (the station, or the first stop merged into
it). A key of another day would label everything wrongly and silently, so every drawn passage
must be in the key with the same departure and arrival on the 24-hour clock, and every drawn
terminal must be in it; otherwise the script stops with one line naming the passage or terminal.
Cost: linear in the key's rows.
"""

import re

from plot_common import InputError, integer, location, read_csv

WHAT = "key file"
COLUMNS = ("kind", "number", "id", "name", "route_id", "route", "headsign", "first_stop",
           "last_stop", "departure", "arrival")
NUMBER = integer(0, 4294967295)
_TIME = re.compile(r"([0-9]+):([0-5][0-9]):([0-5][0-9])\Z")


def service_hours(text):
    """Hours of the 24-hour clock of a service time, computed as the converter computes them."""
    match = _TIME.match(text)
    if match is None:
        raise ValueError("is not a time (H:MM:SS)")
    hours, minutes, seconds = (int(part) for part in match.groups())
    return (hours * 3600 + minutes * 60 + seconds) % 86400 / 3600


class Key:
    def __init__(self, path):
        self.path = path
        self.passages = {}  # number -> (label, departure, arrival, line)
        self.terminals = {}  # number -> name
        for row in read_csv(WHAT, path, COLUMNS):
            kind = row.text("kind")
            number = row.get("number", NUMBER)
            if kind == "passage":
                if number in self.passages:
                    row.fail("number", f"passage {number} is given twice")
                self.passages[number] = (row.text("name") or str(number),
                                         row.get("departure", service_hours),
                                         row.get("arrival", service_hours), row.line)
            elif kind == "terminal":
                self.terminals.setdefault(number, row.text("name") or row.text("id"))
            else:
                row.fail("kind", f'"{kind}" is not "passage" or "terminal"')

    def passage_label(self, passage):
        """The label of a passage of the rotations file, after checking that it is the key's."""
        entry = self.passages.get(passage.number)
        if entry is None:
            raise InputError(f"{location(WHAT, self.path)}: no passage {passage.number}; is it "
                             "the key of another timetable?")
        label, departure, arrival, line = entry
        for name, given, known in (("departure", passage.departure, departure),
                                   ("arrival", passage.arrival, arrival)):
            if not abs(given - known) <= 1e-9:
                raise InputError(f"{location(WHAT, self.path, line)}: passage {passage.number} "
                                 f"has the {name} {known:g} h here and {given:g} h in the "
                                 "rotations file; is it the key of another timetable?")
        return label

    def terminal_name(self, number):
        name = self.terminals.get(number)
        if name is None:
            raise InputError(f"{location(WHAT, self.path)}: no terminal {number}; is it the key "
                             "of another timetable?")
        return name

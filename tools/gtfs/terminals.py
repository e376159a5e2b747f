"""Terminals: the places where the day's runs start and end, numbered 0..k-1.

A stop with a parent_station belongs to that station (followed up the chain,
so a boarding area goes to its platform's station); the top of the chain is
the stop's station. With a merge radius, stations within that many metres of
one another, by single linkage over the stations that are the end of some
run, form one terminal (see proximity); without one, each station is a
terminal. Terminals are numbered in order of first use: the origin and then
the destination of run 1, of run 2, and so on, so the numbering follows the
passage numbering and is deterministic.

stops.txt is checked as it is read: each stop_id once, coordinates that are
given must be decimal degrees in range, a parent_station must exist and its
chain must not loop; with a merge radius, the stations being merged must have
coordinates. Cost: one pass over stops.txt, then near-linear clustering of
the end stations.
"""

import math
import re

from gtfs import proximity
from gtfs.errors import FeedError

_DECIMAL = re.compile(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\Z")
_FILE = "stops.txt"


class Stop:
    __slots__ = ("stop_id", "name", "position", "parent", "line")

    def __init__(self, stop_id, name, position, parent, line):
        self.stop_id = stop_id
        self.name = name
        self.position = position  # (latitude, longitude) or None
        self.parent = parent
        self.line = line


def _degrees(text, limit, line, field):
    value = float(text) if _DECIMAL.match(text) else math.nan
    if not -limit <= value <= limit:
        raise FeedError('"%s" is not a %s in -%d..%d degrees'
                        % (text, "latitude" if limit == 90 else "longitude", limit, limit),
                        _FILE, line, field)
    return value


def read_stops(feed):
    """stop_id -> Stop, with the file's checks done."""
    stops = {}
    for line, (stop_id, name, lat, lon, parent) in feed.rows(
            _FILE, ("stop_id",), ("stop_name", "stop_lat", "stop_lon", "parent_station")):
        if stop_id in stops:
            raise FeedError('stop_id "%s" is given twice' % stop_id, _FILE, line, "stop_id")
        position = None
        if lat or lon:
            position = (_degrees(lat, 90, line, "stop_lat"), _degrees(lon, 180, line, "stop_lon"))
        stops[stop_id] = Stop(stop_id, name, position, parent, line)
    for stop in stops.values():
        if stop.parent and stop.parent not in stops:
            raise FeedError('no stop "%s" in stops.txt' % stop.parent, _FILE, stop.line,
                            "parent_station")
    return stops


def station_of(stops, stop_id):
    seen = set()
    stop = stops[stop_id]
    while stop.parent:
        if stop.stop_id in seen:
            raise FeedError('the parent_station chain of stop "%s" loops' % stop_id, _FILE,
                            stop.line, "parent_station")
        seen.add(stop.stop_id)
        stop = stops[stop.parent]
    return stop.stop_id


class Terminals:
    """number_of: stop_id -> terminal number for every end stop of the runs;
    members: per terminal, the sorted ids of its stations and end stops."""

    def __init__(self, stops, runs, radius_m=None):
        ends = []
        for run in runs:
            ends += (run.first_stop, run.last_stop)
        station = {stop_id: station_of(stops, stop_id) for stop_id in dict.fromkeys(ends)}
        stations = list(dict.fromkeys(station[stop_id] for stop_id in ends))
        place = {name: name for name in stations}
        if radius_m is not None:
            points = []
            for name in stations:
                stop = stops[name]
                if stop.position is None:
                    raise FeedError('stop "%s" has no coordinates, which --merge-radius needs'
                                    % name, _FILE, stop.line, "stop_lat")
                points.append(stop.position)
            labels = proximity.clusters(points, radius_m)
            place = {name: stations[label] for name, label in zip(stations, labels)}
        number = {}
        for name in stations:
            number.setdefault(place[name], len(number))
        self.count = len(number)
        self.number_of = {stop_id: number[place[station[stop_id]]] for stop_id in ends}
        groups = [set() for _ in range(self.count)]
        for name in stations:
            groups[number[place[name]]].add(name)
        for stop_id, terminal in self.number_of.items():
            groups[terminal].add(stop_id)
        self.members = [sorted(group) for group in groups]

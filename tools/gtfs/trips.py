"""The trips of one day as runs from their first stop to their last.

A run is one journey of a vehicle: its trip, the stop of its lowest
stop_sequence and the stop of its highest, the departure time at the first and
the arrival time at the last, in seconds of the service day (past 24:00 for
trips after midnight). A trip is one run, unless `frequencies.txt` repeats it:
then its stop times are a template, and each period (start_time, end_time,
headway_secs) gives runs leaving at start_time, start_time + headway, ...
while before end_time, each lasting as long as the template.

Checked on the day's trips, with file, line and field: each trip_id once in
trips.txt, its route in routes.txt, stop_sequence a whole number given once
per trip, every time given well formed, a time at the first stop (departure,
else arrival) and at the last (arrival, else departure), no arrival before the
departure, the end stops in stops.txt. A trip with fewer than two stop times
has no journey; it is counted, not converted.

Cost: one pass over stop_times.txt, keeping only the end records and the
stop_sequence values of the day's trips.
"""

from gtfs.clock import format_time, parse_time
from gtfs.errors import FeedError

# A bound on the runs of one frequencies.txt row, against a typo such as
# headway_secs 1 over a whole day turning into a runaway expansion.
MAX_RUNS_PER_PERIOD = 10000


class Trip:
    __slots__ = ("trip_id", "route_id", "headsign", "short_name")

    def __init__(self, trip_id, route_id, headsign, short_name):
        self.trip_id = trip_id
        self.route_id = route_id
        self.headsign = headsign
        self.short_name = short_name


class Run:
    __slots__ = ("trip", "first_stop", "last_stop", "departure", "arrival")

    def __init__(self, trip, first_stop, last_stop, departure, arrival):
        self.trip = trip
        self.first_stop = first_stop
        self.last_stop = last_stop
        self.departure = departure
        self.arrival = arrival


def read_routes(feed):
    """(route_id -> display name: short name, else long name, else the id;
    [(route_id, short name, long name)] in file order)."""
    routes, listed = {}, []
    name = "routes.txt"
    for line, (route_id, short, long_name) in feed.rows(
            name, ("route_id",), ("route_short_name", "route_long_name")):
        if route_id in routes:
            raise FeedError('route_id "%s" is given twice' % route_id, name, line, "route_id")
        routes[route_id] = short or long_name or route_id
        listed.append((route_id, short, long_name))
    return routes, listed


# Routes shown by name in the message of a --route that matches nothing; a bus
# feed has hundreds, and one line must stay readable.
ROUTES_SHOWN = 40


def _route_list(listed):
    shown = []
    for route_id, short, long_name in listed[:ROUTES_SHOWN]:
        names = " / ".join(text for text in (short, long_name) if text)
        shown.append("%s: %s" % (route_id, names) if names else route_id)
    more = len(listed) - ROUTES_SHOWN
    return "; ".join(shown) + ("; and %d more" % more if more > 0 else "")


def select_routes(feed, wanted):
    """(read_routes' names, the route ids named by `wanted`: each a route_id,
    route_short_name or route_long_name, matching every route that carries it;
    None when `wanted` is empty, meaning every route)."""
    routes, listed = read_routes(feed)
    if not wanted:
        return routes, None
    by_name = {}
    for route_id, short, long_name in listed:
        for text in {route_id, short, long_name} - {""}:
            by_name.setdefault(text, set()).add(route_id)
    chosen = set()
    for value in wanted:
        found = by_name.get(value)
        if not found:
            raise FeedError('no route "%s" in routes.txt (by route_id, route_short_name or '
                            "route_long_name); the feed has %d (route_id: short / long name): %s"
                            % (value, len(listed), _route_list(listed)))
        chosen |= found
    return routes, chosen


def day_trips(feed, services, routes, chosen_routes):
    """trip_id -> Trip for the trips of the given services (and routes, if any)."""
    trips = {}
    seen = set()
    name = "trips.txt"
    for line, (route_id, service, trip_id, headsign, short_name) in feed.rows(
            name, ("route_id", "service_id", "trip_id"), ("trip_headsign", "trip_short_name")):
        if trip_id in seen:
            raise FeedError('trip_id "%s" is given twice' % trip_id, name, line, "trip_id")
        seen.add(trip_id)
        if service not in services:
            continue
        if route_id not in routes:
            raise FeedError('no route "%s" in routes.txt' % route_id, name, line, "route_id")
        if chosen_routes is not None and route_id not in chosen_routes:
            continue
        trips[trip_id] = Trip(trip_id, route_id, headsign, short_name)
    return trips


def _time(text, file, line, field):
    seconds = parse_time(text)
    if seconds is None:
        raise FeedError('"%s" is not a time (H:MM:SS)' % text, file, line, field)
    return seconds


def _periods(feed, trips):
    """trip_id -> [(start, end, headway)] from frequencies.txt, for the given trips."""
    periods = {}
    name = "frequencies.txt"
    if not feed.has(name):
        return periods
    for line, (trip_id, start, end, headway) in feed.rows(
            name, ("trip_id", "start_time", "end_time", "headway_secs")):
        if trip_id not in trips:
            continue
        start = _time(start, name, line, "start_time")
        end = _time(end, name, line, "end_time")
        if not (headway.isascii() and headway.isdigit() and int(headway) > 0):
            raise FeedError('"%s" is not a positive number of seconds' % headway, name, line,
                            "headway_secs")
        if end <= start:
            raise FeedError("end_time %s is not after start_time %s"
                            % (format_time(end), format_time(start)), name, line, "end_time")
        if (end - start) / int(headway) > MAX_RUNS_PER_PERIOD:
            raise FeedError("more than %d runs in one period" % MAX_RUNS_PER_PERIOD, name, line,
                            "headway_secs")
        periods.setdefault(trip_id, []).append((start, end, int(headway)))
    return periods


def day_runs(feed, trips, known_stops):
    """(runs in trips.txt order, number of trips with fewer than two stop times)."""
    name = "stop_times.txt"
    first, last, sequences = {}, {}, {}
    for line, values in feed.rows(name, ("trip_id", "stop_sequence", "stop_id"),
                                  ("arrival_time", "departure_time")):
        trip_id, sequence, stop, arrival, departure = values
        if trip_id not in trips:
            continue
        if not (sequence.isascii() and sequence.isdigit()):
            raise FeedError('"%s" is not a whole number' % sequence, name, line, "stop_sequence")
        sequence = int(sequence)
        used = sequences.setdefault(trip_id, set())
        if sequence in used:
            raise FeedError('trip "%s" has stop_sequence %d twice' % (trip_id, sequence), name,
                            line, "stop_sequence")
        used.add(sequence)
        if arrival:
            _time(arrival, name, line, "arrival_time")
        if departure:
            _time(departure, name, line, "departure_time")
        record = (sequence, line, stop, arrival, departure)
        if trip_id not in first or sequence < first[trip_id][0]:
            first[trip_id] = record
        if trip_id not in last or sequence > last[trip_id][0]:
            last[trip_id] = record

    periods = _periods(feed, trips)
    runs = []
    too_short = 0
    for trip_id, trip in trips.items():
        if len(sequences.get(trip_id, ())) < 2:
            too_short += 1
            continue
        _, first_line, first_stop, first_arrival, first_departure = first[trip_id]
        _, last_line, last_stop, last_arrival, last_departure = last[trip_id]
        for stop, stop_line in ((first_stop, first_line), (last_stop, last_line)):
            if stop not in known_stops:
                raise FeedError('no stop "%s" in stops.txt' % stop, name, stop_line, "stop_id")
        if not (first_departure or first_arrival):
            raise FeedError('trip "%s" has no time at its first stop' % trip_id, name,
                            first_line, "departure_time")
        if not (last_arrival or last_departure):
            raise FeedError('trip "%s" has no time at its last stop' % trip_id, name, last_line,
                            "arrival_time")
        departure = parse_time(first_departure or first_arrival)
        arrival = parse_time(last_arrival or last_departure)
        if arrival < departure:
            raise FeedError('trip "%s" arrives at its last stop (%s) before it leaves its first '
                            "(%s)" % (trip_id, format_time(arrival), format_time(departure)),
                            name, last_line, "arrival_time")
        if trip_id not in periods:
            runs.append(Run(trip, first_stop, last_stop, departure, arrival))
            continue
        for start, end, headway in periods[trip_id]:
            for leave in range(start, end, headway):
                runs.append(Run(trip, first_stop, last_stop, leave, leave + arrival - departure))
    return runs, too_short

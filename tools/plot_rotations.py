#!/usr/bin/python3
"""Draws the rotations of a decomposition, one horizontal lane per rotation.

    plot_rotations.py ROTATIONS.csv OUT.png|OUT.svg [--unfolded] [--select WHICH] [--key FILE.key.csv]

Input: the rotations CSV that `Parvel --rotations` and `Quorlin --rotations` write, one row per
passage in rotation order, rotations numbered from 1 and positions from 1 within each, with or
without the last column `day` (the clock day each passage departs on, 1 for a rotation's first).

Each passage is a bar from its departure to its arrival, labelled with its passage number; the
terminal numbers stand at the ends of the rotation and at each connection. After the last arrival
a dashed span of the rotation's rest_hours shows the night rest. Balanced rotations (ending where
they started) have one colour, the others another.

The picture is folded: about 1,000 pixels wide at any size, the axis one day, 0 to 24 h, and
each day of a rotation after its first a lane of its own below it (rotation_fold.py).

Options:
- `--unfolded`: one running clock instead: a rotation's passages lie on the day the `day`
  column gives, or, in files without it, a passage whose departure lies before the previous
  arrival (after an overnight passage) is moved on by whole days; an overnight passage ends at
  its arrival time on the next day, so the axis runs past midnight as far as the rotations go;
  tick labels give the hour of the day, dotted lines mark midnight.
- `--fold`: accepted for the scripts that ask for the folded picture by name; it changes nothing.
- `--select WHICH`: draw only some rotations: rotation numbers and ranges (`3,7,10-12`, in
  ascending order), `longest:N` (the N with the longest time from first departure to last
  arrival, longest first) or `least-rested:N` (the N with the shortest rest_hours, shortest
  first); ties go to the lower rotation number. Lanes are labelled with the rotation numbers.
- `--key FILE.key.csv`: the key file of a timetable that gtfs2timetable wrote: passages are
  labelled with their trip short names (train or flight numbers) and terminals with station
  names, shortened to the room they have (rotation_key.py).

The file's rows must be grouped by rotation with consecutive positions, and balanced and
rest_hours must be the same on every row of a rotation (and `day` start at 1 and never fall);
the picture shows the file's own balanced and rest_hours values. Times that are not finite
(nan, inf) or lie beyond a million hours draw no bar (and such a rest no span): they are no
time of a day, and keeping them out keeps every position finite.

Size guard: a picture holds at most MAX_PASSAGES passages (the text and the raster grow with
them: 200,000 took gigabytes and minutes). Without --select a longer file is refused as soon as
its reading passes the limit; with it the whole file is read and the selection must fit.
The figure has a fixed height per lane (and, unfolded, a fixed width per hour up to 36 inches),
so text stays the same size at any number of rotations; a PNG can hold about 2,090 lanes folded,
1,800 unfolded (the raster limit is 65,535 pixels), an SVG any number. Cost: linear in the number of passages.
"""

import math
import re

import rotation_fold
import rotation_key
from plot_common import InputError, Option, boolean, integer, location, main, new_figure, \
    number, read_csv, save_figure

COLUMNS = ("rotation", "position", "passage", "origin", "destination", "departure", "arrival",
           "balanced", "rest_hours")
OPTIONAL = ("day",)  # written by newer programs; files without it are read as before
WHAT = "rotations file"
UNSIGNED = integer(0, 4294967295)
FAR = 1e6  # hours; times beyond it are not drawn
DAY = integer(1, round(FAR / 24))
POSITIVE = integer(1)
# Hours: an arrival that meets the next departure exactly on the clock can land a rounding step
# after it on the running clock (start + length); without slack that pushed the next passage a
# whole day on.
SLACK = 1e-9
MAX_PASSAGES = 10000
USAGE = ("plot_rotations.py ROTATIONS.csv OUT.png|OUT.svg [--unfolded] "
         "[--select 3,7,10-12|longest:N|least-rested:N] [--key FILE.key.csv]")
OPTIONS = [Option("unfolded", switch=True), Option("fold", switch=True), Option("select"),
           Option("key", reads_file=True)]

LANE_INCHES = 0.3
HOUR_INCHES = 0.5
TOP_INCHES = 1.15
BOTTOM_INCHES = 0.75
LEFT_INCHES = 0.9
RIGHT_INCHES = 0.3
DPI = 120
PNG_LIMIT = 65535
END_POINTS = 60  # room for a key's name before the first and after the last bar

BALANCED_COLOUR = "#2f6fb0"
UNBALANCED_COLOUR = "#d9792b"
REST_COLOUR = "#6b6b6b"


class Passage:
    def __init__(self, number, origin, destination, departure, arrival, day=None):
        self.number = number
        self.origin = origin
        self.destination = destination
        self.departure = departure
        self.arrival = arrival
        self.day = day  # the file's clock day, from 1; None in files without the day column
        self.start = None  # position on the running clock, set by lay_out
        self.end = None
        self.label = str(number)


class Rotation:
    def __init__(self, balanced, rest, number=None):
        self.balanced = balanced
        self.rest = rest
        self.number = number  # in the file, from 1
        self.passages = []


def terminal_number(number, _room=None):
    """The default terminal label: its number, whatever the room."""
    return str(number)


def same(a, b):
    return a == b or (math.isnan(a) and math.isnan(b))


def too_many(path):
    return (f"{location(WHAT, path)}: more than {MAX_PASSAGES} passages, more than one picture "
            "can show readably; choose rotations with --select (such as longest:100)")


def read_rotations(path, limit=None):
    """The file's rotations; with a limit, refused as soon as it has more passages."""
    rotations = []
    for row in read_csv(WHAT, path, COLUMNS, optional=OPTIONAL, limit=limit,
                        too_many=too_many(path)):
        index = row.get("rotation", POSITIVE)
        position = row.get("position", POSITIVE)
        balanced = row.get("balanced", boolean)
        rest = row.get("rest_hours", number)
        if index == len(rotations) + 1:
            rotations.append(Rotation(balanced, rest, index))
        elif index != len(rotations):
            expected = f"{len(rotations)} or {len(rotations) + 1}" if rotations else "1"
            row.fail("rotation", f"rotation {index} out of order, expected {expected}")
        rotation = rotations[-1]
        if position != len(rotation.passages) + 1:
            row.fail("position", f"position {position} out of order, expected "
                                 f"{len(rotation.passages) + 1}")
        if balanced != rotation.balanced:
            row.fail("balanced", "differs from the rotation's first row")
        if not same(rest, rotation.rest):
            row.fail("rest_hours", "differs from the rotation's first row")
        day = row.get("day", DAY) if row.has("day") else None
        if day is not None:
            before = rotation.passages[-1].day if rotation.passages else 1
            if day < before or (not rotation.passages and day != 1):
                row.fail("day", f"day {day} out of order, expected {before} or later"
                         if rotation.passages else f"day {day}, expected 1 on a first row")
        rotation.passages.append(Passage(row.get("passage", UNSIGNED), row.get("origin", UNSIGNED),
                                         row.get("destination", UNSIGNED),
                                         row.get("departure", number), row.get("arrival", number),
                                         day))
    if not rotations:
        raise InputError(f"{location(WHAT, path)}: no rotations, only the header line")
    return rotations


def lay_out(rotation):
    """Places the passages on one running clock (hours from the first day's midnight)."""
    clock = None
    for passage in rotation.passages:
        if not (drawable(passage.departure) and drawable(passage.arrival)):
            continue
        start = passage.departure
        if passage.day is not None:  # the file says which day
            start += 24 * (passage.day - 1)
        elif clock is not None and start < clock - SLACK:
            start += 24 * math.ceil((clock - SLACK - start) / 24)
        length = passage.arrival - passage.departure
        if length < 0:
            length += 24
        passage.start, passage.end = start, start + length
        clock = passage.end


def drawable(hours_value):
    return abs(hours_value) <= FAR  # false for nan and inf too


def placed(rotation):
    return [p for p in rotation.passages if p.start is not None]


def rest_span(rotation):
    shown = placed(rotation)
    if not shown or not drawable(rotation.rest):
        return None
    end = shown[-1].end
    return end, end + rotation.rest


def hours(value):
    return f"{round(value, 2):g}"


def tick_step(inches_per_hour):
    """Every 2 h where that leaves room for the labels, else every 3, 6, 12 h or whole days."""
    for step in (2, 3, 6, 12):
        if step * inches_per_hour >= 0.6:
            return step
    return 24.0 * math.ceil(0.6 / inches_per_hour / 24)


def draw(rotations, output_path, fmt, terminal_label=terminal_number, title=None):
    for rotation in rotations:
        lay_out(rotation)
    points = []
    for rotation in rotations:
        for passage in placed(rotation):
            points += [passage.start, passage.end]
        span = rest_span(rotation)
        if span:
            points += list(span)
    low, high = (min(points), max(points)) if points else (0.0, 24.0)
    low, high = math.floor(low) - 1.5, math.ceil(high) + 1.0

    lanes = len(rotations)
    plot_width = min(max((high - low) * HOUR_INCHES, 7.0), 36.0)
    width = LEFT_INCHES + plot_width + RIGHT_INCHES
    height = TOP_INCHES + BOTTOM_INCHES + lanes * LANE_INCHES
    if fmt == "png" and height * DPI > PNG_LIMIT:
        raise InputError(f"{location('output file', output_path)}: {lanes} rotations need a "
                         f"picture {round(height * DPI)} pixels high, more than a PNG can hold "
                         f"({PNG_LIMIT}); write an SVG instead")

    figure = new_figure(width, height)
    axes = figure.add_axes([LEFT_INCHES / width, BOTTOM_INCHES / height, plot_width / width,
                            lanes * LANE_INCHES / height])
    axes.set_xlim(low, high)
    axes.set_ylim(lanes + 0.5, 0.5)
    points_per_hour = plot_width * 72 / (high - low)

    starts, lengths, levels, colours = [], [], [], []
    for lane, rotation in enumerate(rotations, start=1):
        colour = BALANCED_COLOUR if rotation.balanced else UNBALANCED_COLOUR
        shown = placed(rotation)
        for passage in shown:
            starts.append(passage.start)
            lengths.append(passage.end - passage.start)
            levels.append(lane)
            colours.append(colour)
            label_passage(axes, passage, lane, points_per_hour)
        label_terminals(axes, shown, lane, points_per_hour, terminal_label)
        span = rest_span(rotation)
        if span:
            axes.plot(span, (lane, lane), linestyle=(0, (4, 2)), linewidth=1, color=REST_COLOUR)
            axes.text((span[0] + span[1]) / 2, lane, f"rest {hours(rotation.rest)} h",
                      fontsize=6.5, color="#333333", ha="center", va="center",
                      bbox=dict(boxstyle="square,pad=0.1", facecolor="white", linewidth=0))
    axes.barh(levels, lengths, left=starts, height=0.52, color=colours, edgecolor="white",
              linewidth=0.4)

    from matplotlib.lines import Line2D
    from matplotlib.patches import Patch
    from matplotlib.ticker import FuncFormatter, MultipleLocator

    step = tick_step(plot_width / (high - low))
    axes.xaxis.set_major_locator(MultipleLocator(step))
    axes.xaxis.set_major_formatter(FuncFormatter(lambda x, _: f"{x % 24:g}"))
    axes.tick_params(axis="x", top=True, labeltop=True, labelsize=8)
    axes.grid(axis="x", color="#e4e4e4", linewidth=0.6)
    axes.set_axisbelow(True)
    first_day, last_day = math.ceil(low / 24), math.floor(high / 24)
    if last_day - first_day < 100:  # times far outside a day would give no readable lines anyway
        for day in range(first_day, last_day + 1):
            axes.axvline(24 * day, color="black", linestyle=":", linewidth=0.9)
    axes.set_yticks(range(1, lanes + 1))
    numbers = [rotation.number for rotation in rotations]
    if None not in numbers and numbers != list(range(1, lanes + 1)):  # a selection
        axes.set_yticklabels([str(number) for number in numbers])
    axes.tick_params(axis="y", labelsize=7 if lanes < 1000 else 5, length=2)
    axes.set_ylabel("rotation")
    axes.set_xlabel("hour of day (right of a dotted midnight line: the next day)")

    if title is None:
        balanced = sum(1 for r in rotations if r.balanced)
        title = (f"{lanes} rotation{'s' if lanes != 1 else ''}: {balanced} balanced, "
                 f"{lanes - balanced} not")
    figure.suptitle(title, y=1 - 0.12 / height, fontsize=11)
    handles = [Patch(color=BALANCED_COLOUR, label="balanced: ends where it started"),
               Patch(color=UNBALANCED_COLOUR, label="not balanced"),
               Line2D([], [], color=REST_COLOUR, linestyle=(0, (4, 2)), label="overnight rest"),
               Line2D([], [], color="black", linestyle=":", label="midnight")]
    figure.legend(handles=handles, loc="upper center", ncol=4, fontsize=8, frameon=False,
                  bbox_to_anchor=(0.5, 1 - 0.42 / height))
    save_figure(figure, output_path, fmt, DPI)


def label_passage(axes, passage, lane, points_per_hour):
    """The passage's label inside its bar, shrunk to fit; above the bar when even 4 pt does not."""
    text = passage.label
    room = (passage.end - passage.start) * points_per_hour - 2
    size = min(7, room / (0.62 * len(text)))
    middle = (passage.start + passage.end) / 2
    if size >= 4:
        axes.text(middle, lane, text, fontsize=size, color="white", ha="center", va="center")
    else:
        axes.text(middle, lane - 0.27, text, fontsize=4.5, color="black", ha="center",
                  va="bottom")


def label_terminals(axes, shown, lane, points_per_hour, terminal_label):
    """Terminal labels: before the first bar, in each gap between bars, after the last bar.
    terminal_label(number, room in points) gives the text, or None where it does not fit."""
    # A white box keeps a number legible where two bars meet without a gap.
    style = dict(fontsize=6, color="#222222", va="center",
                 bbox=dict(boxstyle="square,pad=0.05", facecolor="white", linewidth=0))
    if not shown:
        return

    def put(x, number, room, **where):
        text = terminal_label(number, room)
        if text is not None:
            axes.text(x, lane, text, **where, **style)

    put(shown[0].start - 0.08, shown[0].origin, END_POINTS, ha="right")
    for before, after in zip(shown, shown[1:]):
        gap = (after.start - before.end) * points_per_hour - 2
        if before.destination == after.origin:
            put((before.end + after.start) / 2, after.origin, gap, ha="center")
        else:  # the file joins passages that do not meet: show both ends
            put(before.end + 0.05, before.destination, gap / 2, ha="left")
            put(after.start - 0.05, after.origin, gap / 2, ha="right")
    put(shown[-1].end + 0.08, shown[-1].destination, END_POINTS, ha="left")


# --- Choosing rotations and labels ---------------------------------------------------------------

_RANGE = re.compile(r"([0-9]+)(?:-([0-9]+))?\Z")
_RANKED = {"longest": "longest", "least-rested": "least rested"}


def parse_selection(text):
    """("numbers", [(first, last)]) or (kind, count) for the ranked choices."""
    kind, colon, count = text.partition(":")
    try:
        if colon:
            if kind not in _RANKED:
                raise ValueError
            return kind, integer(1, 10**9)(count)
        ranges = []
        for part in text.split(","):
            match = _RANGE.match(part)
            if match is None:
                raise ValueError
            first, last = int(match[1]), int(match[2] or match[1])
            if not 1 <= first <= last:
                raise ValueError
            ranges.append((first, last))
        return "numbers", ranges
    except ValueError:
        raise InputError(f'Error: --select "{text}" is not rotation numbers (such as 3,7,10-12), '
                         "longest:N or least-rested:N") from None


def span_hours(rotation):
    shown = placed(rotation)
    return shown[-1].end - shown[0].start if shown else math.nan


def select(rotations, selection, path):
    """The chosen rotations, in the order they are drawn."""
    kind, value = selection
    if kind == "numbers":
        last = max(high for _, high in value)
        if last > len(rotations):
            raise InputError(f"{location(WHAT, path)}: --select names rotation {last}, the file "
                             f"has {len(rotations)}")
        wanted = set()
        for low, high in value:
            wanted.update(range(low, high + 1))
        return [rotations[number - 1] for number in sorted(wanted)]
    for rotation in rotations:
        lay_out(rotation)
    if kind == "longest":
        def rank(rotation):  # spans equal to a nanosecond are equal: the lower number first
            span = round(span_hours(rotation), 12)
            return math.isnan(span), -span if not math.isnan(span) else 0, rotation.number
    else:
        def rank(rotation):
            rest = rotation.rest
            return math.isnan(rest), rest if not math.isnan(rest) else 0, rotation.number
    return sorted(rotations, key=rank)[:value]


def describe(selection, shown):
    kind, value = selection
    if kind == "numbers":
        text = ",".join(f"{a}" if a == b else f"{a}-{b}" for a, b in value)
        return "numbers " + (text if len(text) <= 40 else text[:text.rindex(",", 0, 40)] + ",...")
    return f"the {shown} {_RANKED[kind]}"


def key_labels(key, rotations):
    """Sets the passages' labels from the key and returns the terminal labeller: the name,
    shortened to the room."""
    for rotation in rotations:
        for passage in rotation.passages:
            passage.label = key.passage_label(passage)
            key.terminal_name(passage.origin)
            key.terminal_name(passage.destination)

    def terminal_label(number, room):
        return rotation_fold.fitted(key.terminal_name(number), room, 6.0)
    return terminal_label


def run(input_path, output_path, fmt, options):
    selection = parse_selection(options["select"]) if "select" in options else None
    rotations = read_rotations(input_path, limit=None if selection else MAX_PASSAGES)
    total = len(rotations)
    title = None
    if selection:
        rotations = select(rotations, selection, input_path)
        drawn = sum(len(rotation.passages) for rotation in rotations)
        if drawn > MAX_PASSAGES:
            raise InputError(f"{location(WHAT, input_path)}: the rotations chosen have {drawn} "
                             f"passages, more than one picture can show readably "
                             f"({MAX_PASSAGES}); choose fewer with --select")
    terminal_label = terminal_number
    if "key" in options:
        terminal_label = key_labels(rotation_key.Key(options["key"]), rotations)
    folded = not options.get("unfolded")
    if selection or folded:
        balanced = sum(1 for rotation in rotations if rotation.balanced)
        shown = len(rotations)
        title = (f"{shown} of {total} rotations ({describe(selection, shown)})" if selection else
                 f"{shown} rotation{'s' if shown != 1 else ''}") + \
            f": {balanced} balanced, {shown - balanced} not"
    if folded:
        for rotation in rotations:
            lay_out(rotation)
        rotation_fold.draw(rotations, output_path, fmt, placed, drawable, terminal_label, title)
    else:
        draw(rotations, output_path, fmt, terminal_label, title)


if __name__ == "__main__":
    main(run, USAGE, OPTIONS)

"""The folded picture of plot_rotations.py (--fold): every day of a rotation on a lane of its own.

The time axis is one day, 0 to 24 h, so the picture is about 1,000 pixels wide whatever the
rotations, and text keeps one size at page width. A rotation takes one lane per clock day it
touches: its first day on the lane with its number, each further day ("day 2", "day 3") on the
lane below; an overnight passage is cut at midnight and goes on at 0 h one lane down. Lanes of
neighbouring rotations are shaded in turn. The night rest (rest_hours) is the dashed line after
the last arrival; its part that falls on the next day wraps to the first lane before the first
departure, where the timetable repeated daily starts the rotation again.

Labels never overlap: a passage's number (or the key's label) goes inside its bar (on both
pieces of an overnight passage), shrunk down to 4.5 pt, and is left out where even that does
not fit; a terminal's number (or name, shortened
with "…") goes in the gap before, between or after bars only where it fits, and the rest in
hours in the longest dashed piece that holds it.

A picture has at most MAX_LANES lanes (files from the programs have no more lanes than
passages; only days far apart in a file written by hand could make more). Bars, bands and
dashes are one collection each. In a PNG the labels too are drawn as outlines,
one collection per colour (`Outlines`): thousands of separate text objects took most of the
time of a large picture. An SVG keeps them as text, which a reader can search. The cost is
linear in the number of passages.
"""

import math

from plot_common import InputError, location, new_figure, save_figure

ROW_INCHES = 0.26
LEFT_INCHES = 0.8
RIGHT_INCHES = 0.15
PLOT_INCHES = 7.55  # with the margins 8.5 inches: 1,020 pixels at DPI
TOP_INCHES = 1.0
BOTTOM_INCHES = 0.55
LOW, HIGH = -1.0, 25.0  # hours: room for a terminal label before 0 h and after 24 h
DPI = 120
PNG_LIMIT = 65535
MAX_LANES = 20000
BAR_HEIGHT = 0.52  # of a lane
GAP = 0.08  # hours between a bar and the label beside it
END_ROOM = 2.5  # hours a label before the first or after the last bar may take
MIN_DASH = 0.25  # hours; a shorter piece of rest would read as a stray mark

PASSAGE_SIZE, SMALLEST_SIZE, TERMINAL_SIZE, REST_SIZE = 7.0, 4.5, 6.0, 6.0
DIGIT_EM = 0.63625  # every digit of DejaVu Sans, in font sizes

BALANCED_COLOUR = "#2f6fb0"
UNBALANCED_COLOUR = "#d9792b"
REST_COLOUR = "#6b6b6b"
BAND_COLOUR = "#f1f1f1"
TERMINAL_COLOUR = "#222222"


_EMS = {}  # text -> its width in font sizes, as the font lays it out


def text_points(text, size):
    """The width of a label in points: digits by their fixed advance, other text measured."""
    if text.isdigit():
        return len(text) * DIGIT_EM * size
    ems = _EMS.get(text)
    if ems is None:
        from matplotlib.font_manager import FontProperties
        from matplotlib.textpath import text_to_path
        width, _, _ = text_to_path.get_text_width_height_descent(
            text, FontProperties(size=10), ismath=False)
        ems = _EMS[text] = width / 10
    return ems * size


def fitted(text, room, size):
    """text, or its longest start followed by "…" within `room` points at `size` points; None
    when fewer than two characters fit."""
    if text_points(text, size) <= room:
        return text
    low, high = 1, len(text) - 1  # the longest start that fits lies in low..high, if any
    while low < high:
        middle = (low + high + 1) // 2
        if text_points(text[:middle].rstrip() + "\u2026", size) <= room:
            low = middle
        else:
            high = middle - 1
    if low < 2 or text_points(text[:low].rstrip() + "\u2026", size) > room:
        return None
    return text[:low].rstrip() + "\u2026"


def pieces(start, end):
    """[(day, a, b)] of a span of the running clock cut at midnights; a, b in hours of that day."""
    day = math.floor(start / 24)
    cut = []
    while True:
        a, b = max(start, 24 * day), min(end, 24 * (day + 1))
        cut.append((day, a - 24 * day, b - 24 * day))
        day += 1
        if end <= 24 * day:
            return cut


class Lane:
    """The drawing of one rotation: its pieces on days counted from its first (0)."""

    def __init__(self, rotation, placed, drawable):
        self.rotation = rotation
        self.shown = placed(rotation)
        first_day = math.floor(self.shown[0].start / 24) if self.shown else 0
        self.bars = []  # (passage, [(day, a, b)])
        for passage in self.shown:
            self.bars.append((passage, [(d - first_day, a, b)
                                        for d, a, b in pieces(passage.start, passage.end)]))
        self.days = max([1] + [d + 1 for _, cut in self.bars for d, _, _ in cut])
        self.rest = None
        if self.shown and drawable(rotation.rest) and rotation.rest > 0:
            end = self.shown[-1].end - 24 * first_day
            self.rest = (end, end + rotation.rest)


def draw(rotations, output_path, fmt, placed, drawable, terminal_label, title):
    """rotations laid out (plot_rotations.lay_out); terminal_label(number, room in points) gives
    the text or None; title is the picture's first line."""
    lanes = [Lane(rotation, placed, drawable) for rotation in rotations]
    rows = sum(lane.days for lane in lanes)
    longer = sum(1 for lane in lanes if lane.days > 1)
    if longer:
        title += f"; {longer} span{'s' if longer == 1 else ''} more than one day"
    if rows > MAX_LANES:  # only days far apart in a file can make lanes outnumber passages
        raise InputError(f"{location('output file', output_path)}: {len(rotations)} rotations "
                         f"on {rows} lanes, more than one picture can show readably "
                         f"({MAX_LANES}); choose rotations with --select")
    height = TOP_INCHES + BOTTOM_INCHES + rows * ROW_INCHES
    if fmt == "png" and height * DPI > PNG_LIMIT:
        raise InputError(f"{location('output file', output_path)}: {len(rotations)} rotations "
                         f"on {rows} lanes need a picture {round(height * DPI)} pixels high, "
                         f"more than a PNG can hold ({PNG_LIMIT}); write an SVG instead, or "
                         "choose rotations with --select")
    width = LEFT_INCHES + PLOT_INCHES + RIGHT_INCHES
    figure = new_figure(width, height)
    axes = figure.add_axes([LEFT_INCHES / width, BOTTOM_INCHES / height, PLOT_INCHES / width,
                            rows * ROW_INCHES / height])
    axes.set_xlim(LOW, HIGH)
    axes.set_ylim(rows + 0.5, 0.5)
    painter = Painter(axes, PLOT_INCHES * 72 / (HIGH - LOW), terminal_label,
                      Outlines(figure) if fmt == "png" else None)

    row = 1
    for index, lane in enumerate(lanes):
        if index % 2:
            painter.band(row, row + lane.days - 1)
        painter.rotation_labels(lane, row)
        painter.lane(lane, row)
        row += lane.days
    painter.finish(axes)

    from matplotlib.lines import Line2D
    from matplotlib.patches import Patch
    from matplotlib.ticker import MultipleLocator

    axes.xaxis.set_major_locator(MultipleLocator(2))
    axes.xaxis.set_major_formatter(lambda x, _: f"{x:g}" if 0 <= x <= 24 else "")
    axes.tick_params(axis="x", top=True, labeltop=True, labelsize=8)
    axes.grid(axis="x", color="#e4e4e4", linewidth=0.6)
    axes.set_axisbelow(True)
    for midnight in (0, 24):
        axes.axvline(midnight, color="black", linestyle=":", linewidth=0.9)
    axes.set_yticks([])
    axes.set_xlabel("hour of day; a rotation's next days go on below its lane (day 2, day 3)",
                    fontsize=9)
    figure.suptitle(title, y=1 - 0.1 / height, fontsize=11)
    handles = [Patch(color=BALANCED_COLOUR, label="balanced: ends where it started"),
               Patch(color=UNBALANCED_COLOUR, label="not balanced"),
               Line2D([], [], color=REST_COLOUR, linestyle=(0, (4, 2)),
                      label="rest until the next day's start"),
               Line2D([], [], color="black", linestyle=":", label="midnight")]
    figure.legend(handles=handles, loc="upper center", ncol=4, fontsize=8, frameon=False,
                  bbox_to_anchor=(0.5, 1 - 0.38 / height))
    save_figure(figure, output_path, fmt, DPI)


class Painter:
    """Collects the shapes of all lanes, so that each kind becomes one artist."""

    def __init__(self, axes, points_per_hour, terminal_label, outlines):
        self.axes = axes
        self.pph = points_per_hour
        self.terminal_label = terminal_label
        self.outlines = outlines  # None: text objects
        self.bars, self.colours, self.bands, self.dashes = [], [], [], []
        from matplotlib.transforms import blended_transform_factory
        self.side = blended_transform_factory(axes.transAxes, axes.transData)

    def band(self, top, bottom):
        self.bands.append([(LOW, top - 0.5), (HIGH, top - 0.5), (HIGH, bottom + 0.5),
                           (LOW, bottom + 0.5)])

    def rotation_labels(self, lane, row):
        self.text(-0.012, row, str(lane.rotation.number), 7, "black", "right", self.side)
        for day in range(1, lane.days):
            self.text(-0.012, row + day, f"day {day + 1}", 5.5, "#666666", "right", self.side)

    def text(self, x, y, text, size, color, ha, transform=None):
        """A label centred vertically on y."""
        if self.outlines is not None:
            self.outlines.add(x, y, text, size, color, ha, transform or self.axes.transData)
        else:
            self.axes.text(x, y, text, fontsize=size, color=color, ha=ha, va="center",
                           transform=transform or self.axes.transData)

    def terminal(self, number, room):
        """The terminal's label if it fits the room (in points), else None."""
        label = self.terminal_label(number, room)
        return label if label is not None and text_points(label, TERMINAL_SIZE) <= room else None

    def lane(self, lane, row):
        colour = BALANCED_COLOUR if lane.rotation.balanced else UNBALANCED_COLOUR
        half = BAR_HEIGHT / 2
        for passage, cut in lane.bars:
            for day, a, b in cut:  # an overnight passage: its label on both pieces where it fits
                y = row + day
                self.bars.append([(a, y - half), (a, y + half), (b, y + half), (b, y - half)])
                self.colours.append(colour)
                self.passage_label(passage.label, a, b, y)
        if not lane.bars:
            return
        busy = self.terminal_labels(lane, row)
        self.rest(lane, row, busy)

    def passage_label(self, text, a, b, y):
        room = (b - a) * self.pph - 2
        size = min(PASSAGE_SIZE, room / (text_points(text, 1.0) or 1.0))
        if size >= SMALLEST_SIZE:
            self.text((a + b) / 2, y, text, size, "white", "center")

    def terminal_labels(self, lane, row):
        """Labels the terminals; returns the hours taken before the first bar and after the
        last, which the rest line leaves free."""
        first_day, first_a, _ = lane.bars[0][1][0]
        last_day, _, last_b = lane.bars[-1][1][-1]
        before = self.end_label(lane.bars[0][0].origin, first_a, row + first_day, "right")
        for (one, one_cut), (next_, next_cut) in zip(lane.bars, lane.bars[1:]):
            day_a, _, end = one_cut[-1]
            day_b, start, _ = next_cut[0]
            if one.destination == next_.origin and day_a == day_b:
                label = self.terminal(next_.origin, (start - end) * self.pph - 2)
                if label is not None:
                    self.text((end + start) / 2, row + day_a, label, TERMINAL_SIZE,
                              TERMINAL_COLOUR, "center")
                continue
            # passages that do not meet, or meet at midnight: each end labelled on its own lane
            middle = (end + start) / 2 if day_a == day_b else None
            self.end_label(one.destination, end, row + day_a, "left",
                           limit=middle if middle is not None else HIGH)
            self.end_label(next_.origin, start, row + day_b, "right",
                           limit=middle if middle is not None else LOW)
        after = self.end_label(lane.bars[-1][0].destination, last_b, row + last_day, "left")
        return before, after

    def end_label(self, terminal, x, y, side, limit=None):
        """A terminal label beside a bar end; returns the hours it takes (0 when left out)."""
        if side == "right":
            limit = max(LOW, x - END_ROOM) if limit is None else max(limit, x - END_ROOM)
            room = (x - GAP - limit) * self.pph
        else:
            limit = min(HIGH, x + END_ROOM) if limit is None else min(limit, x + END_ROOM)
            room = (limit - x - GAP) * self.pph
        label = self.terminal(terminal, room)
        if label is None:
            return 0.0
        if side == "right":
            self.text(x - GAP, y, label, TERMINAL_SIZE, TERMINAL_COLOUR, "right")
        else:
            self.text(x + GAP, y, label, TERMINAL_SIZE, TERMINAL_COLOUR, "left")
        return GAP * 2 + text_points(label, TERMINAL_SIZE) / self.pph

    def rest(self, lane, row, busy):
        """The dashed rest after the last arrival; what passes the last lane's midnight wraps
        to the first lane, up to the first departure."""
        if lane.rest is None:
            return
        before, after = busy
        start, end = lane.rest
        limit = 24 * lane.days
        spans = [(d, a, b) for d, a, b in pieces(start, min(end, limit)) if b > a]
        if spans:  # the first piece starts at the last arrival, beside its terminal label
            spans[0] = (spans[0][0], spans[0][1] + after, spans[0][2])
        if end > limit:
            first_day, first_a, _ = lane.bars[0][1][0]
            wrap = min(end - limit, 24.0)
            spans.append((first_day, 0.0, min(wrap, first_a - before)))
        spans = [(d, a, b) for d, a, b in spans if b - a >= MIN_DASH]
        if not spans:
            return
        text = f"rest {round(lane.rotation.rest, 2):g} h"
        need = (text_points(text, REST_SIZE) + 10) / self.pph
        widest = max(spans, key=lambda span: span[2] - span[1])
        for d, a, b in spans:
            y = row + d
            if (d, a, b) == widest and b - a >= need:
                middle = (a + b) / 2
                self.text(middle, y, text, REST_SIZE, "#333333", "center")
                for x0, x1 in ((a, middle - need / 2), (middle + need / 2, b)):
                    if x1 > x0:
                        self.dashes.append([(x0, y), (x1, y)])
            else:
                self.dashes.append([(a, y), (b, y)])

    def finish(self, axes):
        from matplotlib.collections import LineCollection, PolyCollection
        if self.bands:
            axes.add_collection(PolyCollection(self.bands, facecolors=BAND_COLOUR, linewidths=0,
                                               zorder=0.5))
        axes.add_collection(LineCollection(self.dashes, colors=REST_COLOUR, linewidths=1,
                                           linestyles=[(0, (4, 2))], zorder=1.5))
        axes.add_collection(PolyCollection(self.bars, facecolors=self.colours,
                                           edgecolors="white", linewidths=0.4, zorder=2))
        if self.outlines is not None:
            self.outlines.finish(axes)


class Outlines:
    """Labels as glyph outlines in one collection per colour and placement. Each distinct text
    is laid out once (matplotlib's TextPath, at REFERENCE points) and scaled to its size; its
    horizontal alignment uses the ink extents, and it is centred vertically on the height of a
    digit, so that numbers sit where a text object centred on them would."""

    REFERENCE = 10.0
    DIGIT_HEIGHT = 0.729  # of the font size, DejaVu Sans

    def __init__(self, figure):
        from matplotlib.transforms import Affine2D
        self.points = Affine2D().scale(1 / 72) + figure.dpi_scale_trans  # points to pixels
        self.layouts = {}
        self.groups = {}  # (colour, id of the placement) -> (placement transform, paths, offsets)

    def add(self, x, y, text, size, colour, ha, transform):
        from matplotlib.path import Path
        from matplotlib.textpath import TextPath
        layout = self.layouts.get(text)
        if layout is None:
            path = TextPath((0, 0), text, size=self.REFERENCE)
            xs = path.vertices[:, 0]  # control points: the ink's extent near enough, and fast
            left, right = (xs.min(), xs.max()) if len(xs) else (0.0, 0.0)
            layout = self.layouts[text] = (path.vertices, path.codes, left, right)
        vertices, codes, left, right = layout
        scale = size / self.REFERENCE
        shift = {"left": left, "center": (left + right) / 2, "right": right}[ha]
        moved = (vertices - (shift, self.DIGIT_HEIGHT * self.REFERENCE / 2)) * scale
        _, paths, offsets = self.groups.setdefault((colour, id(transform)), (transform, [], []))
        paths.append(Path(moved, codes))
        offsets.append((x, y))

    def finish(self, axes):
        from matplotlib.collections import PathCollection
        for (colour, _), (transform, paths, offsets) in self.groups.items():
            collection = PathCollection(paths, offsets=offsets, offset_transform=transform,
                                        transform=self.points, facecolors=colour, linewidths=0,
                                        zorder=3)
            collection.set_clip_on(False)
            axes.add_collection(collection, autolim=False)

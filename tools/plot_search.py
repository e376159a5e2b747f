#!/usr/bin/python3
"""Draws Parvel's recorded search performance from its XML report.

    plot_search.py REPORT.xml OUT.png|OUT.svg

Input: a report written by `Parvel --record_performance_by_iteration 1 --outpath REPORT.xml`.
Its `opt_decomp/performance` holds `balances` and `rest`, the best counts of balanced chains and
of chains with enough rest, one comma-separated entry per recorded point. Entry k (from 1) stands
for iteration k of the walk (no `search` element, or `walk`), or for round k * rounds_per_entry
of the `exchange` search.

The picture shows both counts as steps against iterations or rounds, the number of chains of the
decomposition (which neither count can pass), and `balanced_upper_bound` as a line when the
report has it. Both counts are those of the best decomposition so far, ranked by balanced chains
first and by chains with enough rest second: the rest count can fall where the balanced count
rises, and the legend says so. When the report has the counts of the starting decomposition
(`initial_decomposition_size`, `initial_number_of_balanced_chains`,
`initial_number_of_chains_with_rest`, after the other elements), both lines start from them at
0; without them they start at the first recorded entry.

Runs of equal entries are drawn as one step, so a million recorded iterations cost memory and
drawing time only in the number of changes. Lists in the programs' own form (plain digits and
commas) are read at C speed; ten million entries take a few seconds and under 500 MB, and
reading is linear in the report's size.

A report without recorded performance, or with empty lists (N = 0), is refused: there is nothing
to draw. The two lists must have the same length and hold non-negative integers.
"""

import re
import xml.etree.ElementTree as ElementTree

from plot_common import InputError, boolean, integer, location, main, new_figure, number, \
    save_figure

WHAT = "report file"
COUNT = integer(0)
_DIGITS_AND_COMMAS = re.compile(r"[0-9,]*\Z")
_TOO_LONG = re.compile(r"[0-9]{19}")


def plain(text):
    """True for digits joined by single commas, at most 18 digits each (what Parvel writes, and
    what an int64 holds). Checked without a repeated group, which costs the regular expression
    engine seconds and a gigabyte on ten million entries."""
    return bool(_DIGITS_AND_COMMAS.match(text)) and ",," not in text and \
        not text.startswith(",") and not text.endswith(",") and not _TOO_LONG.search(text)


class Report:
    pass


def read_report(path):
    where = location(WHAT, path)
    try:
        root = ElementTree.parse(path).getroot()
    except OSError as error:
        raise InputError(f"{where}: cannot open it ({error.strerror})") from None
    except ElementTree.ParseError as error:
        line, column = error.position
        raise InputError(f"{location(WHAT, path, line, column + 1)}: not well-formed XML "
                         f"({str(error).split(':')[0]})") from None
    if root.tag != "OPT":
        raise InputError(f"{where}: root element <{root.tag}>, expected <OPT> (a Parvel report)")

    def element(name, parse, required=True):
        node = root.find(name)
        if node is None:
            if required:
                raise InputError(f"{where}: no <{name}> element")
            return None
        text = (node.text or "").strip()
        try:
            return parse(text)
        except ValueError as reason:
            raise InputError(f'{where}, element <{name}>: "{text}" {reason}') from None

    def counts(name):
        import numpy
        text = element("opt_decomp/performance/" + name, lambda t: t)
        if not text:
            return numpy.zeros(0, dtype=numpy.int64)
        if plain(text):
            return numpy.fromstring(text, dtype=numpy.int64, sep=",")
        entries = text.split(",")  # anything else entry by entry, to name the faulty one
        for i, entry in enumerate(entries):
            try:
                entries[i] = COUNT(entry)
            except ValueError as reason:
                raise InputError(f'{where}, element <{name}>, entry {i + 1}: "{entry}" '
                                 f'{reason}') from None
        return numpy.array(entries, dtype=object)

    report = Report()
    if root.find("opt_decomp/performance") is None:
        raise InputError(f"{where}: no recorded performance (run Parvel with "
                         "--record_performance_by_iteration 1)")
    report.balances = counts("balances")
    report.rest = counts("rest")
    if not len(report.balances) and not len(report.rest):
        raise InputError(f"{where}: the recorded performance is empty (a run of 0 iterations)")
    if len(report.balances) != len(report.rest):
        raise InputError(f"{where}: <balances> has {len(report.balances)} entries, <rest> "
                         f"{len(report.rest)}")
    report.chains = element("decomposition_size", COUNT)
    report.threshold = element("treshold_rest", number)
    report.seconds = element("elapsed_seconds", number)
    report.search = element("search", search_kind, required=False) or "walk"
    report.upper_bound = element("balanced_upper_bound", COUNT, required=False)
    report.optimal = element("balanced_optimal", boolean, required=False)
    report.step = 1
    if report.search == "exchange":
        report.step = element("rounds_per_entry", integer(1))
    report.initial_chains = element("initial_decomposition_size", COUNT, required=False)
    report.initial_balanced = element("initial_number_of_balanced_chains", COUNT, required=False)
    report.initial_rest = element("initial_number_of_chains_with_rest", COUNT, required=False)
    return report


def search_kind(text):
    if text not in ("walk", "exchange"):
        raise ValueError('is not "walk" or "exchange"')
    return text


def steps(values, step, initial=None):
    """(x, y) of a step line through the entries, keeping only the points where y changes;
    from (0, initial) when the starting count is known."""
    import numpy
    values = numpy.asarray(values)
    starts = numpy.concatenate(([0], numpy.flatnonzero(values[1:] != values[:-1]) + 1))
    xs = [int(k + 1) * step for k in starts]
    ys = [int(values[k]) for k in starts]
    if initial is not None:
        if initial == ys[0]:
            xs[0] = 0
        else:
            xs.insert(0, 0)
            ys.insert(0, initial)
    if xs[-1] != len(values) * step:
        xs.append(len(values) * step)
        ys.append(ys[-1])
    return xs, ys


def draw(report, output_path, fmt):
    unit = "iteration" if report.search == "walk" else "round"
    entries = len(report.balances)
    figure = new_figure(10, 5.6)
    axes = figure.add_subplot()
    figure.subplots_adjust(left=0.08, right=0.97, top=0.86, bottom=0.11)

    from matplotlib.ticker import MaxNLocator

    rest_label = (f"chains with rest \u2265 {report.threshold:g} h in it (ranks second: may fall "
                  "where balanced rises)")
    # The balanced line is drawn wider, so it shows around the rest line where the two agree.
    lines = ((report.balances, report.initial_balanced, "#1f5f99", 3.2,
              "balanced chains of the best decomposition so far (ranks first)"),
             (report.rest, report.initial_rest, "#3cb371", 1.4, rest_label))
    for values, initial, colour, width, label in lines:
        xs, ys = steps(values, report.step, initial)
        axes.plot(xs, ys, drawstyle="steps-post", color=colour, linewidth=width,
                  marker="o" if len(xs) <= 100 else None, markersize=3, label=label)
    chains = f"chains in the decomposition ({report.chains}"
    if report.initial_chains is not None and report.initial_chains != report.chains:
        chains += f"; {report.initial_chains} at the start"
        axes.plot([0], [report.initial_chains], marker="D", color="#777777", markersize=5,
                  linestyle="none")
    axes.axhline(report.chains, color="#777777", linestyle=":", linewidth=1.2,
                 label=chains + ")")
    if report.upper_bound is not None:
        bound = f"upper bound on balanced chains ({report.upper_bound})"
        if report.optimal:
            bound += ", reached: optimal"
        axes.axhline(report.upper_bound, color="#c0392b", linestyle="--", linewidth=1.2,
                     label=bound)
    last = entries * report.step
    axes.set_xlim(0, last * 1.02 + 0.5)
    known = [report.chains, report.upper_bound, report.initial_chains, report.initial_balanced,
             report.initial_rest]
    top = max([int(report.balances.max()), int(report.rest.max())]
              + [value for value in known if value is not None])
    axes.set_ylim(-0.02 * max(top, 1), top + max(0.6, 0.06 * top))
    axes.yaxis.set_major_locator(MaxNLocator(integer=True))
    axes.xaxis.set_major_locator(MaxNLocator(integer=True))
    axes.set_xlabel(unit + "s" if report.step == 1 else
                    f"{unit}s (one recorded point per {report.step} {unit}s)")
    axes.set_ylabel("chains")
    axes.grid(color="#e6e6e6", linewidth=0.6)
    axes.legend(fontsize=8, loc="lower right")

    kind = "walk over maximum matchings" if report.search == "walk" else "exchange search"
    start = ""
    if report.initial_balanced is not None and report.initial_rest is not None:
        start = (f"start: {report.initial_balanced} balanced, {report.initial_rest} with enough "
                 "rest" + (f", of {report.initial_chains} chains"
                           if report.initial_chains is not None else "") + "; ")
    figure.suptitle(f"Parvel {kind}: {last} {unit}{'s' if last != 1 else ''}, "
                    f"{report.seconds:.3g} s\n{start}final: {report.balances[-1]} balanced, "
                    f"{report.rest[-1]} with enough rest, of {report.chains} chains",
                    fontsize=11)
    save_figure(figure, output_path, fmt)


def run(input_path, output_path, fmt):
    draw(read_report(input_path), output_path, fmt)


if __name__ == "__main__":
    main(run, "plot_search.py REPORT.xml OUT.png|OUT.svg")

#!/usr/bin/python3
"""Draws how Quorlin's estimate settles over its repetitions.

    plot_estimates.py TRACE.csv OUT.png|OUT.svg

Input: the trace CSV that `Quorlin --trace` writes, one row per repetition, with a column
log10_exact when the exact count was asked for, and a last column log10_standard_error when the
estimate was made of parts (--split, --importance).

Upper panel: log10 of the running mean against the repetitions, with its uncertainty as a band,
and the exact count as a horizontal line when it is known. The band is two standard errors of
log10 either side when the trace has them, otherwise the running relative error (mean times
1 - re to mean times 1 + re; a lower edge at or below zero runs off the panel). Lower panel: a histogram of
log10 of the single estimates, with the final mean and the exact count marked.

Counts lie far beyond the range of a double (1e+685 and more), so estimate, running_mean and
running_relative_error are read as text: a decimal significand and exponent whose logarithm is
taken digit-exactly up to 30 significant digits, never through float(). A zero estimate has the
logarithm -inf and is left out of the histogram (the panel says how many). The log10 columns
are checked as numbers; the picture uses the logarithms taken from the full-precision text.
Cost: linear in the number of repetitions.
"""

import math
import re

from plot_common import InputError, boolean, integer, location, main, new_figure, number, \
    read_csv, save_figure

COLUMNS = ("repetition", "estimate", "log10_estimate", "running_mean", "log10_running_mean",
           "running_relative_error", "fully_enumerated", "seconds")
OPTIONAL = ("log10_exact", "log10_standard_error")
SPREAD = 2  # standard errors either side of the band
WHAT = "trace file"

_WIDE = re.compile(r"\+?([0-9]*)(?:\.([0-9]*))?(?:[eE]([+-]?[0-9]+))?\Z")
_KEPT_DIGITS = 30


def wide_log10(text):
    """log10 of a non-negative decimal of any size: -inf for zero, inf for inf, nan for nan."""
    lowered = text.lower()
    if lowered in ("nan", "+nan", "-nan"):
        return math.nan
    if lowered in ("inf", "+inf"):
        return math.inf
    match = _WIDE.match(text)
    if not match or not (match.group(1) or match.group(2)):
        raise ValueError("is not a non-negative number")
    whole, fraction, exponent = match.group(1), match.group(2) or "", match.group(3) or "0"
    if len(exponent.lstrip("+-")) > 15:
        raise ValueError("has an exponent out of range")
    digits = (whole + fraction).lstrip("0")
    if not digits:
        return -math.inf
    # value = 0.digits * 10^scale, with digits[0] != "0"; Python's int() refuses very long text
    scale = int(exponent) + len(whole) - (len(whole + fraction) - len(digits))
    kept = digits[:_KEPT_DIGITS]
    return math.log10(int(kept)) - len(kept) + scale


def scientific(log10):
    """A log10 written as the value in 6 significant digits, `2.18481e+685`."""
    if not math.isfinite(log10):
        return {math.inf: "inf", -math.inf: "0"}.get(log10, "nan")
    exponent = math.floor(log10)
    significand = round(10 ** (log10 - exponent), 5)
    if significand >= 10:
        significand, exponent = significand / 10, exponent + 1
    return f"{significand:.6g}e{exponent:+03d}"


class Repetition:
    def __init__(self, row):
        self.log10_estimate = row.get("estimate", wide_log10)
        self.log10_mean = row.get("running_mean", wide_log10)
        self.relative_error = row.get("running_relative_error", wide_value)
        self.fully_enumerated = row.get("fully_enumerated", boolean)
        self.seconds = row.get("seconds", number)
        self.standard_error = (row.get("log10_standard_error", number)
                               if row.has("log10_standard_error") else None)
        row.get("log10_estimate", number)
        row.get("log10_running_mean", number)


def wide_value(text):
    """The double nearest a non-negative decimal of any size (inf past the double range)."""
    try:
        return 10 ** wide_log10(text)
    except OverflowError:
        return math.inf


def read_trace(path):
    rows = read_csv(WHAT, path, COLUMNS, OPTIONAL)
    if not rows:
        raise InputError(f"{location(WHAT, path)}: no repetitions, only the header line")
    repetitions = []
    exact = None
    for row in rows:
        index = row.get("repetition", integer(1))
        if index != len(repetitions) + 1:
            row.fail("repetition", f"repetition {index} out of order, expected "
                                   f"{len(repetitions) + 1}")
        repetitions.append(Repetition(row))
        if row.has("log10_exact"):
            value = row.get("log10_exact", number)
            if exact is None:
                exact = value
            elif not (value == exact or (math.isnan(value) and math.isnan(exact))):
                row.fail("log10_exact", "differs from the first row's")
    return repetitions, exact


def band(repetitions):
    lower, upper = [], []
    for r in repetitions:
        if r.standard_error is not None:
            lower.append(r.log10_mean - SPREAD * r.standard_error)
            upper.append(r.log10_mean + SPREAD * r.standard_error)
            continue
        re_ = r.relative_error
        upper.append(r.log10_mean + math.log10(1 + re_) if re_ >= 0 else math.nan)
        if 0 <= re_ < 1:
            lower.append(r.log10_mean + math.log10(1 - re_))
        else:
            lower.append(-math.inf if re_ >= 1 else math.nan)
    return lower, upper


def finite(values):
    return [v for v in values if math.isfinite(v)]


def draw(repetitions, exact, output_path, fmt):
    count = len(repetitions)
    x = list(range(1, count + 1))
    means = [r.log10_mean for r in repetitions]
    lower, upper = band(repetitions)
    known_exact = exact is not None and math.isfinite(exact)

    shown = finite(means) + finite(lower) + finite(upper) + ([exact] if known_exact else [])
    if shown:
        low, high = min(shown), max(shown)
        pad = max((high - low) * 0.08, 0.05)
        low, high = low - pad, high + pad
    else:
        low, high = 0.0, 1.0
    lower = [low if v == -math.inf else v for v in lower]
    upper = [high if v == math.inf else v for v in upper]
    means = [v if math.isfinite(v) else math.nan for v in means]

    figure = new_figure(10, 8.2)
    top, bottom = figure.subplots(2, 1, gridspec_kw=dict(height_ratios=(3, 2), hspace=0.32))
    figure.subplots_adjust(left=0.09, right=0.97, top=0.9, bottom=0.07)

    with_errors = repetitions[-1].standard_error is not None
    top.fill_between(x, lower, upper, color="#9cc3e6", alpha=0.6, linewidth=0,
                     label=(f"{SPREAD} standard errors of log10 either side" if with_errors
                            else "running relative error band"))
    top.plot(x, means, color="#1f5f99", linewidth=1.4, label="log10 of the running mean",
             marker="o" if count <= 30 else None, markersize=3)
    if known_exact:
        top.axhline(exact, color="#c0392b", linestyle="--", linewidth=1.2,
                    label=f"exact count {scientific(exact)}")
    top.set_ylim(low, high)
    margin = max(0.5, count * 0.01)
    top.set_xlim(1 - margin, count + margin)
    top.set_xlabel("repetitions")
    top.set_ylabel("log10 of the running mean")
    top.legend(fontsize=8, loc="best")
    top.grid(color="#e6e6e6", linewidth=0.6)
    from matplotlib.ticker import MaxNLocator
    top.xaxis.set_major_locator(MaxNLocator(integer=True))

    estimates = finite([r.log10_estimate for r in repetitions])
    zeros = sum(1 for r in repetitions if r.log10_estimate == -math.inf)
    if estimates:
        bins = min(40, max(5, int(math.sqrt(len(estimates))) * 2))
        bottom.hist(estimates, bins=bins, color="#5b8fc7", edgecolor="white", linewidth=0.5)
    final_mean = repetitions[-1].log10_mean
    if math.isfinite(final_mean):
        bottom.axvline(final_mean, color="#1f5f99", linewidth=1.4,
                       label=f"final mean {scientific(final_mean)}")
    if known_exact:
        bottom.axvline(exact, color="#c0392b", linestyle="--", linewidth=1.2,
                       label=f"exact count {scientific(exact)}")
    notes = []
    if zeros:
        notes.append(f"{zeros} estimate{'s' if zeros != 1 else ''} of 0 not shown")
    nan_estimates = sum(1 for r in repetitions if math.isnan(r.log10_estimate))
    if nan_estimates:
        notes.append(f"{nan_estimates} nan estimate{'s' if nan_estimates != 1 else ''} not shown")
    if notes:
        bottom.text(0.01, 0.97, "; ".join(notes), transform=bottom.transAxes, fontsize=8,
                    va="top")
    bottom.set_xlabel("log10 of the estimate")
    bottom.set_ylabel("repetitions")
    if bottom.get_legend_handles_labels()[0]:
        bottom.legend(fontsize=8, loc="upper right")
    bottom.yaxis.set_major_locator(MaxNLocator(integer=True))

    last = repetitions[-1]
    enumerated = sum(1 for r in repetitions if r.fully_enumerated)
    title = (f"Quorlin estimate after {count} repetition{'s' if count != 1 else ''}: "
             f"{scientific(final_mean)}, relative error {last.relative_error:.3g}")
    subtitle = f"{last.seconds:g} s"
    if last.standard_error is not None:
        subtitle += f", standard error of log10 {last.standard_error:.3g}"
    if enumerated:
        subtitle += f", {enumerated} of {count} repetitions fully enumerated"
    if exact is not None and not known_exact:
        subtitle += ", exact count not available"
    figure.suptitle(title + "\n" + subtitle, fontsize=11)
    save_figure(figure, output_path, fmt)


def run(input_path, output_path, fmt):
    repetitions, exact = read_trace(input_path)
    draw(repetitions, exact, output_path, fmt)


if __name__ == "__main__":
    main(run, "plot_estimates.py TRACE.csv OUT.png|OUT.svg")

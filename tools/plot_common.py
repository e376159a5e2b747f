"""Plumbing shared by the plot scripts: arguments, checked input, one-line errors, safe output.

Every plot script takes an input file written by Quorlin or Parvel and an output name, plus the
options it declares (`Option`), reads and checks the whole input before it draws, and writes one
picture whose format is chosen by the output name's extension (.png or .svg, in any letter case).

Invariants:
- A fault in the arguments, the input or the output path ends the script with exactly one line
  on standard output, starting with "Error" and naming the file (with its line and column where
  they apply), and exit status 1. No traceback reaches the user, whatever fails.
- The output path is checked before any input is read (output_files.check: not an input, not a
  directory, a folder that exists and can be written). The picture is drawn into a temporary
  file beside the output and renamed into place only when it is complete (a device or pipe is
  written in place): a failed or interrupted run leaves no output file behind, and an existing
  one untouched.
- CSV fields are checked strictly (no blanks, underscores or other lenient spellings that Python's
  own int() and float() accept), so a file the programs could not have written is refused rather
  than half understood.

matplotlib is imported only when there is something to draw, so a refused input costs no more
than the interpreter's start-up. Reading is linear in the size of the file.
"""

import csv
import math
import os
import re
import sys

import output_files


class InputError(Exception):
    """A fault to report; its text is the whole line that the user sees."""


class Option:
    """A command-line option of a script: `--name VALUE`, or `--name` alone when it is a switch.
    An option whose value names an input file has `reads_file` set, so that no output may
    replace that file."""

    def __init__(self, name, switch=False, reads_file=False):
        self.name = name
        self.switch = switch
        self.reads_file = reads_file


def parse_arguments(arguments, options, usage):
    """(input path, output path, {option name: value, or True for a switch given})."""
    declared = {option.name: option for option in options}
    positional, given = [], {}
    words = iter(arguments)
    for word in words:
        if word == "--":
            positional += list(words)
            break
        if not word.startswith("--") or word == "-":
            positional.append(word)
            continue
        name, _, value = word[2:].partition("=")
        option = declared.get(name)
        if option is None:
            raise InputError(f"Error: unknown option --{name}; usage: {usage}")
        if name in given:
            raise InputError(f"Error: option --{name} given twice")
        if option.switch:
            if "=" in word:
                raise InputError(f"Error: option --{name} takes no value")
            given[name] = True
        elif "=" in word:
            given[name] = value
        else:
            given[name] = next(words, None)
            if given[name] is None:
                raise InputError(f"Error: option --{name} needs a value; usage: {usage}")
    if len(positional) != 2:
        raise InputError(f"Error: expected 2 arguments, got {len(positional)}; usage: {usage}")
    return positional[0], positional[1], given


def location(what, path, line=None, column=None, name=None):
    """The start of an error line: `Error in rotations file r.csv, line 4, column 6 (departure)`."""
    text = f"Error in {what} {path}"
    if line is not None:
        text += f", line {line}"
    if column is not None:
        text += f", column {column}"
        if name:
            text += f" ({name})"
    return text


def main(body, usage, options=None):
    """Runs body(input_path, output_path, output_format) under the one-line error rule; with
    `options` (a list of Option), body gets a fourth argument, the options given by name."""
    output_files.on_signals()
    try:
        input_path, output_path, given = parse_arguments(sys.argv[1:], options or (), usage)
        fmt = output_format(output_path)
        inputs = [input_path] + [given[o.name] for o in options or () if o.reads_file and
                                 o.name in given]
        try:
            output_files.check([output_path], inputs)
        except output_files.OutputError as error:
            raise InputError(f"{location('output file', output_path)}: cannot write it "
                             f"({error.reason})") from None
        if options is None:
            body(input_path, output_path, fmt)
        else:
            body(input_path, output_path, fmt, given)
    except output_files.Interrupted as signal:
        output_files.die_of(signal.number)
    except InputError as error:
        print(one_line(str(error)))
        sys.exit(1)
    except Exception as error:  # a fault of the script itself: still one line, never a traceback
        print(one_line(f"Error: unexpected failure ({type(error).__name__}: {error})"))
        sys.exit(1)


def one_line(text):
    """Quoted input may hold line breaks (a CSV field in quotes, an XML list); show them escaped."""
    return text.replace("\r", "\\r").replace("\n", "\\n")


def output_format(path):
    """"png" or "svg", from the output name's extension."""
    extension = os.path.splitext(path)[1].lower()
    if extension not in (".png", ".svg"):
        shown = f'"{extension}"' if extension else "none"
        raise InputError(f"{location('output file', path)}: unknown extension {shown}; "
                         "use .png or .svg")
    return extension[1:]


# --- CSV input --------------------------------------------------------------------------------

class Row:
    """One data line of a checked CSV file; fields are read by column name through a parser."""

    def __init__(self, table, line, fields):
        self.table = table
        self.line = line
        self.fields = fields

    def where(self, name):
        return location(self.table.what, self.table.path, self.line,
                        self.table.index[name] + 1, name)

    def has(self, name):
        return name in self.table.index

    def text(self, name):
        return self.fields[self.table.index[name]]

    def get(self, name, parse):
        """The field parsed by parse(text), which raises ValueError with the reason on a fault."""
        text = self.text(name)
        try:
            return parse(text)
        except ValueError as reason:
            raise InputError(f'{self.where(name)}: "{text}" {reason}') from None

    def fail(self, name, reason):
        raise InputError(f"{self.where(name)}: {reason}")


class Table:
    def __init__(self, what, path, header):
        self.what = what
        self.path = path
        self.index = {name: i for i, name in enumerate(header)}


def read_csv(what, path, columns, optional=(), limit=None, too_many=None):
    """Reads a CSV file whose header is exactly `columns`, possibly followed by some of the
    `optional` columns in their order. Returns the data rows (blank lines skipped); every row has as many
    fields as the header. `what` names the kind of file in messages ("rotations file"). With a
    limit, a file of more data rows stops the reading at once with the line `too_many`."""
    try:
        with open(path, newline="", encoding="utf-8") as stream:
            return _read_rows(what, path, csv.reader(stream), columns, optional, limit, too_many)
    except OSError as error:
        raise InputError(f"{location(what, path)}: cannot open it ({error.strerror})") from None
    except UnicodeDecodeError:
        raise InputError(f"{location(what, path)}: not a UTF-8 text file") from None


def _read_rows(what, path, reader, columns, optional, limit, too_many):
    header = None
    rows = []
    table = None
    try:
        for fields in reader:
            if not fields:
                continue
            if header is None:
                header = fields
                _check_header(what, path, reader.line_num, header, columns, optional)
                table = Table(what, path, header)
                continue
            if len(fields) != len(header):
                raise InputError(f"{location(what, path, reader.line_num)}: {len(fields)} fields, "
                                 f"expected {len(header)}")
            if limit is not None and len(rows) == limit:
                raise InputError(too_many)
            rows.append(Row(table, reader.line_num, fields))
    except csv.Error as error:
        raise InputError(f"{location(what, path, reader.line_num)}: {error}") from None
    if header is None:
        raise InputError(f"{location(what, path)}: empty file, expected the header line "
                         f"{','.join(columns)}")
    return rows


def _check_header(what, path, line, header, columns, optional):
    for i, name in enumerate(columns):
        if i >= len(header):
            raise InputError(f'{location(what, path, line)}: missing column "{name}"')
        if header[i] != name:
            if name not in header:
                raise InputError(f'{location(what, path, line)}: missing column "{name}"')
            raise InputError(f'{location(what, path, line, i + 1)}: column "{header[i]}", '
                             f'expected "{name}"')
    # The optional columns that are there come in their order, each once.
    remaining = list(optional)
    for i in range(len(columns), len(header)):
        if header[i] not in remaining:
            expected = f', expected one of "{", ".join(remaining)}"' if remaining else ""
            raise InputError(f'{location(what, path, line, i + 1)}: unexpected column '
                             f'"{header[i]}"{expected}')
        remaining = remaining[remaining.index(header[i]) + 1:]


# --- Field parsers: each returns the value or raises ValueError with the reason ---------------

_INTEGER = re.compile(r"[+-]?[0-9]+\Z")
_DECIMAL = re.compile(r"[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)([eE][+-]?[0-9]+)?\Z")
_SPECIAL = {"nan": math.nan, "+nan": math.nan, "-nan": math.nan,
            "inf": math.inf, "+inf": math.inf, "-inf": -math.inf}


def integer(minimum=None, maximum=None):
    def parse(text):
        if not _INTEGER.match(text):
            raise ValueError("is not an integer")
        value = int(text)
        if (minimum is not None and value < minimum) or (maximum is not None and value > maximum):
            low = "" if minimum is None else minimum
            high = "" if maximum is None else maximum
            raise ValueError(f"is not an integer in {low}..{high}")
        return value
    return parse


def number(text):
    """A double as the programs write it: decimal or exponent notation, nan, inf, -inf."""
    special = _SPECIAL.get(text.lower())
    if special is not None:
        return special
    if not _DECIMAL.match(text):
        raise ValueError("is not a number")
    return float(text)


def boolean(text):
    if text == "true":
        return True
    if text == "false":
        return False
    raise ValueError('is not "true" or "false"')


# --- Output ------------------------------------------------------------------------------------

def new_figure(width, height):
    """A figure of the given size in inches, on the non-interactive Agg canvas, without pyplot's
    global state. SVG keeps its text as text (searchable, and small)."""
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["svg.fonttype"] = "none"
    matplotlib.rcParams["svg.hashsalt"] = "plot"  # the same input gives the same SVG
    from matplotlib.backends.backend_agg import FigureCanvasAgg
    from matplotlib.figure import Figure
    figure = Figure(figsize=(width, height))
    FigureCanvasAgg(figure)
    return figure


def save_figure(figure, path, fmt, dpi=100):
    """Writes the figure to path in the given format, all or nothing."""
    metadata = {"Date": None} if fmt == "svg" else None
    try:
        output_files.write_all(
            {path: lambda stream: figure.savefig(stream, format=fmt, dpi=dpi, metadata=metadata)})
    except output_files.OutputError as error:
        raise InputError(f"{location('output file', path)}: cannot write it "
                         f"({error.reason})") from None
    except (ValueError, OverflowError, MemoryError) as error:
        raise InputError(f"{location('output file', path)}: cannot draw the picture "
                         f"({error})") from None

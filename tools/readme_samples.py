#!/usr/bin/python3
"""Runs the samples of the documentation and rewrites or checks their output.

    readme_samples.py (--check | --write) [--build DIR] [FILE.md ...]

A sample is an HTML comment line `<!-- sample -->` (or `<!-- sample: OPTIONS -->`) followed by a
fenced block. Lines of the block that start with `$ ` are commands, run as written with bash; the
lines after a command, up to the next command or the end of the block, are its output (standard
output and standard error, in the order written, then `[exit status N]` when it is not 0).

The samples of one file run in order in one temporary folder that mirrors the repository: copies
of `examples/`, `tools/` and `tests/tools/feeds/`, and `build/se/Quorlin` and
`build/localsearch/Parvel` linked to the built programs (from --build, default `build`, or the
environment's QUORLIN_BIN and PARVEL_BIN). So a later sample can use what an earlier one wrote,
as a reader who follows the page does, and nothing is written into the repository.

OPTIONS (space-separated):
- `keep=FILE:DEST`: the picture FILE that the sample draws; --write copies it to DEST in the
  repository, --check compares its width and height in pixels with DEST's (the bytes vary with
  matplotlib's version, the size does not).

What varies from run to run is masked before comparing: run times (`Run time: 0.01 sec.`,
`<exec_time_sec>`, `<elapsed_seconds>`), and numbers of seconds in lines (`0.4 s`). --write keeps
a block's text when it matches the new output but for those, so that rewriting changes nothing
when nothing changed.

--check exits with status 1 and a diff that names each stale block (file, line, command);
--write rewrites the blocks in place. Input errors give one line on standard output and status 1.
Cost: the run time of the commands; two files are run at once.
"""

import concurrent.futures
import difflib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
MARKER = re.compile(r"^<!-- sample(?::\s*(.*?))?\s*-->\s*$")
FENCE = re.compile(r"^(```+|~~~+)")
COPIED = ("examples", "tools", os.path.join("tests", "tools", "feeds"))
MASKS = [
    (re.compile(r"Run time: \S+ sec\."), "Run time: # sec."),
    (re.compile(r"<(exec_time_sec|elapsed_seconds)>[^<]*</"), r"<\1>#</"),
    (re.compile(r"\b\d+(\.\d+)?(e[-+]?\d+)? s\b"), "# s"),
]
COMMAND_SECONDS = 120


class SampleError(Exception):
    pass


def mask(text):
    for pattern, replacement in MASKS:
        text = pattern.sub(replacement, text)
    return text


class Sample:
    def __init__(self, path, marker_line, options, start, end, commands):
        self.path = path
        self.marker_line = marker_line  # 1-based, for messages
        self.options = options
        self.start = start  # index of the first line inside the fence
        self.end = end  # index of the closing fence
        self.commands = commands  # [(command, [old output lines])]

    def name(self):
        first = self.commands[0][0] if self.commands else "(no command)"
        return f"{os.path.relpath(self.path, ROOT)}:{self.marker_line}: $ {first}"


def parse_options(text, where):
    options = {}
    for word in (text or "").split():
        key, _, value = word.partition("=")
        if key != "keep" or ":" not in value:
            raise SampleError(f"Error in {where}: unknown sample option \"{word}\" "
                              "(known: keep=FILE:DEST)")
        picture, destination = value.split(":", 1)
        options.setdefault("keep", []).append((picture, destination))
    return options


def find_samples(path, lines):
    samples = []
    index = 0
    while index < len(lines):
        found = MARKER.match(lines[index])
        if not found:
            index += 1
            continue
        where = f"{os.path.relpath(path, ROOT)}, line {index + 1}"
        options = parse_options(found.group(1), where)
        fence = FENCE.match(lines[index + 1]) if index + 1 < len(lines) else None
        if not fence:
            raise SampleError(f"Error in {where}: a sample marker must be followed by a fenced block")
        close = next((j for j in range(index + 2, len(lines))
                      if lines[j].startswith(fence.group(1))), None)
        if close is None:
            raise SampleError(f"Error in {where}: the sample's block is not closed")
        commands = []
        for line in lines[index + 2:close]:
            if line.startswith("$ "):
                commands.append((line[2:], []))
            elif commands:
                commands[-1][1].append(line)
            else:
                raise SampleError(f"Error in {where}: the sample's block must start with a "
                                  "command line (\"$ ...\")")
        samples.append(Sample(path, index + 1, options, index + 2, close, commands))
        index = close + 1
    return samples


def programs(build):
    found = {}
    for variable, relative in (("QUORLIN_BIN", os.path.join("se", "Quorlin")),
                               ("PARVEL_BIN", os.path.join("localsearch", "Parvel"))):
        program = os.environ.get(variable) or os.path.join(build, relative)
        if not os.access(program, os.X_OK):
            raise SampleError(f"Error: {program} is not a built program; build it or name it with "
                              f"--build or {variable}")
        found[relative] = os.path.abspath(program)
    return found


def prepare(folder, built):
    for relative in COPIED:
        shutil.copytree(os.path.join(ROOT, relative), os.path.join(folder, relative),
                        ignore=shutil.ignore_patterns("__pycache__"))
    for relative, program in built.items():
        link = os.path.join(folder, "build", relative)
        os.makedirs(os.path.dirname(link), exist_ok=True)
        os.symlink(program, link)


def run(command, folder):
    environment = dict(os.environ, PYTHONDONTWRITEBYTECODE="1", LC_ALL="C.UTF-8")
    try:
        result = subprocess.run(["bash", "-c", command + " 2>&1"], cwd=folder, env=environment,
                                stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                timeout=COMMAND_SECONDS)
    except subprocess.TimeoutExpired:
        return [f"[no end after {COMMAND_SECONDS} s]"]
    # matplotlib's first run in a fresh home says so on standard error, once.
    lines = [line for line in result.stdout.decode("utf-8", "replace").splitlines()
             if not line.startswith("Matplotlib is building the font cache")]
    if result.returncode != 0:
        lines.append(f"[exit status {result.returncode}]")
    return lines


def png_size(path):
    try:
        with open(path, "rb") as stream:
            head = stream.read(24)
    except OSError:
        return None
    if len(head) < 24 or head[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", head[16:24])


def process(path, built, write):
    """Returns the messages of stale blocks (check) or rewrites the file (write)."""
    try:
        with open(path, encoding="utf-8") as stream:
            lines = stream.read().split("\n")
    except (OSError, UnicodeDecodeError) as error:
        raise SampleError(f"Error in {path}: cannot read it ({error})") from None
    samples = find_samples(path, lines)
    if not samples:
        return []
    stale = []
    with tempfile.TemporaryDirectory(prefix="samples.") as folder:
        prepare(folder, built)
        outputs = []
        for sample in samples:
            outputs.append([run(command, folder) for command, _ in sample.commands])
            for picture, destination in sample.options.get("keep", []):
                made = os.path.join(folder, picture)
                target = os.path.join(ROOT, destination)
                size = png_size(made)
                if size is None:
                    raise SampleError(f"Error in {sample.name()}: it drew no PNG picture {picture}")
                if write:
                    shutil.copyfile(made, target)
                elif png_size(target) != size:
                    stale.append(f"{sample.name()}: {picture} is {size[0]} x {size[1]} pixels, "
                                 f"{destination} is {png_size(target)}; run with --write")
        # From the end, so that the indexes of the blocks before stay valid.
        for sample, output in reversed(list(zip(samples, outputs))):
            old = lines[sample.start:sample.end]
            new = []
            for (command, _), command_output in zip(sample.commands, output):
                new += ["$ " + command] + command_output
            if [mask(line) for line in old] == [mask(line) for line in new]:
                continue
            if write:
                lines[sample.start:sample.end] = new
            else:
                diff = difflib.unified_diff(old, new, "README as written", "as the commands print",
                                            lineterm="")
                stale.insert(0, f"stale sample {sample.name()}\n" + "\n".join(diff))
    if write:
        with open(path, "w", encoding="utf-8") as stream:
            stream.write("\n".join(lines))
    return stale


def main(arguments):
    mode, build, files = None, os.path.join(ROOT, "build"), []
    words = iter(arguments)
    for word in words:
        if word in ("--check", "--write"):
            mode = word
        elif word == "--build":
            build = next(words, None)
            if build is None:
                raise SampleError("Error: --build needs a folder")
        elif word.startswith("--"):
            raise SampleError(f"Error: unknown option {word}; usage: readme_samples.py "
                              "(--check | --write) [--build DIR] [FILE.md ...]")
        else:
            files.append(os.path.abspath(word))
    if mode is None:
        raise SampleError("Error: say --check or --write")
    built = programs(build)
    if not files:
        files = [os.path.join(ROOT, "README.md")] + sorted(
            os.path.join(ROOT, "docs", name) for name in os.listdir(os.path.join(ROOT, "docs"))
            if name.endswith(".md"))
    # Pages are independent (a folder each), so two run at once: the check is a test, and the
    # page with the recipes alone takes most of its time.
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        results = list(pool.map(lambda path: process(path, built, mode == "--write"), files))
    stale = [message for messages in results for message in messages]
    for message in stale:
        print(message)
    return 1 if stale and mode == "--check" else 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except SampleError as error:
        print(error)
        sys.exit(1)

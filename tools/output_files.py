"""Output files of the data tools, written so that a failed or interrupted run leaves nothing.

A tool first checks all its output paths together (`check`), before it reads or computes
anything, so that a mistake in the command line costs nothing and destroys nothing; then, when
everything is computed, it writes them together (`write_all`).

Checks, each refused with an `OutputError`: an output that is a directory; a folder that does
not exist or cannot be written; an output that is one of the inputs (the same file through any
link, or a path inside an input folder); two outputs that name the same file; an existing
target that is neither a regular file nor a device or pipe (a socket).

Writing: a regular file (or a new name) is written to a temporary file that `tempfile.mkstemp`
creates in the target's folder (exclusive creation, an unpredictable name, no link followed),
with the mode of the file it replaces (a new file gets 0666 less the umask), and renamed over
the target only when every output is complete; the renames run with SIGINT and SIGTERM held
back, so the outputs appear together, and so does each temporary file's creation until it is
registered for removal. A target that is a character or block device or a pipe
(`/dev/null`, `/dev/stdout`, a named pipe) is written in place, after the temporary files and
before the renames. On any failure the temporary files are removed.

Signals: `on_signals` turns SIGINT and SIGTERM into an `Interrupted` exception, so that the
clean-up above runs; the tool then ends with `die_of`, as the signal would have ended it.

Cost: one pass over each output's bytes; the checks are a few system calls per path.
"""

import os
import signal
import stat
import tempfile

SIGNALS = (signal.SIGINT, signal.SIGTERM)


class OutputError(Exception):
    """An output that cannot be written: `path` and the reason, without the tool's prefix."""

    def __init__(self, path, reason):
        super().__init__(reason)
        self.path = path
        self.reason = reason


class Interrupted(BaseException):
    """SIGINT or SIGTERM arrived; not an Exception, so no handler of faults swallows it."""

    def __init__(self, number):
        super().__init__(number)
        self.number = number


def on_signals():
    def interrupt(number, _frame):
        raise Interrupted(number)
    for number in SIGNALS:
        signal.signal(number, interrupt)


def die_of(number):
    """Ends the process by the signal it received, with the default action (status 128 + n)."""
    signal.signal(number, signal.SIG_DFL)
    signal.pthread_sigmask(signal.SIG_UNBLOCK, [number])
    os.kill(os.getpid(), number)
    os._exit(128 + number)  # not reached unless the signal is ignored from outside


def _entry(path):
    """The directory entry that a rename replaces: the folder resolved, the last name kept."""
    absolute = os.path.abspath(path)
    return os.path.join(os.path.realpath(os.path.dirname(absolute)), os.path.basename(absolute))


def _in_place(path):
    """True for an existing device or pipe (links followed), which is written where it is."""
    try:
        mode = os.stat(path).st_mode
    except OSError:
        return False
    return stat.S_ISCHR(mode) or stat.S_ISBLK(mode) or stat.S_ISFIFO(mode)


def _same_file(a, b):
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False


def check(outputs, inputs=()):
    """Refuses (OutputError) what write_all could not write, or should not: see the module."""
    seen = []
    for path in outputs:
        entry = _entry(path)
        real = os.path.realpath(path)
        if os.path.isdir(path):
            raise OutputError(path, "it is a directory")
        for source in inputs:
            source_real = os.path.realpath(source)
            if entry == source_real or real == source_real or _same_file(path, source):
                raise OutputError(path, f"it is the input {source}")
            if os.path.isdir(source_real) and any(
                    name.startswith(source_real + os.sep) for name in (entry, real)):
                raise OutputError(path, f"it lies inside the input folder {source}")
        for other in seen:
            if entry == _entry(other) or real == os.path.realpath(other) or \
                    _same_file(path, other):
                raise OutputError(path, f"it is also the output {other}")
        seen.append(path)
        if _in_place(path):
            if not os.access(path, os.W_OK):
                raise OutputError(path, "permission denied")
            continue
        try:
            mode = os.stat(path).st_mode
        except OSError:
            mode = None  # a new name (or a link to nowhere, which the rename replaces)
        if mode is not None and not stat.S_ISREG(mode):
            raise OutputError(path, "it is neither a file nor a device or pipe")
        folder = os.path.dirname(entry)
        if not os.path.isdir(folder):
            raise OutputError(path, f"the folder {os.path.dirname(path) or '.'} does not exist")
        if not os.access(folder, os.W_OK | os.X_OK):
            raise OutputError(path, f"the folder {os.path.dirname(path) or '.'} is not writable")


def _new_mode(path):
    try:
        status = os.lstat(path)
        if stat.S_ISREG(status.st_mode):
            return stat.S_IMODE(status.st_mode)
    except OSError:
        pass
    mask = os.umask(0)
    os.umask(mask)
    return 0o666 & ~mask


def write_all(outputs):
    """Writes {path: write(binary_stream)}, all or nothing; OutputError on failure."""
    pending = []  # (temporary, path), in the order given
    try:
        for path, produce in outputs.items():
            if _in_place(path):
                continue
            try:
                # A signal between the file's creation and its registration
                # would leave it behind: held back until it is registered.
                held = signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
                try:
                    handle, temporary = tempfile.mkstemp(
                        dir=os.path.dirname(_entry(path)),
                        prefix="." + os.path.basename(path)[:100] + ".", suffix=".partial")
                    pending.append((temporary, path))
                finally:
                    signal.pthread_sigmask(signal.SIG_SETMASK, held)
                with os.fdopen(handle, "wb") as stream:
                    os.fchmod(stream.fileno(), _new_mode(path))
                    produce(stream)
            except OSError as error:
                raise OutputError(path, error.strerror or str(error)) from None
        for path, produce in outputs.items():
            if _in_place(path):
                try:
                    with open(path, "wb") as stream:
                        produce(stream)
                except OSError as error:
                    raise OutputError(path, error.strerror or str(error)) from None
        held = signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
        try:
            while pending:
                temporary, path = pending[0]
                try:
                    os.replace(temporary, path)
                except OSError as error:
                    raise OutputError(path, error.strerror or str(error)) from None
                pending.pop(0)
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, held)
    finally:
        for temporary, _ in pending:
            try:
                os.remove(temporary)
            except OSError:
                pass


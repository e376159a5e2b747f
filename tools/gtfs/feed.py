"""A feed on disk: a zip file or a folder of CSV tables, read row by row.

Tables are UTF-8 text with an optional byte-order mark, any line ends, and
the quoting of the csv module (fields with commas, quotes or line feeds).
In a zip file a table may also sit in one folder level below the top, as
when a feed folder was zipped whole. `Feed.rows` streams a table: it checks
that the columns asked for exist, and yields each record's line number with
the values of those columns, blanks around values removed, '' where an
optional column or a short record has none. Blank lines are skipped.

Cost: one pass over the table; memory for one record at a time.
"""

import csv
import io
import os
import zipfile

from gtfs.errors import FeedError


class Feed:
    def __init__(self, path):
        self.path = path
        self._zip = None
        self._members = {}
        if os.path.isdir(path):
            return
        if not os.path.exists(path):
            raise FeedError("no feed at %s" % path)
        try:
            self._zip = zipfile.ZipFile(path)
        except (zipfile.BadZipFile, OSError) as error:
            raise FeedError("%s is neither a folder nor a readable zip file (%s)" % (path, error))
        # Top-level members win over members one folder down.
        for info in sorted(self._zip.infolist(), key=lambda i: i.filename.count("/")):
            parts = info.filename.split("/")
            if info.is_dir() or len(parts) > 2:
                continue
            self._members.setdefault(parts[-1], info.filename)

    def close(self):
        if self._zip is not None:
            self._zip.close()

    def has(self, name):
        if self._zip is not None:
            return name in self._members
        return os.path.isfile(os.path.join(self.path, name))

    def _open(self, name):
        if not self.has(name):
            raise FeedError("the feed %s has no %s" % (self.path, name))
        try:
            if self._zip is not None:
                raw = self._zip.open(self._members[name])
                return io.TextIOWrapper(raw, encoding="utf-8-sig", newline="")
            return open(os.path.join(self.path, name), encoding="utf-8-sig", newline="")
        except (OSError, zipfile.BadZipFile, RuntimeError) as error:
            raise FeedError("cannot read it (%s)" % error, name)

    def _undecodable_line(self, name):
        """The first line that is not UTF-8. The text stream decodes ahead in
        blocks, so its position does not tell; this rescan runs only on error."""
        if self._zip is not None:
            stream = self._zip.open(self._members[name])
        else:
            stream = open(os.path.join(self.path, name), "rb")
        with stream:
            for number, raw in enumerate(stream, 1):
                try:
                    raw.decode("utf-8")
                except UnicodeDecodeError:
                    return number
        return None

    def rows(self, name, required, optional=()):
        """Yields (line, values) for each record, values in the order of
        required + optional."""
        with self._open(name) as stream:
            reader = csv.reader(stream)
            line = 1
            try:
                header = next(reader, None)
                if header is None:
                    raise FeedError("the file is empty, without a header line", name, 1)
                columns = {}
                for position, column in enumerate(header):
                    columns.setdefault(column.strip(), position)
                for column in required:
                    if column not in columns:
                        raise FeedError("no column %s in the header" % column, name, 1)
                positions = [columns.get(column) for column in tuple(required) + tuple(optional)]
                line = reader.line_num + 1
                for record in reader:
                    start, line = line, reader.line_num + 1
                    size = len(record)
                    if size == 0 or (size == 1 and not record[0].strip()):
                        continue
                    yield start, tuple(record[p].strip() if p is not None and p < size else ""
                                       for p in positions)
            except csv.Error as error:
                raise FeedError("unreadable CSV (%s)" % error, name, line)
            except UnicodeDecodeError:
                raise FeedError("not UTF-8 text", name, self._undecodable_line(name))
            except (OSError, zipfile.BadZipFile, EOFError) as error:
                raise FeedError("cannot read it (%s)" % error, name, line)

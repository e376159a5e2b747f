"""The error a feed conversion stops with.

A `FeedError` carries what is wrong and, where it applies, the table, the line
(1-based, the header is line 1; a record spread over several lines by quoting
is named by its first line) and the column. Its text is the one line the
converter prints: `Error in stop_times.txt, line 12, field departure_time: ...`
or, without a place, `Error: ...`.
"""


class FeedError(Exception):
    def __init__(self, message, file=None, line=None, field=None):
        super().__init__(message)
        self.message = message
        self.file = file
        self.line = line
        self.field = field

    def __str__(self):
        if self.file is None:
            return "Error: " + self.message
        place = "Error in " + self.file
        if self.line is not None:
            place += ", line %d" % self.line
        if self.field is not None:
            place += ", field " + self.field
        return place + ": " + self.message

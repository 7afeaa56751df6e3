# SPDX-FileCopyrightText: 2026 The pinboa developers
# SPDX-License-Identifier: MIT
"""The bytes of the two data files and of the note argument string, as the tests build and read
them: MDATA.INI records, IDDATA.INI entries, code page 932 text and bare numbers."""

import re
from dataclasses import dataclass, replace

SEPARATOR = "/\\/"
CRLF = b"\r\n"
# Positions and sizes are kept in twips; the test desktops run at 96 DPI.
TWIPS_PER_PIXEL = 15


def cp932(text):
    """The bytes of `text` in code page 932, as the data files hold it."""
    return text.encode("cp932")


def from_cp932(data):
    return data.decode("cp932")


def number_text(value):
    """A bare number as the programs write it: plain decimal, no exponent, no trailing .0."""
    if isinstance(value, int):
        return str(value)
    if float(value).is_integer():
        return str(int(value))
    text = format(value, "f").rstrip("0").rstrip(".")
    return text


def field_bytes(value):
    """One field: a str is written quoted, an int or float bare."""
    if isinstance(value, str):
        if '"' in value:
            raise ValueError("a text field cannot hold a double quote")
        return b'"' + cp932(value) + b'"'
    return cp932(number_text(value))


def line_bytes(values):
    return b",".join(field_bytes(v) for v in values) + CRLF


@dataclass
class Note:
    """One record of MDATA.INI. A str field is quoted in the file, a number is bare; the font
    size may be either (`12` or `"12"`)."""

    text: str
    back_color: str = "12632256"
    font_name: str = "ＭＳ Ｐゴシック"
    font_size: object = 12
    top: object = 1500
    left: object = 1500
    width: object = 5430
    height: object = 900
    fore_color: object = 0
    id: object = 1

    def values(self):
        return [self.text, self.back_color, self.font_name, self.font_size, self.top,
                self.left, self.width, self.height, self.fore_color, self.id]

    def record(self):
        """The record's bytes in MDATA.INI, CR LF included."""
        return line_bytes(self.values())

    def args(self):
        """The note argument string that starts this note's window."""
        return note_args(self.values())

    def moved(self, top, left):
        return replace(self, top=top, left=left)

    def pixel_geometry(self):
        """(x, y, width, height) of the window's outer frame in pixels."""
        return tuple(int(round(float(v) / TWIPS_PER_PIXEL))
                     for v in (self.left, self.top, self.width, self.height))


def note_args(values):
    """The ten field texts joined by the separator, as the master builds them."""
    texts = [v if isinstance(v, str) else number_text(v) for v in values]
    return SEPARATOR.join(texts)


def mdata_bytes(notes):
    return b"".join(n.record() for n in notes)


def running_entry(id_text, task_id="0"):
    """One line of IDDATA.INI: a str task id is quoted ("0"), a number bare."""
    return line_bytes([str(id_text), task_id])


def read_fields(data, count):
    """Splits file bytes into records of `count` fields each: (is_text, str) pairs.
    A small reader for checks; raises ValueError on a record cut short."""
    text = from_cp932(data)
    records, current, i = [], [], 0
    while i < len(text):
        if text[i] == '"':
            end = text.index('"', i + 1)
            current.append((True, text[i + 1:end]))
            i = end + 1
        else:
            m = re.compile(r"[^,\r\n]*").match(text, i)
            current.append((False, m.group(0).strip()))
            i = m.end()
        if len(current) == count:
            records.append(current)
            current = []
            if text.startswith("\r\n", i):
                i += 2
            elif i < len(text):
                raise ValueError("record %d does not end with CR LF" % len(records))
        elif text.startswith(",", i):
            i += 1
        else:
            raise ValueError("record %d is cut short" % (len(records) + 1))
    if current:
        raise ValueError("last record is cut short")
    return records

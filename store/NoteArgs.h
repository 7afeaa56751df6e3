// The note argument string: the ten fields of a note joined by "/\/", handed to a note window.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Records.h"
#include "Result.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace store {

inline constexpr QStringView NoteArgsSeparator = u"/\\/";

// The longest argument string a note window can be handed, in bytes as the process gets it
// (UTF-8): the system takes no single argument of 128 KiB or more, its closing NUL included.
inline constexpr qsizetype MaxNoteArgsBytes = 128 * 1024 - 1;

// Joins the text forms of the ten fields in field order. Refuses, with a message naming the
// field, a field that holds the separator, since the window would split it into the wrong fields;
// and, with a message naming the limit, a note whose string is longer than MaxNoteArgsBytes.
Result<QString> EncodeNoteArgs(const NoteRecord &note);
// One field as the argument string carries it: a number in plain decimal, text as it is.
QString argumentForm(const Value &value);

// A note as its window takes it from its argument string: each field converted as the window
// uses it.
struct WindowNote
{
    QString text;
    qint32 backColor = 0; // RGB number, red in the low byte
    QString fontName;
    float fontSize = 0;                             // points
    float top = 0, left = 0, width = 0, height = 0; // twips
    qint32 foreColor = 0;
    QString id; // as received, never converted
};
// Converts the ten field texts of DecodeNoteArgs: the colours to 32-bit integers (a fraction
// rounded half to even), the font size and the geometry to single precision. Fails, naming the
// field, on the first one that does not convert.
Result<WindowNote> convertNoteFields(const QStringList &fields);

// Splits the argument text at every separator from the left. Nothing for an empty text (there is
// no note); an error naming the count for fewer than ten pieces; otherwise the first ten pieces
// (later ones are ignored), unconverted.
Result<std::optional<QStringList>> DecodeNoteArgs(const QString &argumentText);

} // namespace store

// The note argument string: the ten fields of a note joined by "/\/", handed to a note window.
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

// Splits the argument text at every separator from the left. Nothing for an empty text (there is
// no note); an error naming the count for fewer than ten pieces; otherwise the first ten pieces
// (later ones are ignored), unconverted.
Result<std::optional<QStringList>> DecodeNoteArgs(const QString &argumentText);

} // namespace store

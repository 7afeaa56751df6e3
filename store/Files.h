// Whole-file reads, atomic rewrites and appends that land whole: the file primitives of the
// store, with messages that name the file and the cause.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

namespace store::files {

// The file of `dir` (ending in "/") whose name matches `name` in any letter case; the exact name
// wins when several do. The path of a new file with `name` when none exists.
QString resolve(const QString &dir, const QString &name);
// The file name alone, as messages name it.
QString shownName(const QString &path);

struct Bytes
{
    bool exists = false;
    QByteArray bytes;
};
// A missing file reads as an empty one.
Result<Bytes> read(const QString &path);

// Writes a temporary file beside the old one, syncs it and renames it over the old one, so that
// a crash at any moment leaves one of the two whole.
Status save(const QString &path, const QByteArray &bytes);

enum class Sync
{
    ToDisk,
    No
};
// Appends one whole record. A file whose last line has no line break gets CR LF first, so that
// the new record starts on a line of its own. A write that fails part-way (a full disk) is cut
// back to the old length: a half line would make the whole file unreadable to everyone.
Status append(const QString &path, const QByteArray &line, Sync sync);

} // namespace store::files

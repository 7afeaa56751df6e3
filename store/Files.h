// Whole-file reads, atomic rewrites and appends that land whole: the file primitives of the
// store, with messages that name the file and the cause.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace store::files {

// The file of `dir` (ending in "/") whose name matches `name` in any letter case; the exact name
// wins when several do. The path of a new file with `name` when none exists.
QString resolve(const QString &dir, const QString &name);
// The file name alone, as messages name it.
QString shownName(const QString &path);

// Which file a path named, and in what state: a sync engine replaces a file by renaming its own
// over it (a new inode) or writes it in place (a new size or time), without our folder lock.
struct Identity
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    bool operator==(const Identity &other) const = default;
};
// The identity of what `path` names now; a missing file (or one that cannot be looked at) has
// the empty identity.
Identity identityOf(const QString &path);

struct Bytes
{
    bool exists = false;
    QByteArray bytes;
    Identity identity; // of the file that was read
};
// A missing file reads as an empty one. Anything but a plain file (a folder, a pipe) is refused.
Result<Bytes> read(const QString &path);

// Writes a temporary file beside the old one, syncs it and renames it over the old one, so that
// a crash at any moment leaves one of the two whole. A temporary file of an earlier save that was
// killed before its rename is removed first (see removeStaleTemporaries).
Status save(const QString &path, const QByteArray &bytes);

// Renames a file that cannot be read whole to "<name>.<date-time>.bad" beside it (with "-2", "-3"
// ... when that is taken): set aside, never deleted, so that what happened can still be seen.
// Gives the new path; empty when there was no file.
Result<QString> setAside(const QString &path);

// The same for a file that a sync engine may replace: just before the rename, the file must still
// be the one that was read (`read`, its identity then). When it is not, nothing is written and
// the answer is FileChanged: read again and make the change again.
enum class Commit
{
    Done,
    FileChanged
};
Result<Commit> saveIfUnchanged(const QString &path, const QByteArray &bytes, const Identity &read);

// A read-modify-write of a synced file: `change` gets what was read and gives the new bytes, or
// nothing to leave the file as it is, or an error to stop. When the file is replaced between the
// read and the rename, it is read and changed again, up to RewriteRounds times; then the
// rewrite fails and has written nothing. `change` must make the same change from any read.
using Change = std::function<Result<std::optional<QByteArray>>(const Bytes &read)>;
constexpr int RewriteRounds = 5;
Status rewrite(const QString &path, const Change &change);

// Runs in every identity-checked save and append of the calling process just before the file's
// identity is compared (and so before the rename): the tests replace the file there, as a sync
// engine would. An empty function removes it.
void setBeforeCommitForTesting(std::function<void(const QString &path)> hook);

// Removes what a killed save of `path` left beside it: QSaveFile names its temporary file after
// the file, a dot and six random letters ("MDATA.INI.kajlgP"). Only plain files of this user
// whose six letters are not a word's shape (all small, all capital, or one capital and then
// small) go, so that no file of the user's ("MDATA.INI.backup") is ever taken. The caller holds
// the folder's lock, so no live save of ours owns one.
void removeStaleTemporaries(const QString &path);

enum class Sync
{
    ToDisk,
    No
};
// Appends one whole record. A file whose last line has no line break gets CR LF first, so that
// the new record starts on a line of its own. A write that fails part-way (a full disk) is cut
// back to the old length: a half line would make the whole file unreadable to everyone. A file
// whose text ends at a 0x1A mark is saved again whole, the record in place of the mark, as a
// record after the mark would be lost to every reader.
Status append(const QString &path, const QByteArray &line, Sync sync);

// The same for a file that a sync engine may replace: when after the write the path names
// another file than the one appended to (renamed away meanwhile), the record is appended to the
// new one too, never twice to one file, up to RewriteRounds times.
Status appendChecked(const QString &path, const QByteArray &line, Sync sync);

// A write past the file-size limit (ulimit -f) must fail with EFBIG, so that an append is cut
// back and the user is told, rather than end the process between the write and its cut-back.
// Both programs call this first thing.
void ignoreFileSizeSignal();

} // namespace store::files

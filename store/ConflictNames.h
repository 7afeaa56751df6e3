// The names that sync engines give the losing version of a file changed on two computers at once.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace store {

enum class SyncEngine
{
    Syncthing, // MDATA.sync-conflict-20240131-235959-ABCDEF2.INI
    Nextcloud, // MDATA (conflicted copy 2024-01-31 235959).INI
    Dropbox    // MDATA (Hanako's conflicted copy 2024-01-31).INI
};

// The files that travel with the notes, whose conflict copies are looked for.
QStringList syncedFileNames(); // MDATA.INI, ERASED.INI, pinboa-notes.ini

struct ConflictName
{
    QString original; // as listed in `originals`
    SyncEngine engine;
};
// Which of `originals` `fileName` (a name, not a path) is a conflict copy of. The original's name
// is matched without regard to letter case, as the data files are; the engine's part and its date
// and time must be exactly the engine's.
std::optional<ConflictName> conflictCopyOf(const QString &fileName,
                                           const QStringList &originals = syncedFileNames());

struct ConflictCopy
{
    QString path;
    QString original;
    SyncEngine engine;
};
// The conflict copies of `originals` among the plain files of `folder` (ending in "/"), by name.
QList<ConflictCopy> conflictCopies(const QString &folder,
                                   const QStringList &originals = syncedFileNames());

} // namespace store

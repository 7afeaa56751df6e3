// ERASED.INI: the notes the erase dialog took out of MDATA.INI, kept so that they can be put back.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "DataFolder.h"
#include "FolderLock.h"
#include "Records.h"
#include "Result.h"

#include <QList>
#include <QString>
#include <functional>

namespace store {

// The file lies beside MDATA.INI and has its syntax, record for record (Shift-JIS, CR LF), so that
// the older tool or a text editor reads it too; the oldest record comes first. Every operation
// holds the folder's lock as NoteStore's do, and a file that cannot be read whole is never
// rewritten from what could be read of it.
class ErasedNotes
{
public:
    // The newest notes kept; older ones go as new ones come.
    static constexpr int Kept = 200;
    static QString fileName() { return QStringLiteral("ERASED.INI"); }

    // `folders`: the data folder (and this computer's state folder); `wait` as for NoteStore.
    explicit ErasedNotes(const Folders &folders, LockWait wait = LockWait::None);

    // The existing ERASED.INI in any letter case, else .../ERASED.INI.
    QString filePath() const;

    // For listing: every record that reads whole, oldest first, and the lines that do not.
    Result<NoteReadout> read() const;

    // Adds `records` after the others as they are (a record read from a file keeps its bytes),
    // keeping the newest Kept. A file that does not read whole gets them only where they read
    // back as written, and keeps its old records, however many.
    Status append(const QList<NoteRecord> &records) const;

    // The erase: under one hold of the lock, reads MDATA.INI whole, lets `pick` take the notes to
    // erase out of the list (it gives them back), appends those here and only then rewrites
    // MDATA.INI. When the append fails nothing is erased; when the rewrite fails, this file is
    // made as it was again. Nothing picked: nothing written.
    Status erase(const std::function<QList<NoteRecord>(QList<NoteRecord> &)> &pick) const;

    // Puts `chosen` back: under one hold of the lock, appends each one found here (the newest
    // equal record) to MDATA.INI, with a new number where MDATA.INI uses its number already
    // (chooseNewNoteId's rule), and then rewrites this file without them. Both files must read
    // whole. When the rewrite fails, MDATA.INI is made as it was again. Gives the records as
    // MDATA.INI now holds them, in the order chosen; those no longer here are left out.
    Result<QList<NoteRecord>> putBack(const QList<NoteRecord> &chosen) const;

private:
    Folders m_folders;
    LockWait m_wait;
};

} // namespace store

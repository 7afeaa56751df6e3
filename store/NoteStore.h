// The data files of one set of notes and every operation on them, under the folder lock.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "ConflictNames.h"
#include "DataFolder.h"
#include "FolderLock.h"
#include "NoteOptions.h"
#include "Records.h"
#include "Result.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace store {

// Every read-modify-write and every append holds the folder's lock (a kernel lock on a lock file
// beside the data files, so a holder that dies releases it). Every rewrite goes through a
// temporary file that is renamed over the old one. A missing file reads as empty and is created
// where it is written. The file names are matched without regard to letter case: an existing
// "mdata.ini" is the note data file; a new one is created as "MDATA.INI".
// MDATA.INI lives in the notes folder, which a sync engine may replace files in without the lock:
// every rewrite of it checks, just before its rename, that the file is still the one it read, and
// reads and makes its change again when it is not. IDDATA.INI, the lock and the record history
// live in the state folder (see Folders).
// What a note window's close did to each file.
struct CloseResult
{
    Status running; // its entries removed from IDDATA.INI
    Status notes;   // its position stored in MDATA.INI
    Status options; // its options entry changed in pinboa-notes.ini (a failure never shown)
    bool ok() const { return running.ok() && notes.ok(); }
    explicit operator bool() const { return ok(); }
    // Nothing was done at all: the folder's lock could not be had in time.
    bool busy() const { return running.busy() && notes.busy(); }
};

class NoteStore
{
public:
    // `appDir` is the data folder; a trailing "/" is optional. `wait` says how an operation meets
    // another holder of the folder's lock: by default it does not wait, and fails with a busy()
    // error that names the lock file, having touched nothing (the windows try again from a timer,
    // store::Retry). With LockWait::Held the caller holds the lock already.
    // A single folder (a QString) is notes and state folder at once.
    explicit NoteStore(const Folders &folders, LockWait wait = LockWait::None);

    QString appDir() const; // the notes folder; always ends in "/"
    const Folders &folders() const { return m_folders; }
    // The existing MDATA.INI (IDDATA.INI) in any letter case, else .../MDATA.INI (.../IDDATA.INI).
    QString noteFilePath() const;
    QString runningFilePath() const;

    // MDATA.INI
    Result<int> countNoteLines() const;
    Result<QList<NoteRecord>> readNoteRecords() const;
    // For showing the notes: every record that reads whole, and the lines of the damaged ones,
    // so that one damaged record does not hide every note. Fails only when the file cannot be
    // read at all. Nothing may be rewritten from it.
    Result<NoteReadout> readNoteRecordsSkippingDamaged() const;
    // Appends one record. Refuses a record it cannot store (a double quote or a character outside
    // code page 932 in a text) without writing anything. A file whose last line has no CR LF gets
    // one first, so the new record never runs into the last one.
    Status appendNoteRecord(const NoteRecord &record) const;
    // Under the lock: reads every record, lets `change` edit the list, and rewrites the file with
    // exactly that list when `change` returns true. An empty list leaves a zero-byte file. A file
    // that cannot be read whole is never rewritten. When another program replaced the file
    // meanwhile, `change` runs again on what it holds now (a few times at most; then nothing is
    // written and the answer says why).
    Status updateNoteRecords(const std::function<bool(QList<NoteRecord> &)> &change) const;
    // Under the lock: writes `replacement` over the record at `index` (from 0, in file order),
    // which keeps its line among the others; every other record keeps its bytes, and so does
    // each field of the record that `replacement` leaves as it was. Refuses, writing nothing,
    // when the record at `index` is no longer `expected` (changed or erased meanwhile), when the
    // file cannot be read whole, or when `replacement` cannot be stored.
    Status replaceNoteRecord(qsizetype index, const NoteRecord &expected,
                             const NoteRecord &replacement) const;

    // IDDATA.INI
    Result<QList<RunningEntry>> readRunningEntries() const;
    // Appends the entry "<idText>","0". Like every append, it lands whole or the file is cut back
    // to what it was.
    Status appendRunningEntry(const QString &idText) const;
    // Under the lock: reads every entry, lets `change` edit the list, rewrites if it returns true.
    Status updateRunningEntries(const std::function<bool(QList<RunningEntry> &)> &change) const;
    // Every entry whose RunningId is a key of `taskIds` gets that task identifier as a bare
    // number; the others are written back as read, and the file is rewritten only when an entry
    // changed. Gives the entries as they stand afterwards.
    Result<QList<RunningEntry>> recordTaskIds(const QHash<QString, qint64> &taskIds) const;

    // The note window's close, holding the lock once for both files: removes its entries from
    // IDDATA.INI, then stores `top` and `left` (twips, as single-precision numbers) in every
    // record that matches `idText` numerically and rewrites MDATA.INI with exactly the records
    // read. The position is stored even when IDDATA.INI cannot be read or rewritten (a missing
    // one reads as empty). Last, `options` (when given) changes the note's entry in
    // pinboa-notes.ini, unless MDATA.INI reads whole and holds no record of the note: whatever
    // happens to that file, the place is stored first.
    // `ownFields`, when given, are the fields of the window's argument string: when no record
    // under its number holds the window's text or the place it was shown at, the number names
    // another note now, which keeps its place.
    CloseResult closeNoteWindow(const QString &idText, double top, double left,
                                const std::function<void(NoteOptions &)> &options = {},
                                const std::optional<QStringList> &ownFields = std::nullopt) const;

    // For an IDDATA.INI that cannot be read whole: under the lock, sets it aside under a new name
    // (IDDATA.INI.<date-time>.bad, never deleted) and writes `entries` as the new file. Returns
    // the name it was set aside under; empty when the file reads whole again by now, and is
    // then left as it is.
    Result<QString> replaceRunningFile(const QList<RunningEntry> &entries) const;

    // pinboa-notes.ini (NoteOptions.cpp), UTF-8, written whole under the folder's lock.
    QString noteOptionsFilePath() const;
    // Every note's options, and whether the file is there, read whole, damaged or unreadable;
    // fails only when the lock is busy.
    Result<NoteOptionsReadout> readNoteOptions() const;
    // Under the lock: reads the table, lets `change` edit it, and saves it when `change` returns
    // true and the table differs. A damaged or unreadable file fails and is never rewritten; a
    // missing one is not made to hold the defaults only.
    Status updateNoteOptions(const std::function<bool(NoteOptionsTable &)> &change) const;
    // The entries of these note numbers go (erased notes).
    Status removeNoteOptions(const QList<qint64> &numbers) const;
    // Only the entries of these note numbers stay (the notes whose records are there).
    Status keepOnlyNoteOptions(const QList<qint64> &numbers) const;
    // For a file that is damaged or unreadable: under the lock, renames it to
    // pinboa-notes.ini.<date-time>.bad (never deleted), so that every note has its defaults
    // until a choice is stored again. Gives the new path; empty when the file is missing or
    // reads whole by now, and is then left as it is.
    Result<QString> setAsideNoteOptions() const;
    // Show-all's care of the file, under the lock: a damaged or unreadable one is set aside (its
    // new path is given), and the entries of notes that `records` no longer hold go, when
    // `records` are the whole of MDATA.INI.
    Result<QString> tidyNoteOptions(const QList<NoteRecord> &records, bool wholeFile) const;

    // Notes from other computers (see Merge.h for the rules). Each holds the lock, rewrites
    // MDATA.INI only when something is added, and refuses a file that cannot be read whole,
    // leaving every file as it was.

    // The conflict copies of the notes' files in the notes folder.
    QList<ConflictCopy> conflictCopies() const;
    // Merges the conflict copy of MDATA.INI at `copyPath` into MDATA.INI, then moves the copy into
    // the state folder's "conflicts/" (never deleted; a name taken there gets "~2", "~3"...).
    struct ConflictMerge
    {
        QList<NoteRecord> added; // as they are in MDATA.INI now
        QString movedTo;         // empty when the copy stays where it was
        QString notMoved;        // why it stays: it changed while it was merged, or cannot move
    };
    Result<ConflictMerge> mergeConflictCopy(const QString &copyPath) const;
    // The same for a conflict copy of ERASED.INI (the erased notes of both, each once) or of
    // pinboa-notes.ini (this computer's options, and those of notes only the copy has). Nothing
    // is `added` to the notes.
    Result<ConflictMerge> mergeSideFileCopy(const QString &copyPath) const;
    // Brings `records` (this computer's notes from another folder) into this folder's MDATA.INI.
    // Gives the records added, under their numbers here.
    Result<QList<NoteRecord>> bringInNotes(const QList<NoteRecord> &records) const;
    // Puts back the notes of `previous` (MDATA.INI as this computer read it before a change came
    // from elsewhere) that the change overwrote; ERASED.INI and its conflict copies say which
    // notes were erased. Gives the records put back.
    Result<QList<NoteRecord>> putBackOverwrittenNotes(const QList<NoteRecord> &previous) const;

private:
    Folders m_folders;
    LockWait m_wait;
};

} // namespace store

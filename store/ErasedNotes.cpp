// ERASED.INI: keeping erased notes, and putting them back into MDATA.INI.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "ErasedNotes.h"

#include "Files.h"
#include "NoteHistory.h"
#include "NoteId.h"
#include "NoteStore.h"

#include <QFile>
#include <algorithm>

namespace store {

namespace {

// A file made as it was before an operation that could not be finished: its old bytes saved again
// whole, or, where there was none, no file.
Status restore(const QString &path, const files::Bytes &before)
{
    if (before.exists)
        return files::save(path, before.bytes);
    if (QFile::exists(path) && !QFile::remove(path))
        return Error{QStringLiteral("%1 を削除できません。").arg(files::shownName(path))};
    return {};
}

// Rewrites the file only when it is still the one that was read: a sync engine may have put
// another computer's version in its place, which must not be written over unread.
Status saveAsRead(const QString &path, const QByteArray &bytes, const files::Identity &read)
{
    const auto saved = files::saveIfUnchanged(path, bytes, read);
    if (!saved)
        return Error{saved.error()};
    if (saved.value() == files::Commit::FileChanged)
        return Error{
            QStringLiteral("%1 がほかのプログラムに置き換えられたため、書き込んでいません。"
                           "もう一度お試しください。")
                .arg(files::shownName(path))};
    return {};
}

// Appends to a file that does not read whole: never rewritten from what could be read of it, it
// only gets records after its own bytes, and only when they read back from there as written (a
// text left open above would swallow them).
Status appendAfterDamage(const QString &path, const QByteArray &old, const QByteArray &added,
                         const QList<NoteRecord> &records, const QString &damage)
{
    QByteArray after = old.left(textLength(old));
    if (!after.isEmpty() && !after.endsWith('\n') && !after.endsWith('\r'))
        after += "\r\n";
    after += added;
    const QList<NoteRecord> read = parseNoteRecordsSkippingDamaged(after).records;
    if (read.size() < records.size() ||
        !std::equal(records.cbegin(), records.cend(), read.cend() - records.size()))
        return Error{damage + QStringLiteral("\nこのファイルには消した付箋を書き足せません。")};
    return files::appendChecked(path, added, files::Sync::ToDisk);
}

// The append, with the lock held. `before` gets the file as it was.
Status appendLocked(const QString &path, const QList<NoteRecord> &records, files::Bytes *before)
{
    auto added = serializeNoteRecords(records);
    if (!added)
        return Error{added.error()};
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    *before = file.value();
    auto kept = parseNoteRecords(file->bytes, files::shownName(path));
    if (!kept)
        return appendAfterDamage(path, file->bytes, added.value(), records, kept.error());
    if (kept->size() + records.size() <= ErasedNotes::Kept)
        return files::appendChecked(path, added.value(), files::Sync::ToDisk); // old bytes stay
    QList<NoteRecord> all = kept.value() + records;
    all = all.mid(all.size() - ErasedNotes::Kept);
    auto bytes = serializeNoteRecords(all);
    if (!bytes)
        return Error{bytes.error()};
    return saveAsRead(path, bytes.value(), file->identity);
}

// The newest record of `records` equal to `note` that is not taken yet; -1 when there is none.
qsizetype newestEqual(const QList<NoteRecord> &records, const QList<bool> &taken,
                      const NoteRecord &note)
{
    for (qsizetype i = records.size() - 1; i >= 0; --i) {
        if (!taken[i] && records[i] == note)
            return i;
    }
    return -1;
}

} // namespace

ErasedNotes::ErasedNotes(const Folders &folders, LockWait wait) : m_folders(folders), m_wait(wait)
{
}

QString ErasedNotes::filePath() const
{
    return files::resolve(m_folders.notes, fileName());
}

Result<NoteReadout> ErasedNotes::read() const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = filePath();
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    return parseNoteRecordsSkippingDamaged(file->bytes, files::shownName(path));
}

Status ErasedNotes::append(const QList<NoteRecord> &records) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    files::Bytes before;
    return appendLocked(filePath(), records, &before);
}

Status ErasedNotes::erase(const std::function<QList<NoteRecord>(QList<NoteRecord> &)> &pick) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = filePath();
    files::Bytes before;
    Status kept;
    bool appended = false;
    QList<qint64> gone; // note numbers no record holds any more
    const NoteStore notes(m_folders, LockWait::Held);
    const Status written = notes.updateNoteRecords([&](QList<NoteRecord> &records) {
        const QList<NoteRecord> erased = pick(records);
        if (erased.isEmpty())
            return false;
        kept = appendLocked(path, erased, &before);
        appended = kept.ok();
        gone.clear();
        for (const NoteRecord &note : erased) {
            const auto number = recordNoteNumber(note.NoteId);
            if (number && std::none_of(records.cbegin(), records.cend(), [&](const auto &r) {
                    return recordNoteNumber(r.NoteId) == number;
                }))
                gone.append(*number);
        }
        return appended;
    });
    if (!kept)
        return Error{kept.error() + QStringLiteral("\n消した付箋を残せないため、何も消去して"
                                                   "いません。")};
    if (!written && appended) {
        // A note is never in both files: what was not erased is not kept as erased either.
        if (Status undone = restore(path, before); !undone)
            return Error{written.error() + u'\n' + undone.error()};
    }
    // Their options go with them. An options file that cannot be rewritten now never keeps the
    // notes from being erased: the next show-all sets it aside or drops the entries left.
    if (written && !gone.isEmpty())
        static_cast<void>(notes.removeNoteOptions(gone));
    return written;
}

Result<QList<NoteRecord>> ErasedNotes::putBack(const QList<NoteRecord> &chosen) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = filePath();
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    auto erased = parseNoteRecords(file->bytes, files::shownName(path));
    if (!erased)
        return Error{erased.error() + QStringLiteral("\nファイルを直すまで、付箋は戻せません。")};
    const QString notePath = NoteStore(m_folders, LockWait::Held).noteFilePath();
    auto notesFile = files::read(notePath);
    if (!notesFile)
        return Error{notesFile.error()};
    auto notes = parseNoteRecords(notesFile->bytes, files::shownName(notePath));
    if (!notes)
        return Error{notes.error()};

    QList<bool> taken(erased->size(), false);
    QList<NoteRecord> back;
    QByteArray added;
    int lineCount = countLines(notesFile->bytes);
    QList<NoteRecord> present = notes.value();
    for (const NoteRecord &note : chosen) {
        const qsizetype at = newestEqual(erased.value(), taken, note);
        if (at < 0)
            continue; // put back already
        taken[at] = true;
        NoteRecord record = erased->at(at);
        const auto id = record.NoteId.toNumber();
        const bool used = std::any_of(present.cbegin(), present.cend(), [&](const NoteRecord &r) {
            return id && r.NoteId.toNumber() == id;
        });
        if (used)
            record.NoteId = Value::number(double(chooseNewNoteId(lineCount, present)));
        auto line = serializeNoteRecord(record);
        if (!line)
            return Error{line.error()};
        added += line.value();
        lineCount += countLines(line.value());
        present.append(record);
        back.append(record);
    }
    if (back.isEmpty())
        return back;

    if (Status appended = files::appendChecked(notePath, added, files::Sync::ToDisk); !appended)
        return Error{appended.error()};
    for (const NoteRecord &record : back)
        NoteHistory::rememberAppend(m_folders.state, record);
    QList<NoteRecord> left;
    for (qsizetype i = 0; i < erased->size(); ++i) {
        if (!taken[i])
            left.append(erased->at(i));
    }
    auto bytes = serializeNoteRecords(left);
    Status rewritten =
        bytes ? saveAsRead(path, bytes.value(), file->identity) : Status(Error{bytes.error()});
    if (!rewritten) {
        // Never in both files: the notes stay erased until this file can be rewritten.
        if (Status undone = restore(notePath, notesFile.value()); !undone)
            return Error{rewritten.error() + u'\n' + undone.error()};
        return Error{rewritten.error() + QStringLiteral("\n付箋は戻していません。")};
    }
    return back;
}

} // namespace store

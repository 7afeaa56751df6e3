// The two data files of one program folder: every read, append and rewrite, under the folder lock.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteStore.h"

#include "Files.h"
#include "FolderLock.h"
#include "NoteArgs.h"
#include "NoteHistory.h"
#include "NoteId.h"
#include "SystemError.h"

#include <QDateTime>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace store {

namespace {

const QString NoteFileName = QStringLiteral("MDATA.INI");
const QString RunningFileName = QStringLiteral("IDDATA.INI");

Result<QList<NoteRecord>> readNotesAt(const QString &path)
{
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    return parseNoteRecords(file->bytes, files::shownName(path));
}

Result<QList<RunningEntry>> readEntriesAt(const QString &path)
{
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    return parseRunningEntries(file->bytes, files::shownName(path));
}

Status writeEntriesAt(const QString &path, const QList<RunningEntry> &entries)
{
    auto bytes = serializeRunningEntries(entries);
    if (!bytes)
        return Error{bytes.error()};
    return files::save(path, bytes.value());
}

// Removes the entries of `idText` from the running-note file; the caller holds the lock.
Status removeEntriesLocked(const QString &dir, const QString &idText)
{
    const QString path = files::resolve(dir, RunningFileName);
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    if (!file->exists)
        return {}; // nothing to remove, and no reason to create the file
    auto entries = parseRunningEntries(file->bytes, files::shownName(path));
    if (!entries)
        return Error{entries.error()};
    QList<RunningEntry> kept;
    for (const RunningEntry &entry : entries.value()) {
        if (!ownIdMatchesEntry(idText, entry.RunningId.toText()))
            kept.append(entry);
    }
    return writeEntriesAt(path, kept);
}

} // namespace

NoteStore::NoteStore(const Folders &folders, LockWait wait) : m_folders(folders), m_wait(wait) {}

QString NoteStore::appDir() const
{
    return m_folders.notes;
}

QString NoteStore::noteFilePath() const
{
    return files::resolve(m_folders.notes, NoteFileName);
}

QString NoteStore::runningFilePath() const
{
    return files::resolve(m_folders.state, RunningFileName);
}

Result<int> NoteStore::countNoteLines() const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    auto file = files::read(noteFilePath());
    if (!file)
        return Error{file.error()};
    return countLines(file->bytes);
}

Result<QList<NoteRecord>> NoteStore::readNoteRecords() const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    auto records = readNotesAt(noteFilePath());
    if (records)
        NoteHistory::rememberRead(m_folders.state, records.value());
    return records;
}

Result<NoteReadout> NoteStore::readNoteRecordsSkippingDamaged() const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = noteFilePath();
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    NoteReadout readout = parseNoteRecordsSkippingDamaged(file->bytes, files::shownName(path));
    NoteHistory::rememberRead(m_folders.state, readout.records);
    return readout;
}

Status NoteStore::appendNoteRecord(const NoteRecord &record) const
{
    auto line = serializeNoteRecord(record); // refuses before anything is touched
    if (!line)
        return Error{line.error()};
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    if (Status s = files::appendChecked(noteFilePath(), line.value(), files::Sync::ToDisk); !s)
        return s;
    NoteHistory::rememberAppend(m_folders.state, record);
    return {};
}

Status NoteStore::updateNoteRecords(const std::function<bool(QList<NoteRecord> &)> &change) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = noteFilePath();
    QList<NoteRecord> before;
    QList<NoteRecord> after;
    bool changed = false;
    const Status status =
        files::rewrite(path, [&](const files::Bytes &file) -> Result<std::optional<QByteArray>> {
            auto records = parseNoteRecords(file.bytes, files::shownName(path));
            if (!records)
                return Error{records.error()};
            before = records.value();
            changed = change(records.value());
            if (!changed)
                return std::optional<QByteArray>();
            auto bytes = serializeNoteRecords(records.value());
            if (!bytes)
                return Error{bytes.error()};
            after = std::move(records.value());
            return std::optional<QByteArray>(bytes.value());
        });
    if (status)
        NoteHistory::rememberRewrite(m_folders.state, before, changed ? after : before);
    return status;
}

Status NoteStore::replaceNoteRecord(qsizetype index, const NoteRecord &expected,
                                    const NoteRecord &replacement) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = noteFilePath();
    QList<NoteRecord> before;
    QList<NoteRecord> after;
    const Status status =
        files::rewrite(path, [&](const files::Bytes &file) -> Result<std::optional<QByteArray>> {
            auto records = parseNoteRecords(file.bytes, files::shownName(path));
            if (!records)
                return Error{records.error()};
            QList<NoteRecord> &list = records.value();
            before = list;
            if (index < 0 || index >= list.size() || !(list.at(index) == expected))
                return Error{
                    QStringLiteral("%1 のこの付箋は、編集を始めたあとで変更されたか消去されたため、"
                                   "書き込んでいません。")
                        .arg(files::shownName(path))};
            NoteRecord &record = list[index];
            for (int f = 0; f < NoteRecord::FieldCount; ++f) {
                // A value given again keeps the bytes it was read with (a character with two
                // codes).
                if (!(replacement.field(f) == record.field(f)))
                    record.field(f) = replacement.field(f);
            }
            auto bytes = serializeNoteRecords(list);
            if (!bytes)
                return Error{bytes.error()};
            after = list;
            return std::optional<QByteArray>(bytes.value());
        });
    if (status)
        NoteHistory::rememberRewrite(m_folders.state, before, after);
    return status;
}

Result<QList<RunningEntry>> NoteStore::readRunningEntries() const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    return readEntriesAt(runningFilePath());
}

Status NoteStore::appendRunningEntry(const QString &idText) const
{
    auto line = serializeRunningEntries(
        {RunningEntry{Value::text(idText), Value::text(QStringLiteral("0"))}});
    if (!line)
        return Error{line.error()};
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    // A running entry names a live window: after a power failure it is stale whatever the disk
    // kept, so it is not worth a wait for the disk on every note window's start, which the
    // folder lock would make one after another when many notes are shown at once.
    return files::append(runningFilePath(), line.value(), files::Sync::No);
}

Status
NoteStore::updateRunningEntries(const std::function<bool(QList<RunningEntry> &)> &change) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = runningFilePath();
    auto entries = readEntriesAt(path);
    if (!entries)
        return Error{entries.error()};
    if (!change(entries.value()))
        return {};
    return writeEntriesAt(path, entries.value());
}

Result<QList<RunningEntry>> NoteStore::recordTaskIds(const QHash<QString, qint64> &taskIds) const
{
    QList<RunningEntry> after;
    const Status status = updateRunningEntries([&](QList<RunningEntry> &entries) {
        bool changed = false;
        for (RunningEntry &entry : entries) {
            const auto it = taskIds.constFind(entry.RunningId.toText());
            if (it == taskIds.constEnd())
                continue;
            const auto number = entry.RunningTaskId.toNumber();
            if (!entry.RunningTaskId.isNumber() || !number || *number != double(*it)) {
                entry.RunningTaskId = Value::number(double(*it));
                changed = true;
            }
        }
        after = entries;
        return changed;
    });
    if (!status)
        return Error{status.error(), status.busy()};
    return after;
}

CloseResult NoteStore::closeNoteWindow(const QString &idText, double top, double left,
                                       const std::function<void(NoteOptions &)> &options,
                                       const std::optional<QStringList> &ownFields) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return {lock.error(), lock.error(), lock.error()};
    CloseResult result;
    // The entries go first: once the window is gone from IDDATA.INI the master may show the
    // note again, and it will then read the position stored just below. They are runtime state,
    // though, and the position is the user's: a running-note file that cannot be read or
    // written does not keep the position from being stored.
    result.running = removeEntriesLocked(m_folders.state, idText);

    const QString path = noteFilePath();
    bool matched = false;
    bool readable = true;
    result.notes =
        files::rewrite(path, [&](const files::Bytes &file) -> Result<std::optional<QByteArray>> {
            matched = false;
            readable = true;
            if (!file.exists)
                return std::optional<QByteArray>(); // no note data file: no record to store it in
            auto records = parseNoteRecords(file.bytes, files::shownName(path));
            if (!records) {
                readable = false;
                return Error{records.error()};
            }
            // Its number may name another note now: one written on another computer with the
            // same number, this one renumbered by a merge. When no record of the number holds
            // the window's text or the place it was shown at (a note edited here keeps that
            // place until this close), that note keeps its place.
            const auto holds = [&](const Value &value, int field) {
                return argumentForm(value) == ownFields->value(field);
            };
            const bool ours =
                !ownFields || std::any_of(records->cbegin(), records->cend(), [&](const auto &r) {
                    return ownIdMatchesRecord(idText, r.NoteId) &&
                           (holds(r.NoteText, NoteRecord::Text) ||
                            (holds(r.NoteTop, NoteRecord::Top) &&
                             holds(r.NoteLeft, NoteRecord::Left)));
                });
            for (NoteRecord &record : records.value()) {
                if (ours && ownIdMatchesRecord(idText, record.NoteId)) {
                    record.NoteTop = Value::single(top);
                    record.NoteLeft = Value::single(left);
                    matched = true;
                }
            }
            // A note erased meanwhile (on another computer, say): its window leaves the file
            // alone, so that nothing else in it changes and no new version goes anywhere.
            if (!matched)
                return std::optional<QByteArray>();
            auto bytes = serializeNoteRecords(records.value());
            if (!bytes)
                return Error{bytes.error()};
            if (bytes.value() == file.bytes)
                return std::optional<QByteArray>(); // the place is stored already
            return std::optional<QByteArray>(bytes.value());
        });
    // An erased note's options are not brought back by its last window.
    if (options && (matched || !readable)) {
        const qint64 number = windowNoteNumber(idText);
        result.options = updateNoteOptionsLocked(m_folders.notes, [&](NoteOptionsTable &table) {
            NoteOptions note = table.value(number);
            options(note);
            table.insert(number, note);
            return true;
        });
    }
    return result;
}

Result<QString> NoteStore::replaceRunningFile(const QList<RunningEntry> &entries) const
{
    auto bytes = serializeRunningEntries(entries);
    if (!bytes)
        return Error{bytes.error()};
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = runningFilePath();
    auto file = files::read(path);
    if (file && parseRunningEntries(file->bytes, files::shownName(path)).ok())
        return QString(); // readable again: another program mended it meanwhile

    // Set aside under a name of its own, never deleted: it may be wanted to see what happened.
    const auto aside = files::setAside(path);
    if (!aside)
        return Error{aside.error()};
    if (Status s = files::save(m_folders.state + RunningFileName, bytes.value()); !s)
        return Error{s.error()};
    return aside.value();
}

} // namespace store

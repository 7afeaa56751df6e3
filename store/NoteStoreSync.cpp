// The operations for notes from other computers: conflict copies, notes brought into a chosen
// folder, notes another computer's file overwrote.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteStore.h"

#include "Files.h"
#include "Merge.h"
#include "NoteHistory.h"
#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace store {

namespace {

// A file of records read whole, or the reason it cannot be.
Result<QList<NoteRecord>> readWhole(const QString &path, files::Identity *identity = nullptr)
{
    auto file = files::read(path);
    if (!file)
        return Error{file.error()};
    if (identity)
        *identity = file->identity;
    return parseNoteRecords(file->bytes, files::shownName(path));
}

// Rewrites MDATA.INI with what `merge` makes of its records when it adds any, identity-checked.
Result<QList<NoteRecord>>
mergeInto(const QString &path, const QString &stateFolder,
          const std::function<Merged(const QList<NoteRecord> &, const NoteHistory &)> &merge)
{
    const NoteHistory history = NoteHistory::load(stateFolder);
    QList<NoteRecord> before;
    Merged merged;
    const Status status =
        files::rewrite(path, [&](const files::Bytes &file) -> Result<std::optional<QByteArray>> {
            auto records = parseNoteRecords(file.bytes, files::shownName(path));
            if (!records)
                return Error{records.error()};
            before = records.value();
            merged = merge(before, history);
            if (merged.added.isEmpty())
                return std::optional<QByteArray>();
            auto bytes = serializeNoteRecords(merged.records);
            if (!bytes)
                return Error{bytes.error()};
            return std::optional<QByteArray>(bytes.value());
        });
    if (!status)
        return Error{status.error()};
    NoteHistory::rememberRewrite(stateFolder, before,
                                 merged.added.isEmpty() ? before : merged.records);
    return merged.added;
}

// A free name in `folder` for `name`: the name itself, else "name~2", "name~3"...
QString freeName(const QString &folder, const QString &name)
{
    QString path = folder + name;
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = folder + name + u'~' + QString::number(n);
    return path;
}

// Moves `from` into `to` whole: a rename, or across file systems a synced copy first and then
// the removal of the original.
Status moveWhole(const QString &from, const QString &to, const QByteArray &bytes)
{
    const QByteArray source = QFile::encodeName(from);
    if (::rename(source.constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    if (errno != EXDEV)
        return Error{systemErrorText(errno)};
    if (Status saved = files::save(to, bytes); !saved)
        return saved;
    if (::unlink(source.constData()) != 0)
        return Error{systemErrorText(errno)};
    return {};
}

// Moves a conflict copy that was taken in to the state folder's "conflicts/".
void moveToConflicts(const QString &stateFolder, const QString &copyPath, const QByteArray &bytes,
                     NoteStore::ConflictMerge &result)
{
    const QString name = QFileInfo(copyPath).fileName();
    const QString folder = stateFolder + QStringLiteral("conflicts/");
    if (!QFileInfo(folder).isDir())
        QDir().mkdir(folder,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString target = freeName(folder, name);
    if (Status moved = moveWhole(copyPath, target, bytes); !moved)
        result.notMoved = QStringLiteral("%1 を %2 へ移せません（%3）。")
                              .arg(name, QDir::toNativeSeparators(folder), moved.error());
    else
        result.movedTo = target;
}

} // namespace

QList<ConflictCopy> NoteStore::conflictCopies() const
{
    return store::conflictCopies(m_folders.notes);
}

Result<NoteStore::ConflictMerge> NoteStore::mergeConflictCopy(const QString &copyPath) const
{
    const QString name = QFileInfo(copyPath).fileName();
    const auto conflict = conflictCopyOf(name, {QStringLiteral("MDATA.INI")});
    if (!conflict)
        return Error{QStringLiteral("%1 は付箋の競合コピーではありません。").arg(name)};
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    auto copyFile = files::read(copyPath);
    if (!copyFile)
        return Error{copyFile.error()};
    auto copy = parseNoteRecords(copyFile->bytes, name);
    if (!copy)
        return Error{copy.error()};

    auto added = mergeInto(noteFilePath(), m_folders.state,
                           [&](const QList<NoteRecord> &main, const NoteHistory &history) {
                               return store::mergeConflictCopy(main, copy.value(), history);
                           });
    if (!added)
        return Error{added.error()};
    ConflictMerge result{added.value(), {}, {}};

    // Merging it again merges nothing, so a copy that changed meanwhile stays for the next time.
    if (files::identityOf(copyPath) != copyFile->identity) {
        result.notMoved = QStringLiteral("%1 が取り込みの間に変わったため、次の機会にもう一度"
                                         "取り込みます。")
                              .arg(name);
        return result;
    }
    moveToConflicts(m_folders.state, copyPath, copyFile->bytes, result);
    return result;
}

Result<NoteStore::ConflictMerge> NoteStore::mergeSideFileCopy(const QString &copyPath) const
{
    const QString name = QFileInfo(copyPath).fileName();
    const QString erasedName = QStringLiteral("ERASED.INI");
    const auto conflict = conflictCopyOf(name, {erasedName, QStringLiteral("pinboa-notes.ini")});
    if (!conflict)
        return Error{
            QStringLiteral("%1 は消した付箋か付箋の設定の競合コピーではありません。").arg(name)};
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    auto copyFile = files::read(copyPath);
    if (!copyFile)
        return Error{copyFile.error()};
    Status merged;
    if (conflict->original == erasedName) {
        // Every erase of either computer stays an erase: the records the copy adds.
        auto copy = parseNoteRecords(copyFile->bytes, name);
        if (!copy)
            return Error{copy.error()};
        const QString path = files::resolve(m_folders.notes, erasedName);
        merged = files::rewrite(
            path, [&](const files::Bytes &file) -> Result<std::optional<QByteArray>> {
                const auto read = parseNoteRecords(file.bytes, files::shownName(path));
                if (!read)
                    return Error{read.error()};
                QList<NoteRecord> records = read.value();
                for (const NoteRecord &record : copy.value()) {
                    if (!records.contains(record))
                        records.append(record);
                }
                if (records.size() == read->size())
                    return std::optional<QByteArray>();
                auto bytes = serializeNoteRecords(records);
                if (!bytes)
                    return Error{bytes.error()};
                return std::optional<QByteArray>(bytes.value());
            });
    } else {
        // This computer's options win; a note only the copy knows keeps its own.
        auto copy = parseNoteOptions(copyFile->bytes, name);
        if (!copy)
            return Error{copy.error()};
        merged = updateNoteOptionsLocked(m_folders.notes, [&](NoteOptionsTable &options) {
            bool added = false;
            for (auto it = copy->cbegin(); it != copy->cend(); ++it) {
                if (!options.contains(it.key())) {
                    options.insert(it.key(), it.value());
                    added = true;
                }
            }
            return added;
        });
    }
    if (!merged)
        return Error{merged.error()};
    ConflictMerge result;
    if (files::identityOf(copyPath) != copyFile->identity)
        result.notMoved = QStringLiteral("%1 が取り込みの間に変わったため、次の機会にもう一度"
                                         "取り込みます。")
                              .arg(name);
    else
        moveToConflicts(m_folders.state, copyPath, copyFile->bytes, result);
    return result;
}

Result<QList<NoteRecord>> NoteStore::bringInNotes(const QList<NoteRecord> &records) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    return mergeInto(noteFilePath(), m_folders.state,
                     [&](const QList<NoteRecord> &target, const NoteHistory &) {
                         return mergeBringingIn(target, records);
                     });
}

Result<QList<NoteRecord>>
NoteStore::putBackOverwrittenNotes(const QList<NoteRecord> &previous) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    // Without every record of erased notes, an erase cannot be told from an overwrite.
    const QString erasedName = QStringLiteral("ERASED.INI");
    auto erased = readWhole(files::resolve(m_folders.notes, erasedName));
    if (!erased)
        return Error{erased.error()};
    for (const ConflictCopy &copy : store::conflictCopies(m_folders.notes, {erasedName})) {
        auto more = readWhole(copy.path);
        if (!more)
            return Error{more.error()};
        erased.value() += more.value();
    }
    return mergeInto(noteFilePath(), m_folders.state,
                     [&](const QList<NoteRecord> &incoming, const NoteHistory &history) {
                         return putBackOverwritten(previous, incoming, erased.value(), history);
                     });
}

} // namespace store

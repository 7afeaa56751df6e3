// The master's notes on the desktop: what other programs changed in the notes folder (another
// computer's notes, brought by a sync engine), taken in and shown.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteDesktop.h"

#include "FolderWatch.h"
#include "LiveNotes.h"
#include "store/NoteArgs.h"
#include "store/NoteHistory.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"

#include <QHash>
#include <QTimer>

namespace master {

namespace {

// MDATA.INI as it stands: which file it is, and its records when it reads whole.
struct NoteFile
{
    store::files::Identity identity;
    std::optional<QList<store::NoteRecord>> records;
    QString error;
};

NoteFile readNoteFile(const QString &path)
{
    NoteFile file;
    const auto read = store::files::read(path);
    if (!read) {
        file.error = read.error();
        return file;
    }
    file.identity = read->identity;
    auto records = store::parseNoteRecords(read->bytes, store::files::shownName(path));
    if (records)
        file.records = std::move(records.value());
    else
        file.error = records.error();
    return file;
}

// The notes by the identifier text their windows get (the first record of a number counts).
QHash<QString, store::NoteRecord> byWindowId(const QList<store::NoteRecord> &records)
{
    QHash<QString, store::NoteRecord> notes;
    for (const store::NoteRecord &record : records) {
        if (const auto id = windowIdOf(record); id && !notes.contains(*id))
            notes.insert(*id, record);
    }
    return notes;
}

// A file in one state: the same name, size and time.
QString stateKey(const QString &path)
{
    const store::files::Identity id = store::files::identityOf(path);
    return QStringLiteral("%1 %2 %3.%4")
        .arg(path)
        .arg(id.size)
        .arg(id.modifiedSeconds)
        .arg(id.modifiedNanoseconds);
}

} // namespace

void NoteDesktop::learnNotes()
{
    setFolders();
    const NoteFile file = readNoteFile(store::NoteStore(m_folders).noteFilePath());
    m_knownIdentity = file.identity;
    if (file.records)
        m_known = *file.records;
}

void NoteDesktop::wrote(const store::files::Identity &before,
                        const std::function<void(QList<store::NoteRecord> &)> &change)
{
    change(m_known);
    // A change of another program's that came first is still to be taken in: the file stays
    // one the master does not know.
    if (before == m_knownIdentity)
        m_knownIdentity = store::files::identityOf(store::NoteStore(m_folders).noteFilePath());
}

bool NoteDesktop::follow()
{
    if (!begin(Step::Showing))
        return false;
    QTimer::singleShot(0, this, [this] { runLocked([this] { return followLocked(false); }); });
    return true;
}

bool NoteDesktop::putBackOverwritten()
{
    if (!begin(Step::Showing))
        return false;
    QTimer::singleShot(0, this, [this] { runLocked([this] { return followLocked(true); }); });
    return true;
}

bool NoteDesktop::followLocked(bool putBack)
{
    setFolders();
    const store::FolderLock lock(m_folders.state);
    if (lock.error().busy)
        return false;
    if (!lock.locked()) {
        m_messages.append(lock.error().message);
        finish();
        return true;
    }
    const store::NoteStore files(m_folders, store::LockWait::Held);
    const QString path = files.noteFilePath();
    const bool copies = !store::conflictCopies(m_folders.notes).isEmpty();
    const bool dueBack = putBack && m_putBackBase;
    // The master's own write, or a change of other files: nothing to read.
    if (store::files::identityOf(path) == m_knownIdentity && !copies && !dueBack) {
        finish();
        return true;
    }
    NoteFile file = readNoteFile(path);
    if (file.records) {
        store::NoteHistory::rememberRead(m_folders.state, *file.records);
        bool added = copies && takeInConflictCopies(files);
        if (dueBack) {
            const auto back = files.putBackOverwrittenNotes(*std::exchange(m_putBackBase, {}));
            if (!back)
                m_messages.append(back.error());
            else if (!back->isEmpty())
                m_messages.append(QStringLiteral("ほかのコンピューターからの変更で上書きされた付箋 "
                                                 "%1 件を元に戻しました。")
                                      .arg(back->size()));
            added = added || (back && !back->isEmpty());
        }
        if (added)
            file = readNoteFile(path);
    }
    if (!file.records) {
        // Half synced, or saved in another encoding: nothing is merged into it or taken from it,
        // and it is said once, until the file changes again.
        if (m_saidUnreadable != file.identity)
            m_messages.append(
                QStringLiteral(
                    "%1\nこのファイルを最後まで読み取れないため、ほかのコンピューターからの"
                    "変更はまだ取り込んでいません（同期の途中か、別の文字コードで保存"
                    "されたのかもしれません）。ファイルが次に変わったときに、もう一度"
                    "読み取ります。")
                    .arg(file.error));
        m_saidUnreadable = file.identity;
        m_knownIdentity = file.identity;
        finish();
        return true;
    }
    m_saidUnreadable.reset();
    const QList<store::NoteRecord> before = std::exchange(m_known, *file.records);
    m_knownIdentity = file.identity;
    reactTo(before, m_known);
    return true;
}

// Merges every conflict copy of the notes' files (the erased notes and the options too); true
// when notes came in. What went wrong with a copy is said once for each state of it.
bool NoteDesktop::takeInConflictCopies(const store::NoteStore &files)
{
    qsizetype added = 0;
    for (const store::ConflictCopy &copy : store::conflictCopies(m_folders.notes)) {
        const QString key = stateKey(copy.path);
        const auto merged = copy.original == QStringLiteral("MDATA.INI")
                                ? files.mergeConflictCopy(copy.path)
                                : files.mergeSideFileCopy(copy.path);
        if (merged)
            added += merged->added.size();
        const QString trouble = merged ? merged->notMoved : merged.error();
        if (!trouble.isEmpty() && !m_saidCopies.contains(key)) {
            m_saidCopies.insert(key);
            m_messages.append(trouble);
        }
    }
    if (added > 0)
        m_messages.append(QStringLiteral("ほかのコンピューターと同時に変更された付箋を合わせ、"
                                         "付箋 %1 件を取り込みました。")
                              .arg(added));
    return added > 0;
}

// What changed between two readings of MDATA.INI, on the desktop: added notes start, erased ones
// close, changed ones close and start again. A note only moved keeps the place it has here.
void NoteDesktop::reactTo(const QList<store::NoteRecord> &before,
                          const QList<store::NoteRecord> &now)
{
    const QHash<QString, store::NoteRecord> was = byWindowId(before);
    const QHash<QString, store::NoteRecord> is = byWindowId(now);
    QHash<QString, store::Value> toClose;
    m_toShow.clear();
    for (auto it = was.cbegin(); it != was.cend(); ++it) {
        const auto found = is.constFind(it.key());
        if (found != is.cend() && store::sameNote(*found, *it))
            continue;
        toClose.insert(it.key(), it->NoteId);
        if (found != is.cend())
            m_toShow.append(it.key());
    }
    for (auto it = is.cbegin(); it != is.cend(); ++it) {
        if (!was.contains(it.key()))
            m_toShow.append(it.key());
    }
    // Notes gone or changed may have been overwritten rather than erased: once an erase has had
    // the rescan interval to arrive too, they are looked at again.
    if (!toClose.isEmpty() && !m_putBackBase) {
        m_putBackBase = before;
        QTimer::singleShot(FolderWatch::rescanIntervalMs(), this, &NoteDesktop::putBackDue);
    }
    if ((toClose.isEmpty() && m_toShow.isEmpty()) || !anyNoteShown()) {
        m_toShow.clear();
        return finish();
    }
    m_toClose.clear();
    const LiveWindows live = LiveWindows::scan(m_programDir, m_closed);
    for (auto it = live.idByPid.cbegin(); it != live.idByPid.cend(); ++it) {
        for (auto gone = toClose.cbegin(); gone != toClose.cend(); ++gone) {
            if (it.value() == gone.key() || store::recordMatchesEntry(*gone, it.value())) {
                m_toClose.append(it.key());
                break;
            }
        }
    }
    m_step = Step::Closing;
    m_afterClosing = [this] {
        m_step = Step::Showing;
        runLocked([this] { return startFollowed(); });
    };
    QTimer::singleShot(0, this, &NoteDesktop::closeNext);
}

// Starts the windows of m_toShow from the records as the closes left them: false while the
// folder's lock is busy.
bool NoteDesktop::startFollowed()
{
    const store::FolderLock lock(m_folders.state);
    if (lock.error().busy)
        return false;
    const auto records = lock.locked()
                             ? store::NoteStore(m_folders, store::LockWait::Held).readNoteRecords()
                             : store::Result<QList<store::NoteRecord>>(lock.error());
    if (!records) {
        m_messages.append(records.error());
        finish();
        return true;
    }
    QSet<QString> wanted(m_toShow.cbegin(), m_toShow.cend());
    m_toShow.clear();
    // A window that did not close in time still shows its note: it gets no twin.
    const LiveWindows live = LiveWindows::scan(m_programDir, m_closed);
    m_toStart.clear();
    for (qsizetype i = 0; i < records->size(); ++i) {
        const store::NoteRecord &note = records->at(i);
        const auto id = windowIdOf(note);
        if (!id || !wanted.remove(*id) || live.ids.contains(*id))
            continue;
        if (m_noteTable.size() < i + 2)
            m_noteTable.resize(i + 2);
        m_noteTable[i + 1] = NoteRow{note, 0};
        m_toStart.append({int(i + 1), *id, store::EncodeNoteArgs(note).value()});
    }
    if (m_toStart.isEmpty()) {
        finish();
        return true;
    }
    m_step = Step::Registering;
    QTimer::singleShot(0, this, &NoteDesktop::startNext);
    return true;
}

} // namespace master

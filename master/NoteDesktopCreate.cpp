// The master's notes on the desktop: choosing the new note's identifier, and registering a new note
// or an edited one once the files are free.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteDesktop.h"

#include "LiveNotes.h"
#include "Registrations.h"
#include "platform/Processes.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"
#include "store/Retry.h"

#include <QDeadlineTimer>

namespace master {

namespace {

qint64 now()
{
    return QDeadlineTimer::current().deadline();
}

// A registration waits this long for a show or a close that runs to end.
constexpr int CreateWaitMs = 30000;

} // namespace

store::Result<qint64> NoteDesktop::chooseNewNoteId()
{
    if (busy())
        return store::Error{QString(), true}; // the table is the running operation's now
    setFolders();
    const store::FolderLock lock(m_folders.state);
    if (!lock.locked())
        return lock.error();
    const store::NoteStore files(m_folders, store::LockWait::Held);
    const auto count = files.countNoteLines();
    m_noteLineCount = count ? count.value() : 0;
    m_noteTable = QList<NoteRow>(qMax(0, m_noteLineCount) + 1);
    if (!count)
        return store::Error{count.error()};
    const auto records = files.readNoteRecords();
    if (!records)
        return store::Error{records.error()};
    return store::chooseNewNoteId(m_noteLineCount, records.value());
}

bool NoteDesktop::createNote(const store::NoteRecord &note, QObject *asker,
                             std::function<void(const store::Result<qint64> &)> done)
{
    return queueWrite(Creation{asker, note, std::move(done), 0, std::nullopt});
}

bool NoteDesktop::editNote(const NoteAt &opened, const store::NoteRecord &edited, QObject *asker,
                           std::function<void(const store::Result<qint64> &)> done)
{
    return queueWrite(Creation{asker, edited, std::move(done), 0, opened});
}

bool NoteDesktop::queueWrite(Creation write)
{
    if (m_creation)
        return false;
    m_creation = std::move(write);
    m_creationRetry = store::Retry::start(
        this, [this] { return tryCreate() ? store::Retry::Over : store::Retry::Busy; },
        [this] {
            Creation creation = std::move(*m_creation);
            m_creation.reset();
            const QString why =
                busy() ? (creation.replacing
                              ? QStringLiteral("付箋の表示・再表示が終わらないため、書き込めません"
                                               "でした。")
                              : QStringLiteral("付箋の表示・再表示が終わらないため、登録できません"
                                               "でした。")) +
                             QStringLiteral("何も書き込んでいません。しばらくしてからもう一度お試し"
                                            "ください。")
                       : store::FolderLock::busyError(m_folders.state).message;
            if (creation.asker)
                creation.done(store::Error{why, true});
        },
        CreateWaitMs);
    return true;
}

void NoteDesktop::cancelCreate(const QObject *asker)
{
    if (!m_creation || m_creation->asker != asker)
        return;
    m_creation.reset();
    if (m_creationRetry)
        m_creationRetry->cancel();
}

// One try of a registration: false while it has to wait (another operation runs, or the folder's
// lock is held), true when it is over.
bool NoteDesktop::tryCreate()
{
    if (!m_creation || !m_creation->asker) {
        m_creation.reset(); // the window that asked is gone: nothing is written
        return true;
    }
    if (busy())
        return false;
    const auto over = [this](const store::Result<qint64> &result) {
        Creation creation = std::move(*m_creation);
        m_creation.reset();
        creation.done(result);
        return true;
    };
    setFolders();
    const store::FolderLock lock(m_folders.state);
    if (lock.error().busy) {
        // A holder that keeps the lock is waited for as long as any other step waits for it.
        const qint64 since = m_creation->lockBusySince ? m_creation->lockBusySince : now();
        m_creation->lockBusySince = since;
        if (now() - since < store::FolderLock::TimeoutMs)
            return false;
        return over(store::FolderLock::busyError(m_folders.state));
    }
    m_creation->lockBusySince = 0;
    if (!lock.locked())
        return over(lock.error());
    const store::NoteStore files(m_folders, store::LockWait::Held);
    if (m_creation->replacing)
        return over(replaceLocked(files));
    const auto counted = files.countNoteLines();
    if (!counted)
        return over(store::Error{counted.error()});
    const int n = counted.value();
    m_noteLineCount = n;
    store::NoteRecord note = m_creation->note;
    if (note.NoteId.toNumber().value_or(0) <= 0) {
        // The editor could not choose when it loaded: chosen now, by the same rule.
        const auto records = files.readNoteRecords();
        if (!records)
            return over(store::Error{records.error()});
        note.NoteId = store::Value::number(double(store::chooseNewNoteId(n, records.value())));
    }
    // Everything that could refuse the note first, so that a refusal leaves no trace and the
    // user can correct the text: the record as stored, then the string handed to the window.
    if (const auto line = store::serializeNoteRecord(note); !line)
        return over(store::Error{line.error()});
    const auto encoded = store::EncodeNoteArgs(note);
    if (!encoded)
        return over(store::Error{encoded.error()});
    const QString &args = encoded.value();

    const auto started = platform::startNoteWindow(m_programDir, args);
    if (!started)
        return over(store::Error{startFailureMessage(started.error())});
    const qint64 pid = started.value();
    m_closed.remove(pid);
    const store::files::Identity before = store::files::identityOf(files.noteFilePath());
    if (const store::Status appended = files.appendNoteRecord(note); !appended) {
        // An unregistered window would vanish at the next refresh: it is taken down again.
        // Asked to end, it closes as on any request to end: its entry goes, and it has no
        // record to write to.
        platform::endNoteWindow(m_programDir, pid);
        return over(store::Error{appended.error()});
    }
    wrote(before, [&note](QList<store::NoteRecord> &known) { known.append(note); });
    m_registrations->track(m_folders, m_programDir, idTextOf(args), pid, 1);
    if (m_noteTable.size() < n + 1)
        m_noteTable.resize(n + 1);
    m_noteTable[n] = NoteRow{note, pid};
    return over(pid);
}

} // namespace master

// The master's notes on the desktop: the program folder (APC), showing all notes (HYOUZI) and
// closing running notes (UL), each step from the event loop.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteDesktop.h"

#include "LiveNotes.h"
#include "Registrations.h"
#include "platform/CloseRequest.h"
#include "platform/Log.h"
#include "platform/Processes.h"
#include "store/DataFolder.h"
#include "store/Files.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"
#include "store/Retry.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace master {

namespace {

// Windows started in one turn of the event loop: starting one takes a moment, and fifty in a row
// would hold the master's windows still meanwhile.
constexpr int StartsPerTurn = 8;
// How much of a note's text names it in a message.
constexpr int NamedTextLength = 20;

bool isRunning(const store::Value &noteId, const QSet<QString> &runningIds)
{
    return std::any_of(runningIds.cbegin(), runningIds.cend(), [&](const QString &runningId) {
        return store::recordMatchesEntry(noteId, runningId);
    });
}

QString startFailureMessage(const QString &detail)
{
    QString message = QStringLiteral("付箋ウィンドウを起動できませんでした。");
    if (!detail.isEmpty())
        message += QLatin1Char('\n') + detail;
    return message;
}

// How a note is named when its window could not start: its number and the start of its text.
QString nameOf(const store::NoteRecord &note)
{
    QString text = note.NoteText.toText().simplified();
    if (text.size() > NamedTextLength)
        text = text.left(NamedTextLength) + QStringLiteral("…");
    return QStringLiteral("付箋番号 %1「%2」").arg(note.NoteId.toText(), text);
}

qint64 now()
{
    return QDeadlineTimer::current().deadline();
}

// A registration waits this long for a show or a close that runs to end.
constexpr int CreateWaitMs = 30000;

} // namespace

NoteDesktop::NoteDesktop(QObject *parent)
    : QObject(parent), m_registrations(new Registrations(this))
{
    connect(m_registrations, &Registrations::settled, this, &NoteDesktop::registrationsSettled);
}

NoteDesktop::~NoteDesktop() = default;

void NoteDesktop::setFolders()
{
    m_programDir = platform::programFolder();
    m_appDir = store::dataFolder(m_programDir);
}

store::Status NoteDesktop::APC()
{
    setFolders();
    m_noteLineCount = 0;
    const auto count = store::NoteStore(m_appDir).countNoteLines();
    if (!count.ok())
        return store::Error{count.error(), count.busy()};
    m_noteLineCount = count.value();
    return {};
}

bool NoteDesktop::begin(Step step)
{
    if (busy())
        return false;
    m_step = step;
    m_messages.clear();
    m_failedNotes.clear();
    return true;
}

void NoteDesktop::runLocked(std::function<bool()> step)
{
    m_retry = store::Retry::start(
        this, [step] { return step() ? store::Retry::Over : store::Retry::Busy; },
        [this] {
            m_messages.append(store::FolderLock::busyError(m_appDir).message);
            finish();
        });
}

bool NoteDesktop::HYOUZI()
{
    if (!begin(Step::Showing))
        return false;
    QTimer::singleShot(0, this, [this] { runLocked([this] { return show(); }); });
    return true;
}

bool NoteDesktop::refresh()
{
    if (!UL())
        return false;
    m_showAfterClosing = true;
    return true;
}

bool NoteDesktop::UL()
{
    if (!begin(Step::Closing))
        return false;
    m_showAfterClosing = false;
    QTimer::singleShot(0, this, [this] { runLocked([this] { return closeStart(); }); });
    return true;
}

bool NoteDesktop::closeStart()
{
    setFolders();
    QList<store::RunningEntry> entries;
    {
        const store::FolderLock lock(m_appDir);
        if (lock.error().busy)
            return false;
        bool ok = false;
        if (lock.locked())
            entries = readEntriesOrRebuild(store::NoteStore(m_appDir, store::LockWait::Held), &ok);
        else
            m_messages.append(lock.error().message);
    }
    // Which note each live window of this folder shows: an entry is the window of its own note
    // only, also when its number has been reused by the window of another note.
    m_toClose.clear();
    const LiveWindows live = LiveWindows::scan(m_programDir, m_closed);
    for (const store::RunningEntry &entry : entries) {
        for (const qint64 pid : live.windowsOf(entry)) {
            if (!m_toClose.contains(pid))
                m_toClose.append(pid);
        }
    }
    closeNext();
    return true;
}

void NoteDesktop::closeNext()
{
    if (m_toClose.isEmpty()) {
        if (!m_showAfterClosing)
            return finish();
        m_showAfterClosing = false;
        m_step = Step::Showing;
        return runLocked([this] { return show(); });
    }
    const qint64 pid = m_toClose.takeFirst();
    // A window that cannot be reached gets nothing; no key goes anywhere else. Only a window
    // that confirmed its close stops counting as showing its note: one that did not answer in
    // time may still be on the screen, and must not get a twin.
    auto *closer = new platform::NoteWindowCloser(m_appDir, pid, this);
    connect(closer, &platform::NoteWindowCloser::done, this, [this, pid](bool confirmed) {
        if (confirmed)
            m_closed.insert(pid);
        closeNext();
    });
    closer->start();
}

QList<store::RunningEntry> NoteDesktop::readEntriesOrRebuild(const store::NoteStore &files,
                                                             bool *ok)
{
    *ok = false;
    auto entries = files.readRunningEntries();
    if (entries.ok()) {
        *ok = true;
        return entries.value();
    }
    qCWarning(lcPinboa, "%s", qPrintable(entries.error()));
    if (entries.busy() || !QFileInfo::exists(files.runningFilePath())) {
        m_messages.append(entries.error());
        return {};
    }
    // A running-note file that cannot be read whole would keep every note from being shown. It
    // is runtime state: set it aside and rebuild it from the live note windows of this folder.
    const QList<store::RunningEntry> rebuilt = LiveWindows::scan(m_programDir, m_closed).entries();
    const auto aside = files.replaceRunningFile(rebuilt);
    if (!aside.ok()) {
        m_messages.append(entries.error());
        m_messages.append(aside.error());
        return {};
    }
    if (!aside->isEmpty())
        m_messages.append(QStringLiteral("%1\n実行中の付箋の一覧 IDDATA.INI を読めなかったため、"
                                         "%2 という名前で残し、表示中の付箋から作り直しました。")
                              .arg(entries.error(), QFileInfo(aside.value()).fileName()));
    *ok = true;
    return rebuilt;
}

bool NoteDesktop::show()
{
    setFolders();
    const store::FolderLock lock(m_appDir);
    if (lock.error().busy)
        return false;
    if (!lock.locked()) {
        m_messages.append(lock.error().message);
        finish();
        return true;
    }
    // One look at the folder, under its lock: the line count, the notes and the running entries
    // as they stand together.
    const store::NoteStore files(m_appDir, store::LockWait::Held);
    const auto count = files.countNoteLines();
    if (!count.ok()) {
        m_messages.append(count.error());
        finish();
        return true;
    }
    m_noteLineCount = count.value() + 1;
    m_noteTable = QList<NoteRow>(1);

    // Every note that can be read is shown; the records that cannot are named at the end.
    const auto readout = files.readNoteRecordsSkippingDamaged();
    if (!readout.ok()) {
        m_messages.append(readout.error());
        finish();
        return true;
    }
    for (const store::NoteRecord &record : readout->records)
        m_noteTable.append(NoteRow{record, 0});
    if (!readout->badLines.isEmpty()) {
        QStringList lines;
        for (const int line : readout->badLines)
            lines.append(QString::number(line));
        m_messages.append(QStringLiteral("%1 の %2 行目の付箋は読み取れないため、表示していません。"
                                         "ほかの付箋は表示しています。")
                              .arg(store::files::shownName(files.noteFilePath()),
                                   lines.join(QStringLiteral("、"))));
    }

    // Which notes have a window: every entry but those provably without one, and every live note
    // window of this folder, also one that is still starting and has not written its entry.
    bool readable = false;
    const QList<store::RunningEntry> entries = readEntriesOrRebuild(files, &readable);
    if (!readable) {
        finish();
        return true;
    }
    // A window closed by UL stops counting once it asked; its number can name another later.
    m_closed.removeIf(
        [this](qint64 pid) { return !platform::isLiveNoteWindow(m_programDir, pid); });
    const LiveWindows live = LiveWindows::scan(m_programDir, m_closed);
    QSet<QString> running = live.ids;
    bool anyDead = false;
    m_runningIds.clear();
    for (const store::RunningEntry &entry : entries) {
        m_runningIds.append(entry.RunningId.toText());
        if (live.provablyDead(entry))
            anyDead = true;
        else
            running.insert(entry.RunningId.toText());
    }

    // A note that cannot travel to its window is named at the end; the others are shown.
    m_toStart.clear();
    for (int row = 1; row < m_noteTable.size(); ++row) {
        const store::NoteRecord &note = m_noteTable[row].note;
        if (isRunning(note.NoteId, running))
            continue;
        const auto args = store::EncodeNoteArgs(note);
        if (!args.ok()) {
            m_failedNotes.append(nameOf(note) + QStringLiteral(": ") + args.error());
            continue;
        }
        const QString idText = idTextOf(args.value());
        running.insert(idText); // a second record of the same note gets no second window
        m_toStart.append({row, idText, args.value()});
    }

    // A folder without its note window program changes nothing.
    if (!m_toStart.isEmpty() &&
        !QFileInfo(platform::noteWindowProgram(m_programDir)).isExecutable()) {
        m_messages.append(startFailureMessage(
            QStringLiteral("%1 がありません。").arg(platform::noteWindowProgram(m_programDir))));
        m_toStart.clear();
        finish();
        return true;
    }

    // Dead entries go before anything starts: once the note's new window runs, a stale "0"
    // entry of the same note could no longer be told from the new window's own.
    if (anyDead) {
        const store::Status status =
            files.updateRunningEntries([&](QList<store::RunningEntry> &list) {
                const LiveWindows now = LiveWindows::scan(m_programDir, m_closed);
                const bool changed = list.removeIf([&](const store::RunningEntry &entry) {
                    return now.provablyDead(entry);
                }) > 0;
                m_runningIds.clear();
                for (const store::RunningEntry &entry : list)
                    m_runningIds.append(entry.RunningId.toText());
                return changed;
            });
        if (!status.ok()) {
            m_messages.append(status.error());
            m_toStart.clear();
            finish();
            return true;
        }
    }
    m_step = Step::Registering;
    // The windows start from the event loop, once the folder is free again for them to register.
    QTimer::singleShot(0, this, &NoteDesktop::startNext);
    return true;
}

void NoteDesktop::startNext()
{
    // All without waiting: each window's start-up runs while the next ones are being started.
    const int windows = int(m_toStart.size()) + 1;
    for (int i = 0; i < StartsPerTurn && !m_toStart.isEmpty(); ++i) {
        const ToStart note = m_toStart.takeFirst();
        const auto started = platform::startNoteWindow(m_programDir, note.args);
        if (!started) {
            m_failedNotes.append(nameOf(m_noteTable[note.row].note) + QStringLiteral(": ") +
                                 startFailureMessage(started.error()));
            continue;
        }
        const qint64 pid = started.value();
        m_noteTable[note.row].NoteTaskId = pid;
        m_closed.remove(pid);
        m_registrations->track(m_appDir, m_programDir, note.idText, pid, windows);
    }
    if (!m_toStart.isEmpty()) {
        QTimer::singleShot(0, this, &NoteDesktop::startNext);
        return;
    }
    if (!m_registrations->pending())
        finish();
}

bool NoteDesktop::registering() const
{
    return m_registrations->pending();
}

void NoteDesktop::registrationsSettled(const QString &message)
{
    if (!message.isEmpty())
        m_messages.append(message);
    m_runningIds = m_registrations->runningIds();
    if (m_step == Step::Registering && m_toStart.isEmpty())
        finish();
}

store::Result<qint64> NoteDesktop::chooseNewNoteId()
{
    if (busy())
        return store::Error{QString(), true}; // the table is the running operation's now
    setFolders();
    const store::FolderLock lock(m_appDir);
    if (!lock.locked())
        return lock.error();
    const store::NoteStore files(m_appDir, store::LockWait::Held);
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
    if (m_creation)
        return false;
    m_creation = Creation{asker, note, std::move(done)};
    m_creationRetry = store::Retry::start(
        this, [this] { return tryCreate() ? store::Retry::Over : store::Retry::Busy; },
        [this] {
            Creation creation = std::move(*m_creation);
            m_creation.reset();
            const QString why =
                busy() ? QStringLiteral("付箋の表示・再表示が終わらないため、登録できませんでした。"
                                        "何も書き込んでいません。しばらくしてからもう一度お試し"
                                        "ください。")
                       : store::FolderLock::busyError(m_appDir).message;
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
    const store::FolderLock lock(m_appDir);
    if (lock.error().busy) {
        // A holder that keeps the lock is waited for as long as any other step waits for it.
        const qint64 since = m_creation->lockBusySince ? m_creation->lockBusySince : now();
        m_creation->lockBusySince = since;
        if (now() - since < store::FolderLock::TimeoutMs)
            return false;
        return over(store::FolderLock::busyError(m_appDir));
    }
    m_creation->lockBusySince = 0;
    if (!lock.locked())
        return over(lock.error());
    const store::NoteStore files(m_appDir, store::LockWait::Held);
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
    if (const store::Status appended = files.appendNoteRecord(note); !appended) {
        // An unregistered window would vanish at the next refresh: it is taken down again.
        // Asked to end, it closes as on any request to end: its entry goes, and it has no
        // record to write to.
        platform::endNoteWindow(m_programDir, pid);
        return over(store::Error{appended.error()});
    }
    m_registrations->track(m_appDir, m_programDir, idTextOf(args), pid, 1);
    if (m_noteTable.size() < n + 1)
        m_noteTable.resize(n + 1);
    m_noteTable[n] = NoteRow{note, pid};
    return over(pid);
}

void NoteDesktop::finish()
{
    m_step = Step::Idle;
    if (m_retry)
        m_retry->cancel();
    QStringList messages = m_messages;
    messages.removeDuplicates(); // one wait, one paragraph
    if (!m_failedNotes.isEmpty())
        messages.append(
            QStringLiteral("次の付箋は表示できませんでした。ほかの付箋は表示しています。"
                           "\n") +
            m_failedNotes.join(QLatin1Char('\n')));
    m_messages.clear();
    m_failedNotes.clear();
    emit finished(messages.join(QStringLiteral("\n\n")));
}

} // namespace master

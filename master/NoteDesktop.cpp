// The master's notes on the desktop: the program folder (APC), showing all notes (HYOUZI) and
// closing running notes (UL), each step from the event loop. Registering and editing a note are in
// NoteDesktopCreate.cpp and NoteDesktopEdit.cpp.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteDesktop.h"

#include "LiveNotes.h"
#include "Registrations.h"
#include "platform/CloseRequest.h"
#include "platform/Log.h"
#include "platform/NoteLauncher.h"
#include "platform/Processes.h"
#include "store/DataFolder.h"
#include "store/Files.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"
#include "store/Retry.h"

#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace master {

namespace {

// How much of a note's text names it in a message.
constexpr int NamedTextLength = 20;

bool isRunning(const store::Value &noteId, const QSet<QString> &runningIds)
{
    return std::any_of(runningIds.cbegin(), runningIds.cend(), [&](const QString &runningId) {
        return store::recordMatchesEntry(noteId, runningId);
    });
}

} // namespace

QString NoteDesktop::startFailureMessage(const QString &detail)
{
    QString message = QStringLiteral("付箋ウィンドウを起動できませんでした。");
    if (!detail.isEmpty())
        message += QLatin1Char('\n') + detail;
    return message;
}

// How a note is named when its window could not start: its number and the start of its text.
QString NoteDesktop::nameOf(const store::NoteRecord &note)
{
    QString text = note.NoteText.toText().simplified();
    if (text.size() > NamedTextLength)
        text = text.left(NamedTextLength) + QStringLiteral("…");
    return QStringLiteral("付箋番号 %1「%2」").arg(note.NoteId.toText(), text);
}

NoteDesktop::NoteDesktop(QObject *parent)
    : QObject(parent), m_registrations(new Registrations(this)),
      m_launcher(new platform::NoteLauncher(this))
{
    connect(m_registrations, &Registrations::settled, this, &NoteDesktop::registrationsSettled);
}

NoteDesktop::~NoteDesktop() = default;

void NoteDesktop::setFolders()
{
    m_programDir = platform::programFolder();
    m_folders = store::folders(m_programDir);
}

store::Status NoteDesktop::APC()
{
    setFolders();
    m_noteLineCount = 0;
    const auto count = store::NoteStore(m_folders).countNoteLines();
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
    m_allConfirmed = true;
    m_messages.clear();
    m_failedNotes.clear();
    return true;
}

void NoteDesktop::runLocked(std::function<bool()> step)
{
    m_retry = store::Retry::start(
        this, [step] { return step() ? store::Retry::Over : store::Retry::Busy; },
        [this] {
            m_messages.append(store::FolderLock::busyError(m_folders.state).message);
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
    m_afterClosing = [this] {
        m_step = Step::Showing;
        runLocked([this] { return show(); });
    };
    return true;
}

bool NoteDesktop::UL()
{
    if (!begin(Step::Closing))
        return false;
    m_afterClosing = nullptr;
    QTimer::singleShot(0, this, [this] { runLocked([this] { return closeStart(); }); });
    return true;
}

bool NoteDesktop::anyNoteShown() const
{
    return !LiveWindows::scan(platform::programFolder(), m_closed).idByPid.isEmpty();
}

bool NoteDesktop::closeStart()
{
    setFolders();
    QList<store::RunningEntry> entries;
    {
        const store::FolderLock lock(m_folders.state);
        if (lock.error().busy)
            return false;
        const auto read =
            lock.locked() ? readEntriesOrRebuild(store::NoteStore(m_folders, store::LockWait::Held))
                          : store::Result<QList<store::RunningEntry>>(lock.error());
        if (read.ok())
            entries = read.value();
        else
            m_messages.append(read.error());
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
        if (const auto then = std::exchange(m_afterClosing, nullptr))
            return then();
        return finish();
    }
    const qint64 pid = m_toClose.takeFirst();
    // A window that cannot be reached gets nothing; no key goes anywhere else. Only a window
    // that confirmed its close stops counting as showing its note: one that did not answer in
    // time may still be on the screen, and must not get a twin.
    auto *closer = new platform::NoteWindowCloser(m_folders.notes, pid, this);
    connect(closer, &platform::NoteWindowCloser::done, this, [this, pid](bool confirmed) {
        if (confirmed)
            m_closed.insert(pid);
        else
            m_allConfirmed = false;
        closeNext();
    });
    closer->start();
}

store::Result<QList<store::RunningEntry>>
NoteDesktop::readEntriesOrRebuild(const store::NoteStore &files)
{
    auto entries = files.readRunningEntries();
    if (entries.ok())
        return entries.value();
    qCWarning(lcPinboa, "%s", qPrintable(entries.error()));
    if (entries.busy() || !QFileInfo::exists(files.runningFilePath()))
        return store::Error{entries.error(), entries.busy()};
    // A running-note file that cannot be read whole would keep every note from being shown. It
    // is runtime state: set it aside and rebuild it from the live note windows of this folder.
    const QList<store::RunningEntry> rebuilt = LiveWindows::scan(m_programDir, m_closed).entries();
    const auto aside = files.replaceRunningFile(rebuilt);
    if (!aside.ok())
        return store::Error{entries.error() + QStringLiteral("\n\n") + aside.error(), aside.busy()};
    if (!aside->isEmpty())
        m_messages.append(QStringLiteral("%1\n実行中の付箋の一覧 IDDATA.INI を読めなかったため、"
                                         "%2 という名前で残し、表示中の付箋から作り直しました。")
                              .arg(entries.error(), QFileInfo(aside.value()).fileName()));
    return rebuilt;
}

bool NoteDesktop::show()
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
    // One look at the folder, under its lock: the line count, the notes and the running entries
    // as they stand together.
    const store::NoteStore files(m_folders, store::LockWait::Held);
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
    // The notes' options: a damaged file does not keep a note from showing with its defaults.
    const auto aside = files.tidyNoteOptions(readout->records, readout->badLines.isEmpty());
    if (!aside.ok() || !aside->isEmpty())
        m_messages.append(
            aside.ok() ? QStringLiteral("付箋の設定ファイル %1 を読めなかったため、%2 という名前で"
                                        "残しました。付箋は既定の設定で表示します。")
                             .arg(store::files::shownName(files.noteOptionsFilePath()),
                                  store::files::shownName(aside.value()))
                       : aside.error());

    // Which notes have a window: every entry but those provably without one, and every live note
    // window of this folder, also one that is still starting and has not written its entry.
    const auto read = readEntriesOrRebuild(files);
    if (!read.ok()) {
        m_messages.append(read.error());
        finish();
        return true;
    }
    const QList<store::RunningEntry> &entries = read.value();
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
        m_toStart.append({row, idText, args.value(), true});
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

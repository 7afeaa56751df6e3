// The master's notes on the desktop: the program folder (APC), showing all notes (HYOUZI) and
// closing running notes (UL), each step from the event loop.
#include "NoteDesktop.h"

#include "platform/CloseRequest.h"
#include "platform/Processes.h"
#include "store/DataFolder.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace master {

namespace {

// A started window registers itself when its start-up ends; on a loaded machine fifty of them
// take a while, so the bound grows with their number.
constexpr int RegisterBaseMs = 5000;
constexpr int RegisterPerWindowMs = 200;
constexpr int RegisterPollMs = 20;
// Windows started in one turn of the event loop: starting one takes a moment, and fifty in a row
// would hold the master's windows still meanwhile.
constexpr int StartsPerTurn = 8;
// How much of a note's text names it in a message.
constexpr int NamedTextLength = 20;

void setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
}

qint64 now()
{
    return QDeadlineTimer::current().deadline();
}

// The task identifier of an entry: the number at the start of its text form; 0 for "0" and for
// text that does not start with a number.
qint64 entryTaskId(const store::RunningEntry &entry)
{
    const double value = store::idNumericValue(entry.RunningTaskId.toText());
    return value >= 1 ? static_cast<qint64>(value) : 0;
}

// The identifier text a note window gets in its argument string, and so writes into its entry.
QString idTextOf(const QString &noteArgs)
{
    const auto decoded = store::DecodeNoteArgs(noteArgs);
    if (decoded.ok() && decoded.value().has_value())
        return decoded.value()->at(9);
    return {};
}

// The live note windows of the folder: which note each one shows, by its identifier text as it
// received it (the text it writes into its own entry).
struct LiveWindows
{
    QHash<qint64, QString> idByPid;
    QSet<QString> ids;
};

LiveWindows scanLiveWindows(const QString &programDir, const QSet<qint64> &closed = {})
{
    LiveWindows live;
    for (const platform::LiveNoteWindow &window : platform::liveNoteWindows(programDir)) {
        if (closed.contains(window.pid))
            continue;
        const QString id = idTextOf(window.noteArgs);
        live.idByPid.insert(window.pid, id);
        if (!id.isNull())
            live.ids.insert(id);
    }
    return live;
}

// An entry provably without a window: its task identifier names no live note window of this
// folder (or one that shows another note: the number was reused), or it has no task identifier
// yet and no live note window of this folder shows its note.
bool provablyDead(const store::RunningEntry &entry, const LiveWindows &live)
{
    const QString id = entry.RunningId.toText();
    const qint64 taskId = entryTaskId(entry);
    if (taskId > 0) {
        const auto it = live.idByPid.constFind(taskId);
        if (it == live.idByPid.constEnd())
            return true;
        return !it->isNull() && *it != id;
    }
    return !live.ids.contains(id);
}

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

} // namespace

NoteDesktop::NoteDesktop(QObject *parent) : QObject(parent)
{
    m_poll = new QTimer(this);
    m_poll->setSingleShot(true); // re-armed after each look, which may wait for the files
    connect(m_poll, &QTimer::timeout, this, &NoteDesktop::pollRegistrations);
}

NoteDesktop::~NoteDesktop() = default;

bool NoteDesktop::APC(QString *error)
{
    ProgramDir = platform::programFolder();
    AppDir = store::dataFolder(ProgramDir);
    NoteLineCount = 0;
    const auto count = store::NoteStore(AppDir).countNoteLines();
    if (!count.ok()) {
        setError(error, count.error());
        return false;
    }
    NoteLineCount = count.value();
    return true;
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

bool NoteDesktop::HYOUZI()
{
    if (!begin(Step::Showing))
        return false;
    QTimer::singleShot(0, this, &NoteDesktop::show);
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
    m_toClose.clear();
    APC(); // only the running entries matter here
    bool ok = false;
    const QList<store::RunningEntry> entries = readEntriesOrRebuild(&ok);

    // Which note each live window of this folder shows: an entry is the window of its own note
    // only, also when its number has been reused by the window of another note.
    const LiveWindows live = scanLiveWindows(ProgramDir, m_closed);
    for (const store::RunningEntry &entry : entries) {
        const QString id = entry.RunningId.toText();
        QList<qint64> windows;
        if (const qint64 taskId = entryTaskId(entry); taskId > 0) {
            const auto it = live.idByPid.constFind(taskId);
            if (it == live.idByPid.constEnd() || it->isNull() || *it == id)
                windows.append(taskId);
        } else {
            // No task identifier was recorded: the live window of this folder that shows the
            // note is the one the entry stands for.
            for (auto it = live.idByPid.cbegin(); it != live.idByPid.cend(); ++it) {
                if (it.value() == id)
                    windows.append(it.key());
            }
        }
        for (const qint64 pid : windows) {
            if (!m_toClose.contains(pid))
                m_toClose.append(pid);
        }
    }
    QTimer::singleShot(0, this, &NoteDesktop::closeNext);
    return true;
}

void NoteDesktop::closeNext()
{
    if (m_toClose.isEmpty()) {
        if (!m_showAfterClosing)
            return finish();
        m_showAfterClosing = false;
        m_step = Step::Showing;
        return show();
    }
    const qint64 pid = m_toClose.takeFirst();
    // A window that cannot be reached gets nothing; no key goes anywhere else. Only a window
    // that confirmed its close stops counting as showing its note: one that did not answer in
    // time may still be on the screen, and must not get a twin.
    auto *closer = new platform::NoteWindowCloser(AppDir, pid, this);
    connect(closer, &platform::NoteWindowCloser::done, this, [this, pid](bool confirmed) {
        if (confirmed)
            m_closed.insert(pid);
        closeNext();
    });
    closer->start();
}

QList<store::RunningEntry> NoteDesktop::readEntriesOrRebuild(bool *ok)
{
    *ok = false;
    const store::NoteStore files(AppDir);
    auto entries = files.readRunningEntries();
    if (entries.ok()) {
        *ok = true;
        return entries.value();
    }
    if (entries.busy() || !QFileInfo::exists(files.runningFilePath())) {
        m_messages.append(entries.error());
        return {};
    }
    // A running-note file that cannot be read whole would keep every note from being shown. It
    // is runtime state: set it aside and rebuild it from the live note windows of this folder.
    QList<store::RunningEntry> rebuilt;
    for (const platform::LiveNoteWindow &window : platform::liveNoteWindows(ProgramDir)) {
        const QString id = idTextOf(window.noteArgs);
        if (!id.isNull() && !m_closed.contains(window.pid))
            rebuilt.append({store::Value::text(id), store::Value::number(double(window.pid))});
    }
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

void NoteDesktop::show()
{
    QString error;
    if (!APC(&error)) {
        m_messages.append(error);
        return finish();
    }
    const store::NoteStore files(AppDir);
    NoteLineCount += 1;
    NoteTable = QList<NoteRow>(1);

    const auto records = files.readNoteRecords();
    if (!records.ok()) {
        m_messages.append(records.error());
        return finish();
    }
    for (const store::NoteRecord &record : records.value())
        NoteTable.append(NoteRow{record, 0});

    // Which notes have a window: every entry but those provably without one, and every live note
    // window of this folder, also one that is still starting and has not written its entry.
    bool readable = false;
    const QList<store::RunningEntry> entries = readEntriesOrRebuild(&readable);
    if (!readable)
        return finish();
    // A window closed by UL stops counting once it asked; its number can name another later.
    m_closed.removeIf([this](qint64 pid) { return !platform::isLiveNoteWindow(ProgramDir, pid); });
    const LiveWindows live = scanLiveWindows(ProgramDir, m_closed);
    QSet<QString> running = live.ids;
    bool anyDead = false;
    RunningIds.clear();
    for (const store::RunningEntry &entry : entries) {
        RunningIds.append(entry.RunningId.toText());
        if (provablyDead(entry, live))
            anyDead = true;
        else
            running.insert(entry.RunningId.toText());
    }

    // A note that cannot travel to its window is named at the end; the others are shown.
    m_toStart.clear();
    for (int row = 1; row < NoteTable.size(); ++row) {
        const store::NoteRecord &note = NoteTable[row].note;
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
    if (!m_toStart.isEmpty() && !QFileInfo(platform::noteWindowProgram(ProgramDir)).isExecutable()) {
        m_messages.append(startFailureMessage(
            QStringLiteral("%1 がありません。").arg(platform::noteWindowProgram(ProgramDir))));
        m_toStart.clear();
        return finish();
    }

    // Dead entries go before anything starts: once the note's new window runs, a stale "0"
    // entry of the same note could no longer be told from the new window's own.
    if (anyDead) {
        const store::Status status =
            files.updateRunningEntries([&](QList<store::RunningEntry> &list) {
                const LiveWindows now = scanLiveWindows(ProgramDir, m_closed);
                const bool changed = list.removeIf([&](const store::RunningEntry &entry) {
                    return provablyDead(entry, now);
                }) > 0;
                RunningIds.clear();
                for (const store::RunningEntry &entry : list)
                    RunningIds.append(entry.RunningId.toText());
                return changed;
            });
        if (!status.ok()) {
            m_messages.append(status.error());
            m_toStart.clear();
            return finish();
        }
    }
    m_step = Step::Registering;
    startNext();
}

void NoteDesktop::startNext()
{
    // All without waiting: each window's start-up runs while the next ones are being started.
    const int windows = int(m_toStart.size()) + int(m_waiting.size());
    for (int i = 0; i < StartsPerTurn && !m_toStart.isEmpty(); ++i) {
        const ToStart note = m_toStart.takeFirst();
        QString detail;
        const qint64 pid = platform::startNoteWindow(ProgramDir, note.args, &detail);
        if (pid <= 0) {
            m_failedNotes.append(nameOf(NoteTable[note.row].note) + QStringLiteral(": ") +
                                 startFailureMessage(detail));
            continue;
        }
        NoteTable[note.row].NoteTaskId = pid;
        m_closed.remove(pid);
        track(note.idText, pid, windows);
    }
    if (!m_toStart.isEmpty()) {
        QTimer::singleShot(0, this, &NoteDesktop::startNext);
        return;
    }
    if (m_waiting.isEmpty())
        finish();
}

qint64 NoteDesktop::startNote(const store::NoteRecord &note, QString *error)
{
    APC();
    const auto args = store::EncodeNoteArgs(note);
    if (!args.ok()) {
        setError(error, args.error());
        return 0;
    }
    QString detail;
    const qint64 pid = platform::startNoteWindow(ProgramDir, args.value(), &detail);
    if (pid <= 0) {
        setError(error, startFailureMessage(detail));
        return 0;
    }
    m_closed.remove(pid);
    track(idTextOf(args.value()), pid, 1);
    return pid;
}

void NoteDesktop::track(const QString &idText, qint64 pid, int windowsStarting)
{
    m_waiting.append(
        {idText, pid, now() + RegisterBaseMs + RegisterPerWindowMs * qint64(windowsStarting)});
    if (!m_poll->isActive())
        m_poll->start(RegisterPollMs);
}

// Writes each started window's task identifier into every entry of its note once the window has
// appended its entry, batching what appeared since the last look into one rewrite. A window
// that died, or did not register in time, is waited for no longer.
void NoteDesktop::pollRegistrations()
{
    QHash<QString, qint64> pidById;
    for (const StartedWindow &window : std::as_const(m_waiting))
        pidById.insert(window.idText, window.pid);
    QSet<QString> registered;
    const store::Status status =
        store::NoteStore(AppDir).updateRunningEntries([&](QList<store::RunningEntry> &entries) {
            bool changed = false;
            for (store::RunningEntry &entry : entries) {
                const auto it = pidById.constFind(entry.RunningId.toText());
                if (it == pidById.constEnd())
                    continue;
                const auto number = entry.RunningTaskId.toNumber();
                if (!entry.RunningTaskId.isNumber() || !number || *number != double(*it)) {
                    entry.RunningTaskId = store::Value::number(double(*it));
                    changed = true;
                }
                registered.insert(it.key());
            }
            RunningIds.clear();
            for (const store::RunningEntry &entry : entries)
                RunningIds.append(entry.RunningId.toText());
            return changed;
        });
    const qint64 time = now();
    m_waiting.removeIf([&](const StartedWindow &window) {
        return registered.contains(window.idText) || time > window.waitUntil ||
               !platform::isLiveNoteWindow(ProgramDir, window.pid);
    });
    if (!status.ok() && !status.busy()) {
        // A running-note file that cannot be read: the next refresh rebuilds it.
        m_messages.append(status.error());
        m_waiting.clear();
    }
    if (!m_waiting.isEmpty())
        m_poll->start(RegisterPollMs);
    else if (m_step == Step::Registering && m_toStart.isEmpty())
        finish();
}

void NoteDesktop::finish()
{
    m_step = Step::Idle;
    QStringList messages = m_messages;
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

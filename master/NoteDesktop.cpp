// The master's notes on the desktop: the program folder (APC), showing all notes (HYOUZI) and
// closing running notes (UL).
#include "NoteDesktop.h"

#include "platform/CloseRequest.h"
#include "platform/Processes.h"
#include "store/DataFolder.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>

#include <algorithm>

namespace master {

namespace {

// A started window registers itself when its start-up ends; on a loaded machine fifty of them
// take a while, so the bound grows with their number.
constexpr int RegisterBaseMs = 5000;
constexpr int RegisterPerWindowMs = 200;
constexpr int RegisterPollMs = 20;

void setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
}

// The task identifier of an entry: the number at the start of its text form; 0 for "0" and for
// text that does not start with a number.
qint64 entryTaskId(const store::RunningEntry &entry)
{
    const double value = store::idNumericValue(entry.RunningTaskId.toText());
    return value >= 1 ? static_cast<qint64>(value) : 0;
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
        QString id;
        const auto decoded = store::DecodeNoteArgs(window.noteArgs);
        if (decoded.ok() && decoded.value().has_value())
            id = decoded.value()->at(9);
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

// One note window started by this master, until its own entry carries its task identifier.
struct StartedWindow
{
    QString idText; // the identifier as the window received it
    qint64 pid = 0;
    bool registered = false;
};

// Waits, with a bound, until every started window has appended its entry, and writes each
// window's task identifier into every entry of its note, batching what appeared since the last
// look into one rewrite. `runningIds` gets the identifiers of the entries as last read.
store::Status recordStartedWindows(const QString &programDir, const QString &dataDir,
                                   QList<StartedWindow> &started, QStringList *runningIds)
{
    const store::NoteStore files(dataDir);
    QHash<QString, int> waiting;
    for (int i = 0; i < started.size(); ++i)
        waiting.insert(started[i].idText, i);

    QElapsedTimer timer;
    timer.start();
    const qint64 bound = RegisterBaseMs + RegisterPerWindowMs * qint64(started.size());
    for (;;) {
        const store::Status status =
            files.updateRunningEntries([&](QList<store::RunningEntry> &entries) {
                bool changed = false;
                for (store::RunningEntry &entry : entries) {
                    const int index = waiting.value(entry.RunningId.toText(), -1);
                    if (index < 0)
                        continue;
                    StartedWindow &window = started[index];
                    const auto number = entry.RunningTaskId.toNumber();
                    if (!entry.RunningTaskId.isNumber() || !number ||
                        *number != double(window.pid)) {
                        entry.RunningTaskId = store::Value::number(double(window.pid));
                        changed = true;
                    }
                    window.registered = true;
                }
                if (runningIds) {
                    runningIds->clear();
                    for (const store::RunningEntry &entry : entries)
                        runningIds->append(entry.RunningId.toText());
                }
                return changed;
            });
        if (!status.ok())
            return status;
        for (auto it = waiting.begin(); it != waiting.end();) {
            const StartedWindow &window = started[it.value()];
            // A window that died before registering is waited for no longer.
            if (window.registered || !platform::isLiveNoteWindow(programDir, window.pid))
                it = waiting.erase(it);
            else
                ++it;
        }
        if (waiting.isEmpty() || timer.elapsed() > bound)
            return {};
        QThread::msleep(RegisterPollMs);
    }
}

} // namespace

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

bool NoteDesktop::HYOUZI(QString *error)
{
    if (!APC(error))
        return false;
    NoteLineCount += 1;
    NoteTable = QList<NoteRow>(1);

    const store::NoteStore files(AppDir);
    const auto records = files.readNoteRecords();
    if (!records.ok()) {
        setError(error, records.error());
        return false;
    }
    for (const store::NoteRecord &record : records.value())
        NoteTable.append(NoteRow{record, 0});

    // Which notes have a window: every entry but those provably without one, and every live note
    // window of this folder, also one that is still starting and has not written its entry.
    const auto entries = files.readRunningEntries();
    if (!entries.ok()) {
        setError(error, entries.error());
        return false;
    }
    // A window closed by UL stops counting once it asked; its number can name another later.
    m_closed.removeIf([this](qint64 pid) { return !platform::isLiveNoteWindow(ProgramDir, pid); });
    const LiveWindows live = scanLiveWindows(ProgramDir, m_closed);
    QSet<QString> running = live.ids;
    bool anyDead = false;
    RunningIds.clear();
    for (const store::RunningEntry &entry : entries.value()) {
        RunningIds.append(entry.RunningId.toText());
        if (provablyDead(entry, live))
            anyDead = true;
        else
            running.insert(entry.RunningId.toText());
    }

    // Every argument string first, so that a note that cannot travel starts nothing at all.
    struct ToStart
    {
        int row;
        QString idText;
        QString args;
    };
    QList<ToStart> toStart;
    for (int row = 1; row < NoteTable.size(); ++row) {
        const store::NoteRecord &note = NoteTable[row].note;
        if (isRunning(note.NoteId, running))
            continue;
        const auto args = store::EncodeNoteArgs(note);
        if (!args.ok()) {
            setError(error, args.error());
            return false;
        }
        const QString idText = note.NoteId.toText();
        running.insert(idText); // a second record of the same note gets no second window
        toStart.append({row, idText, args.value()});
    }

    // A folder without its note window program changes nothing.
    if (!toStart.isEmpty() && !QFileInfo(platform::noteWindowProgram(ProgramDir)).isExecutable()) {
        setError(
            error,
            startFailureMessage(
                QStringLiteral("%1 がありません。").arg(platform::noteWindowProgram(ProgramDir))));
        return false;
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
            setError(error, status.error());
            return false;
        }
    }

    // All at once: each window's start-up runs while the next one is being started.
    QList<StartedWindow> started;
    QString failure;
    for (const ToStart &note : toStart) {
        QString detail;
        const qint64 pid = platform::startNoteWindow(ProgramDir, note.args, &detail);
        if (pid <= 0) {
            failure = startFailureMessage(detail);
            break;
        }
        NoteTable[note.row].NoteTaskId = pid;
        m_closed.remove(pid);
        started.append({note.idText, pid, false});
    }

    if (!started.isEmpty()) {
        const store::Status status = recordStartedWindows(ProgramDir, AppDir, started, &RunningIds);
        if (!status.ok() && failure.isEmpty())
            failure = status.error();
    }
    if (!failure.isEmpty()) {
        setError(error, failure);
        return false;
    }
    return true;
}

void NoteDesktop::UL()
{
    APC(); // only the running entries matter here
    const auto entries = store::NoteStore(AppDir).readRunningEntries();
    if (!entries.ok())
        return;

    QSet<qint64> asked;
    // Which note each live window of this folder shows: an entry is the window of its own note
    // only, also when its number has been reused by the window of another note.
    const LiveWindows live = scanLiveWindows(ProgramDir, m_closed);
    for (const store::RunningEntry &entry : entries.value()) {
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
            if (asked.contains(pid))
                continue;
            asked.insert(pid);
            // A window that cannot be reached gets nothing; no key goes anywhere else. Only a
            // window that confirmed its close stops counting as showing its note: one that did
            // not answer in time may still be on the screen, and must not get a twin.
            if (platform::closeNoteWindow(AppDir, pid))
                m_closed.insert(pid);
        }
    }
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
    QList<StartedWindow> started{{note.NoteId.toText(), pid, false}};
    const store::Status status = recordStartedWindows(ProgramDir, AppDir, started, nullptr);
    if (!status.ok())
        setError(error, status.error());
    return pid;
}

} // namespace master

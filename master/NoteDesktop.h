// The master's notes on the desktop: the program folder and line count (APC), showing all notes
// (HYOUZI) and closing running notes (UL), run from the event loop. No window of its own; Form1
// owns one and forwards.
#pragma once

#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QTimer;

namespace master {

// One position of the master's note table: a record as read, and the task identifier that the
// last HYOUZI got when it started the note's window (0 when it did not start it).
struct NoteRow
{
    store::NoteRecord note;
    qint64 NoteTaskId = 0;
};

// Showing and closing many windows takes a while: every step runs from the event loop (socket
// signals and timers), so that the master's windows and its tray menu respond meanwhile. One
// operation runs at a time; finished() tells when it is over.
class NoteDesktop : public QObject
{
    Q_OBJECT
public:
    explicit NoteDesktop(QObject *parent = nullptr);
    ~NoteDesktop() override;

    QString AppDir;           // the data folder (MDATA.INI, IDDATA.INI), ending in "/"
    QString ProgramDir;       // the program folder (memlet), ending in "/"
    int NoteLineCount = 0;    // lines of MDATA.INI (plus one after HYOUZI)
    QList<NoteRow> NoteTable; // index 0 unused, as the tables are indexed from 1
    QStringList RunningIds;   // RunningId of the entries read last

    // Sets ProgramDir and AppDir and counts the lines of MDATA.INI. False (with `error`) when the
    // file exists but cannot be read.
    bool APC(QString *error = nullptr);

    // Each starts its operation and returns at once; false, doing nothing, while another one
    // runs. finished() follows.
    //
    // HYOUZI starts one note window for every record whose identifier has no live running entry,
    // records each window's process id in its entries, and drops the entries that provably have
    // no live window of this folder. A note whose window cannot start is named in the message at
    // the end; every other note is shown. A malformed MDATA.INI changes nothing.
    bool HYOUZI();
    // UL asks every listed note window to close and waits for each one's write-back in turn,
    // each wait bounded. Windows that cannot be reached are skipped.
    bool UL();
    // The refresh: UL, then HYOUZI.
    bool refresh();
    bool busy() const { return m_step != Step::Idle; }
    // Windows that startNote or HYOUZI started have not all registered yet.
    bool registering() const { return !m_waiting.isEmpty(); }

    // Starts the note window of one note that is being created and records its task identifier
    // once the window has registered (from the event loop). Returns the task identifier, or 0
    // with `error` set.
    qint64 startNote(const store::NoteRecord &note, QString *error = nullptr);

signals:
    // The operation is over; `message` is what the user should be told (empty when all went
    // well).
    void finished(const QString &message);

private:
    enum class Step
    {
        Idle,
        Closing,
        Showing,
        Registering
    };
    // One note window started by this master, until its own entry carries its task identifier.
    struct StartedWindow
    {
        QString idText; // the identifier as the window received it
        qint64 pid = 0;
        qint64 waitUntil = 0; // on the monotonic clock, ms
    };
    struct ToStart
    {
        int row;
        QString idText;
        QString args;
    };

    bool begin(Step step);
    QList<store::RunningEntry> readEntriesOrRebuild(bool *ok);
    void closeNext();
    void show();
    void startNext();
    void track(const QString &idText, qint64 pid, int windowsStarting);
    void pollRegistrations();
    void finish();

    Step m_step = Step::Idle;
    bool m_showAfterClosing = false;
    QList<qint64> m_toClose;
    // Windows that UL closed (their write-back is done) and that may still be ending: they no
    // longer count as showing their note.
    QSet<qint64> m_closed;
    QList<ToStart> m_toStart;
    QList<StartedWindow> m_waiting;
    QTimer *m_poll = nullptr;
    QStringList m_messages;    // for the user, at the end of the operation
    QStringList m_failedNotes; // notes whose window could not start
};

} // namespace master

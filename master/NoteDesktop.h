// The master's notes on the desktop: the program folder and line count (APC), showing all notes
// (HYOUZI), closing running notes (UL) and registering a new note, run from the event loop. No
// window of its own: the windows call it and listen to it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Records.h"
#include "store/Result.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace master {

class Registrations;

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

    const QString &AppDir() const { return m_appDir; }         // data folder, ending in "/"
    const QString &ProgramDir() const { return m_programDir; } // memlet's folder, ending in "/"
    int NoteLineCount() const { return m_noteLineCount; } // lines of MDATA.INI (+1 after HYOUZI)
    const QList<NoteRow> &NoteTable() const { return m_noteTable; } // index 0 unused
    const QStringList &RunningIds() const { return m_runningIds; }  // RunningId as read last

    // Sets ProgramDir and AppDir and counts the lines of MDATA.INI. Fails when the file exists
    // but cannot be read.
    store::Status APC();

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
    // Windows that were started have not all registered yet.
    bool registering() const;

    // The identifier for the note about to be written: the smallest one not below the line
    // count plus one that no record uses. The note table is made afresh, one position per line.
    store::Result<qint64> chooseNewNoteId();
    // Registers a new note: checks it (nothing is written or started for a note that cannot be
    // stored or handed to its window), starts its window, appends its record and puts it in the
    // note table at the line count. A record that cannot be appended takes its window down again,
    // so that the user can try once more. Gives the window's task identifier, which is written
    // into its entry once the window has registered.
    store::Result<qint64> createNote(const store::NoteRecord &note);

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
    void registrationsSettled(const QString &message);
    void finish();

    QString m_appDir;
    QString m_programDir;
    int m_noteLineCount = 0;
    QList<NoteRow> m_noteTable;
    QStringList m_runningIds;

    Step m_step = Step::Idle;
    bool m_showAfterClosing = false;
    QList<qint64> m_toClose;
    // Windows that UL closed (their write-back is done) and that may still be ending: they no
    // longer count as showing their note.
    QSet<qint64> m_closed;
    QList<ToStart> m_toStart;
    Registrations *m_registrations;
    QStringList m_messages;    // for the user, at the end of the operation
    QStringList m_failedNotes; // notes whose window could not start
};

} // namespace master

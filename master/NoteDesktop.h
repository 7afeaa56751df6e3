// The master's notes on the desktop: the program folder and line count (APC), showing all notes
// (HYOUZI), closing running notes (UL), registering a new note and rewriting an edited one, run
// from the event loop. No window of its own: the windows call it and listen to it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/DataFolder.h"
#include "store/Files.h"
#include "store/Records.h"
#include "store/Result.h"
#include "store/Retry.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace store {
class NoteStore;
}
namespace platform {
class NoteLauncher;
}

namespace master {

class Registrations;

// One position of the master's note table: a record as read, and the task identifier that the
// last HYOUZI got when it started the note's window (0 when it did not start it).
struct NoteRow
{
    store::NoteRecord note;
    qint64 NoteTaskId = 0;
};

// A record of MDATA.INI and where it stands: `index` counts the records from 0 in file order.
struct NoteAt
{
    qsizetype index = 0;
    store::NoteRecord note;
};

// Showing and closing many windows takes a while: every step runs from the event loop (socket
// signals and timers), so that the master's windows and its tray menu respond meanwhile. A wait
// for the folder's lock is a state of the step, tried again from a timer until its deadline. One
// operation runs at a time; finished() tells when it is over.
class NoteDesktop : public QObject
{
    Q_OBJECT
public:
    explicit NoteDesktop(QObject *parent = nullptr);
    ~NoteDesktop() override;

    const QString &AppDir() const { return m_folders.notes; } // data folder, ending in "/"
    // The data folder and this computer's state folder beside it (IDDATA.INI, the lock).
    const store::Folders &Folders() const { return m_folders; }
    const QString &ProgramDir() const { return m_programDir; } // memlet's folder, ending in "/"
    int NoteLineCount() const { return m_noteLineCount; } // lines of MDATA.INI (+1 after HYOUZI)
    const QList<NoteRow> &NoteTable() const { return m_noteTable; } // index 0 unused
    const QStringList &RunningIds() const { return m_runningIds; }  // RunningId as read last

    // Sets ProgramDir and AppDir and counts the lines of MDATA.INI. Fails when the file exists
    // but cannot be read, or when another program holds the folder's lock (busy(), at once).
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
    // A note window of this folder is on the desktop (one that UL closed does not count while it
    // ends).
    bool anyNoteShown() const;
    // Windows that were started have not all registered yet.
    bool registering() const;

    // The identifier for the note about to be written: the smallest one not below the line
    // count plus one that no record uses. The note table is made afresh, one position per line.
    // Never waits: while an operation runs or the folder is busy it fails, and the note's
    // registration chooses then.
    store::Result<qint64> chooseNewNoteId();
    // Registers a new note once no other operation runs and the folder's lock is free: checks it
    // (nothing is written or started for a note that cannot be stored or handed to its window),
    // chooses its identifier when it has none (0), starts its window, appends its record and puts
    // it in the note table at the line count. A record that cannot be appended takes its window
    // down again, so that the user can try once more. `done` gets the window's task identifier
    // or why there is none, unless `asker` is gone by then or cancelled the registration first:
    // then nothing is written. One registration at a time; false while one waits.
    bool createNote(const store::NoteRecord &note, QObject *asker,
                    std::function<void(const store::Result<qint64> &)> done);
    // The registration or the edit that `asker` asked for is dropped if it has not been written
    // yet.
    void cancelCreate(const QObject *asker);

    // The note whose window received the identifier `idText`: the first record with that number.
    // Never waits: fails busy() while another program holds the folder's lock.
    store::Result<NoteAt> findNote(const QString &idText);
    // Writes `edited` over the note that the editor was opened on, as createNote registers a new
    // one (the same waits, the same checks before anything is written): in its place among the
    // records, with its own number and with the place its window stores when it closes. Refused,
    // writing nothing, when its record is no longer `opened` (its place aside): changed or erased
    // meanwhile. `done` follows the write (0 for the task identifier: the window starts later);
    // then the note's window closes with its write-back and starts again with the new look, an
    // operation of its own whose finished() says what went wrong.
    bool editNote(const NoteAt &opened, const store::NoteRecord &edited, QObject *asker,
                  std::function<void(const store::Result<qint64> &)> done);

    // Notes that other programs changed (a sync engine that brings them from another computer;
    // FolderWatch tells when).
    //
    // What the master knows of MDATA.INI becomes the file as it is now: the start of the watch,
    // and a write of the master's own that does not go through this class (erase, put back).
    void learnNotes();
    // Takes in what changed in the notes folder since the master last looked, as an operation:
    // merges the conflict copies of MDATA.INI (one message says how many notes came in) and,
    // when MDATA.INI changed elsewhere while notes are shown, shows the notes added there,
    // closes those erased there and shows those changed there again; a note only moved keeps
    // its place here. A file that cannot be read whole is said once, never merged into, and read
    // again when it changes. Nothing is started or closed while no note is shown.
    bool follow();
    // An incoming change that took notes away or changed them is followed, after the rescan
    // interval (putBackDue()), by this: the notes that it overwrote rather than erased come back,
    // and are shown when notes are shown.
    bool putBackOverwritten();
    // Keeps the notes in `folder` from now on (store::chooseDataFolder), as one operation: the
    // notes shown are closed, each writing its place back into the old folder; with `bringIn`
    // this computer's notes are brought into the new folder's (the old folder keeps its own);
    // then the notes are shown again from the new folder. `claim` (when given) takes the new
    // folder's single-instance lock first and gives it back: false when another master holds
    // it, and nothing changes. A failure leaves the old folder in use, its notes shown again.
    using FolderClaim = std::function<bool(const QString &stateFolder)>;
    bool switchFolder(const QString &folder, bool bringIn, const FolderClaim &claim = {});

signals:
    // The operation is over; `message` is what the user should be told (empty when all went
    // well).
    void finished(const QString &message);
    // Time to put back what an incoming change overwrote (putBackOverwritten()).
    void putBackDue();
    // The notes live in another folder now (Folders()).
    void folderSwitched();

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
        bool byLauncher = false; // show-all's windows: forked by the note launcher
    };

    bool begin(Step step);
    // Runs `step` now and, while the folder's lock is busy, again until the deadline.
    void runLocked(std::function<bool()> step);
    void setFolders();
    // The running entries; a file that cannot be read whole is set aside and rebuilt from the
    // live note windows, and that is told among the messages.
    store::Result<QList<store::RunningEntry>> readEntriesOrRebuild(const store::NoteStore &files);
    bool closeStart();
    void closeNext();
    bool show();
    struct Creation;
    bool queueWrite(Creation creation);
    bool tryCreate();
    store::Result<qint64> replaceLocked(const store::NoteStore &files);
    void reshowEdited(const store::NoteRecord &note, qsizetype index);
    bool startEdited(const QString &idText, qsizetype index);
    static QString startFailureMessage(const QString &detail);
    static QString nameOf(const store::NoteRecord &note);
    void startNext();
    void windowStarted(const ToStart &note, const store::Result<qint64> &started, int windows);
    void registrationsSettled(const QString &message);
    void finish();
    // What follow() and putBackOverwritten() do under the folder's lock; false while it is busy.
    bool followLocked(bool putBack);
    bool takeInConflictCopies(const store::NoteStore &files);
    void reactTo(const QList<store::NoteRecord> &before, const QList<store::NoteRecord> &now);
    bool startFollowed();
    // A write of the master's own: what it knows takes `change`, and the file's identity is the
    // new one unless another program had changed the file first (`before`, its identity then).
    void wrote(const store::files::Identity &before,
               const std::function<void(QList<store::NoteRecord> &)> &change);
    bool switchLocked();
    void switchFailed(const QString &why); // empty: said already

    store::Folders m_folders;
    QString m_programDir;
    int m_noteLineCount = 0;
    QList<NoteRow> m_noteTable;
    QStringList m_runningIds;

    Step m_step = Step::Idle;
    // What follows once every window of m_toClose has been asked (nothing: the operation ends).
    std::function<void()> m_afterClosing;
    bool m_allConfirmed = true; // every window asked so far confirmed its close
    QList<qint64> m_toClose;
    // Windows that UL closed (their write-back is done) and that may still be ending: they no
    // longer count as showing their note.
    QSet<qint64> m_closed;
    QList<ToStart> m_toStart;
    Registrations *m_registrations;
    platform::NoteLauncher *m_launcher;
    int m_launching = 0;            // windows asked of the launcher whose answer has not come
    QPointer<store::Retry> m_retry; // the step that waits for the folder's lock
    struct Creation
    {
        QPointer<QObject> asker;
        store::NoteRecord note;
        std::function<void(const store::Result<qint64> &)> done;
        qint64 lockBusySince = 0;
        std::optional<NoteAt> replacing; // an edit: the record as the editor was opened on it
    };
    std::optional<Creation> m_creation;
    QPointer<store::Retry> m_creationRetry;
    QStringList m_messages;    // for the user, at the end of the operation
    QStringList m_failedNotes; // notes whose window could not start

    // MDATA.INI as the master last took it in: which file it was and its records.
    store::files::Identity m_knownIdentity;
    QList<store::NoteRecord> m_known;
    std::optional<store::files::Identity> m_saidUnreadable; // said once per state of the file
    QSet<QString> m_saidCopies;                             // conflict copies that failed, said
    std::optional<QList<store::NoteRecord>> m_putBackBase;  // before the first incoming change
    QStringList m_toShow; // windows to start once the closes are done, by identifier text
    struct Switch
    {
        store::Folders from;
        store::Folders to;
        bool bringIn = false;
        bool wasShown = false;
        FolderClaim claim;
    };
    std::optional<Switch> m_switch;
};

} // namespace master

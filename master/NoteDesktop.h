// The master's notes on the desktop: the program folder and line count (APC), showing all notes
// (HYOUZI) and closing running notes (UL). No window of its own; Form1 owns one and forwards.
#pragma once

#include "store/Records.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class QWidget;

namespace master {

// One position of the master's note table: a record as read, and the task identifier that the
// last HYOUZI got when it started the note's window (0 when it did not start it).
struct NoteRow
{
    store::NoteRecord note;
    qint64 NoteTaskId = 0;
};

class NoteDesktop
{
public:
    QString AppDir;           // the data folder (MDATA.INI, IDDATA.INI), ending in "/"
    QString ProgramDir;       // the program folder (memlet), ending in "/"
    int NoteLineCount = 0;    // lines of MDATA.INI (plus one after HYOUZI)
    QList<NoteRow> NoteTable; // index 0 unused, as the tables are indexed from 1
    QStringList RunningIds;   // RunningId of the entries read last

    // Sets ProgramDir and AppDir and counts the lines of MDATA.INI. False (with `error`) when the
    // file exists but cannot be read.
    bool APC(QString *error = nullptr);
    // Starts one note window for every record whose identifier has no live running entry, records
    // each window's process id in its entries, and drops the entries that provably have no live
    // window of this folder. Reports a malformed file or a failed start through `error` and
    // changes nothing then.
    bool HYOUZI(QString *error = nullptr);
    // Asks every listed note window to close and waits for each one's write-back in turn. Always
    // returns; windows that cannot be reached are skipped.
    void UL();

    // Starts the note window of one note that is being created and records its task identifier.
    // Returns the task identifier, or 0 with `error` set.
    qint64 startNote(const store::NoteRecord &note, QString *error = nullptr);

private:
    // Windows that UL closed (their write-back is done) and that may still be ending: they no
    // longer count as showing their note.
    QSet<qint64> m_closed;
};

} // namespace master

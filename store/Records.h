// The records of MDATA.INI and IDDATA.INI and the field syntax both files share.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"
#include "Value.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace store {

// One note: one record of MDATA.INI, ten fields in file order.
struct NoteRecord
{
    // Field positions, in the file and in the argument string alike.
    enum Field : int
    {
        Text,
        BackColor,
        FontName,
        FontSize,
        Top,
        Left,
        Width,
        Height,
        ForeColor,
        Id
    };

    Value NoteText;      // text
    Value NoteBackColor; // text holding a decimal colour number
    Value NoteFontName;  // text
    Value NoteFontSize;  // number, or text holding a number
    Value NoteTop;       // number, twips
    Value NoteLeft;      // number, twips
    Value NoteWidth;     // number, twips
    Value NoteHeight;    // number, twips
    Value NoteForeColor; // number
    Value NoteId;        // number, a positive integer

    static constexpr int FieldCount = 10;
    Value &field(int index);             // 0..9 in file order
    const Value &field(int index) const; // 0..9 in file order
    bool operator==(const NoteRecord &other) const;
};

// One open note window: one entry of IDDATA.INI.
struct RunningEntry
{
    Value RunningId;     // text: the note identifier as the window received it
    Value RunningTaskId; // the text "0" until the master records the task identifier, then a number

    bool operator==(const RunningEntry &other) const;
};

} // namespace store

Q_DECLARE_TYPEINFO(store::NoteRecord, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(store::RunningEntry, Q_RELOCATABLE_TYPE);

namespace store {

// The field syntax. Parsing takes the bytes of a whole file; a file that cannot be read whole
// (a record cut short, a number field that is not a number, text after a closing quote, bytes
// that are not code page 932) fails with a message that names the file's line, so that nothing
// is ever rewritten from a partial read. `fileName` only names the file in messages.
// A file's text ends at its first 0x1A, the end-of-file mark of older tools (see textLength).
Result<QList<NoteRecord>> parseNoteRecords(const QByteArray &bytes,
                                           const QString &fileName = QStringLiteral("MDATA.INI"));

// What can be read of a file that may hold damaged records: every record that reads whole, and
// the line (from 1) on which each of the others starts. Reading goes on at the next line start
// after the damage, or, for a record that ran short of fields into the next line, at that line.
// Only for showing notes: a file is never rewritten from it.
struct NoteReadout
{
    QList<NoteRecord> records;
    QList<int> badLines;
};
NoteReadout parseNoteRecordsSkippingDamaged(const QByteArray &bytes,
                                            const QString &fileName = QStringLiteral("MDATA.INI"));
Result<QList<RunningEntry>>
parseRunningEntries(const QByteArray &bytes,
                    const QString &fileName = QStringLiteral("IDDATA.INI"));

// Writing: every value in its kind, CR LF after each record. Fails, naming the character, when a
// text holds a double quote or a character that code page 932 cannot hold.
Result<QByteArray> serializeNoteRecord(const NoteRecord &record);
Result<QByteArray> serializeNoteRecords(const QList<NoteRecord> &records);
Result<QByteArray> serializeRunningEntries(const QList<RunningEntry> &entries);

// How a user knows note field `index` (0..9), for messages: "メッセージ" ... "付箋番号".
QString noteFieldLabel(int index);

// Physical lines of the text: CR LF, CR or LF each end a line; an unterminated last line counts;
// empty is 0.
int countLines(const QByteArray &bytes);

// How many of a file's bytes are its text: all of them up to the first 0x1A. Older tools ended a
// file there (the DOS end-of-file mark) and read nothing after it; it is never the second byte of
// a code page 932 character, so the cut never splits one.
qsizetype textLength(const QByteArray &bytes);

} // namespace store

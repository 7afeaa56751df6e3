// Note identifiers: choosing a new one and the four fixed ways of comparing them.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Records.h"

#include <QList>
#include <QString>

namespace store {

// The smallest integer not below lineCount + 1 that no record uses as its NoteId (numbers
// against numbers). An empty file gives 1; identifiers 1, 2, 3 give 4; 1 and 3 with a count of
// 2 give 4.
qint64 chooseNewNoteId(int lineCount, const QList<NoteRecord> &records);

// Master: a record against a running entry. The record's number written as its decimal text
// equals the entry's text exactly (10 matches "10", not "1"; 12 does not match "012").
bool recordMatchesEntry(const Value &noteId, const QString &runningId);

// Note window: its own identifier text against a running entry, exactly ("05" is not "5").
bool ownIdMatchesEntry(const QString &ownId, const QString &runningId);

// The numeric value of an identifier text: the decimal number at its start, 0 when it does not
// start with one ("05" -> 5, "7abc" -> 7, "2.5" -> 2.5, "x" -> 0).
double idNumericValue(const QString &idText);

// Nearest integer, a value exactly halfway going to the even neighbour (2.5 -> 2, 3.5 -> 4).
qint64 roundHalfEven(double value);

// Note window: its own identifier text against a record. The text's numeric value taken to the
// nearest integer (half to even) equals the record's number; a NoteId held as text is converted
// to a number first ("05" matches 5 and "5"). A NoteId that is no number matches nothing.
bool ownIdMatchesRecord(const QString &ownId, const Value &noteId);

} // namespace store

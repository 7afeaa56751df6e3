// Merging notes from another computer: a conflict copy into MDATA.INI, this computer's notes into
// a folder that has notes of its own, and notes that another computer's file overwrote. Pure
// functions over records; NoteStore runs them under the folder lock.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "NoteHistory.h"
#include "Records.h"

#include <QList>

namespace store {

struct Merged
{
    QList<NoteRecord> records; // the file's records after the merge
    QList<NoteRecord> added;   // what the merge brought in, as it is in `records`
};

// A conflict copy's records into MDATA.INI's. Its last common ancestor with MDATA.INI is unknown,
// so it is merged against what this computer has seen, and a merge only ever adds:
// - a record equal to one of `main` but for its place: nothing to do (places are main's);
// - a record seen here whose number `main` no longer holds: erased, so it stays so (a note this
//   computer wrote comes back through putBackOverwritten when no erase was recorded);
// - a record seen here whose number `main` holds in a version this computer wrote after it:
//   changed here, so it stays so;
// - any other record (never seen here, or changed on both computers at once) is added at the end,
//   under a new number when its number is taken; a record that `main` holds already under
//   another number (a copy merged before) is not added twice.
// New numbers follow the largest number of both files, so that two computers merging the same
// pair of files write the same bytes.
Merged mergeConflictCopy(const QList<NoteRecord> &main, const QList<NoteRecord> &copy,
                         const NoteHistory &history);

// This computer's notes into a folder whose MDATA.INI has notes of its own: every note of
// `incoming` that `target` does not hold (place and number aside) is added, under a new number
// when its number is taken. Nothing is lost, and equal notes are kept once.
Merged mergeBringingIn(const QList<NoteRecord> &target, const QList<NoteRecord> &incoming);

// Notes that another computer's file overwrote: the records of `previous` (the file as this
// computer last read it) that this computer wrote, that `incoming` does not hold any more and
// that `erased` (the erased-notes records) does not name. Such a note is put back:
// - at the end, under its number, when no record of `incoming` has it;
// - in place of the record of `incoming` with its number, when this computer saw that version
//   before it wrote its own (a file older than this computer's change came back);
// - not at all when that record is a version this computer has not seen, or saw later: a change
//   on the other computer, or another note under the number.
// An erased record names the note when it has the note's number and is its version, or a
// version this computer had not seen before it wrote its own (changed there, then erased).
Merged putBackOverwritten(const QList<NoteRecord> &previous, const QList<NoteRecord> &incoming,
                          const QList<NoteRecord> &erased, const NoteHistory &history);

} // namespace store

// What a note remembers beyond its record (kept above other windows, shown on every workspace,
// the workspace it was closed on), in a file of its own beside MDATA.INI: pinboa-notes.ini.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"
#include "Value.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>

namespace store {

// A note without an entry has these defaults, which are the older tool's behaviour.
struct NoteOptions
{
    bool above = false;           // kept above normal windows
    bool allWorkspaces = false;   // shown on every workspace
    std::optional<int> workspace; // where it was closed; none: where the user is when shown
    bool operator==(const NoteOptions &other) const = default;
    bool isDefault() const { return *this == NoteOptions{}; }
};

// Every note's options that differ from the defaults, by note number.
using NoteOptionsTable = QMap<qint64, NoteOptions>;

// The file, UTF-8 with LF line ends, one section per note number:
//   [7]
//   above=true
//   allWorkspaces=false
//   workspace=2
// Blank lines and lines that start with "#" or ";" are passed by; blanks around names and values
// are allowed. A section may leave keys out (their defaults hold). Anything else (a key this
// program does not know, a value that is not "true" or "false" or a workspace number, a number
// given twice, a line outside a section, bytes that are not UTF-8) makes the whole file damaged:
// it is never rewritten from what was read.
inline constexpr char NoteOptionsFileName[] = "pinboa-notes.ini";

// `fileName` only names the file in the message, which gives the line.
Result<NoteOptionsTable>
parseNoteOptions(const QByteArray &bytes,
                 const QString &fileName = QString::fromLatin1(NoteOptionsFileName));
// Entries with the defaults are left out; an empty table is a file of its comment only.
QByteArray serializeNoteOptions(const NoteOptionsTable &options);

// The note number of a window: its identifier text's number to the nearest integer, as the close
// matches records ("07" is note 7).
qint64 windowNoteNumber(const QString &idText);
// The note number of a record: its NoteId when that is a whole number (the text "05" too); none
// when no window can match it.
std::optional<qint64> recordNoteNumber(const Value &noteId);

// What reading the file found.
struct NoteOptionsReadout
{
    enum class State
    {
        Missing,    // no file: every note has the defaults
        Whole,      // read whole: `options`
        Damaged,    // it does not read as the syntax above: `problem` says where
        Unreadable, // it cannot be read at all (no permission, a folder in its place): `problem`
    };
    State state = State::Missing;
    NoteOptionsTable options; // empty unless Whole
    QString problem;          // for the user, when Damaged or Unreadable

    // A note's options as they are to be applied: the defaults unless the file read whole.
    NoteOptions of(qint64 number) const { return options.value(number); }
};

// The caller holds the folder's lock: reads the file, lets `change` edit the table and saves it
// when it differs. A damaged or unreadable file is never rewritten.
Status updateNoteOptionsLocked(const QString &notesDir,
                               const std::function<bool(NoteOptionsTable &)> &change);

} // namespace store

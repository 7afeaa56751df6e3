// Which note windows of a folder are alive, and which running entries stand for them: what the
// master learns from the processes themselves, where IDDATA.INI may be stale.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Records.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace master {

// The identifier text a note window gets in its argument string, and so writes into its entry.
QString idTextOf(const QString &noteArgs);
// The same for a note's record; nothing for a note that cannot go to a window.
std::optional<QString> windowIdOf(const store::NoteRecord &note);

// The task identifier of an entry: the number at the start of its text form; 0 for "0" and for
// text that does not start with a number.
qint64 entryTaskId(const store::RunningEntry &entry);

// The live note windows of a program folder, by process id: which note each one shows, by its
// identifier text as it received it (the text it writes into its own entry).
struct LiveWindows
{
    QHash<qint64, QString> idByPid;
    QSet<QString> ids;

    // Every live note window of `programDir` but those in `leaving`.
    static LiveWindows scan(const QString &programDir, const QSet<qint64> &leaving = {});

    // An entry provably without a window: its task identifier names no live note window of this
    // folder (or one that shows another note: the number was reused), or it has no task
    // identifier yet and no live note window of this folder shows its note.
    bool provablyDead(const store::RunningEntry &entry) const;
    // The windows an entry stands for: the one of its task identifier when that shows the
    // entry's note (or shows one that cannot be told); without a task identifier, every live
    // window that shows the note.
    QList<qint64> windowsOf(const store::RunningEntry &entry) const;
    // Entries as the live windows would have written them, each with its task identifier: for a
    // running-note file that has to be rebuilt.
    QList<store::RunningEntry> entries() const;
};

} // namespace master

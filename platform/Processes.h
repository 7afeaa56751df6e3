// Note window processes: the program folder, starting a note window, and finding live ones.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Result.h"

#include <QList>
#include <QString>

namespace platform {

// The folder that holds the running program, ending in "/".
QString programFolder();
// Test seam: another folder instead of the running program's ("" restores it).
void setProgramFolderForTesting(const QString &folder);

// A short key for a folder, the same however it is spelled (a trailing "/", "..", a link), for
// the names of the local sockets of its programs: 16 hexadecimal digits of a hash of its path.
QString folderKey(const QString &folder);

// The note window program of a folder: <folder>/memlet.
QString noteWindowProgram(const QString &appDir);

// Starts <appDir>/memlet detached, with `noteArgs` as its one argument exactly, in `appDir`.
// Gives the task identifier (the process id).
store::Result<qint64> startNoteWindow(const QString &appDir, const QString &noteArgs);

// A note window process of this folder that is alive now: its pid and its argument string.
struct LiveNoteWindow
{
    qint64 pid = 0;
    QString noteArgs;
};
// Every live process whose program is `appDir`'s memlet and which has an argument string (read
// from /proc): the note launcher, memlet without one, is none.
QList<LiveNoteWindow> liveNoteWindows(const QString &appDir);
// True when `pid` is a live process of `appDir`'s memlet with an argument string.
bool isLiveNoteWindow(const QString &appDir, qint64 pid);
// Asks the note window process `pid` of `appDir` to end (SIGTERM): it closes as on any other
// request to end, with its write-back. Does nothing when `pid` is no note window of the folder.
void endNoteWindow(const QString &appDir, qint64 pid);

} // namespace platform

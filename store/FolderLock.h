// The lock of one program folder: a kernel lock (flock) on ".pinboa.lock" beside the data files.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"

#include <QString>

namespace store {

// How a wait for the lock passes the time.
enum class LockWait
{
    // The thread's event loop keeps running between tries (windows repaint, menus open, signals
    // turned into events are handled), so that nothing looks frozen while another program works.
    Responsive,
    // Plain sleeps between tries: for a process whose window system is gone and whose event loop
    // must not run again (it is ending).
    Quiet
};

// Held from construction to destruction. The kernel releases it when the holder dies, so a
// crashed process never blocks the others. A holder that lives on but stops (a process stopped
// by a signal, a program of another make holding the file) blocks no one for ever either: the
// wait is bounded, and then nothing is read or written. Never hold it while waiting for the user.
class FolderLock
{
public:
    explicit FolderLock(const QString &appDir, LockWait wait = LockWait::Responsive);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    bool locked() const { return m_fd >= 0; }
    // Why it could not be taken; busy() when the wait ran out.
    const Error &error() const { return m_error; }

    static QString lockFileName() { return QStringLiteral(".pinboa.lock"); }
    // How long a taker waits for a holder, at most.
    static constexpr int TimeoutMs = 4000;

private:
    int m_fd = -1;
    Error m_error;
};

} // namespace store

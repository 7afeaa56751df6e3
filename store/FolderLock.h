// The lock of one data folder: a kernel lock (flock) on ".pinboa.lock" beside the data files.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"

#include <QString>

namespace store {

// How a taker of the lock meets a holder.
enum class LockWait
{
    // One try: a held lock fails busy() at once, having touched nothing. The programs' windows
    // try again from a timer (store::Retry), so that nothing the user or another process does
    // runs in the middle of the operation.
    None,
    // Plain sleeps between tries, up to TimeoutMs: for a thread that has no event loop to go back
    // to (a note window ending after its display is gone, a process without windows).
    Sleep,
    // The caller holds the folder's lock already (a FolderLock of its own around several steps).
    Held
};

// Held from construction to destruction. The kernel releases it when the holder dies, so a
// crashed process never blocks the others. A holder that lives on but stops (a process stopped
// by a signal, a program of another make holding the file) blocks no one for ever either: every
// wait is bounded, and then nothing is read or written. Never hold it while waiting for the user.
class FolderLock
{
public:
    explicit FolderLock(const QString &appDir, LockWait wait = LockWait::None);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    // True also for LockWait::Held: the caller's own lock covers this one.
    bool locked() const { return m_fd >= 0 || m_held; }
    // Why it could not be taken; busy() when another holder has it.
    const Error &error() const { return m_error; }

    static QString lockFileName() { return QStringLiteral(".pinboa.lock"); }
    // How long a taker waits for a holder, at most.
    static constexpr int TimeoutMs = 4000;
    // What the user is told when the lock of `appDir` stayed held for `waitedMs`.
    static Error busyError(const QString &appDir, int waitedMs = TimeoutMs);

private:
    int m_fd = -1;
    bool m_held = false;
    Error m_error;
};

} // namespace store

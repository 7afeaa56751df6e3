// An operation that needs the folder's lock, tried again from a timer while the lock is busy.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "FolderLock.h"

#include <QObject>
#include <functional>

class QTimer;

namespace store {

// A wait for the lock as a state of the operation: the event loop runs between tries, and only
// the operation's own attempt runs when it is tried again, so that nothing else can happen in the
// middle of it. The window that asked keeps the Retry as a child: closing the window deletes it
// and so cancels the operation before it writes.
class Retry : public QObject
{
    Q_OBJECT
public:
    enum Outcome
    {
        Over, // done, or failed for a reason that waiting does not mend
        Busy  // the lock (or whatever the attempt waits for) was busy: nothing was done
    };

    // Runs `attempt` at once; while it answers Busy, again from a timer until `timeoutMs` has
    // passed, and then `expired` runs once. Gives the pending Retry, a child of `owner`, or
    // nullptr when the first attempt was over already.
    static Retry *start(QObject *owner, std::function<Outcome()> attempt,
                        std::function<void()> expired, int timeoutMs = FolderLock::TimeoutMs);

    // Nothing more runs: no attempt, no `expired`. An attempt may call it on its own Retry.
    void cancel();

private:
    Retry(QObject *owner, std::function<Outcome()> attempt, std::function<void()> expired,
          int timeoutMs);
    void tryAgain();

    std::function<Outcome()> m_attempt;
    std::function<void()> m_expired;
    QTimer *m_timer;
    qint64 m_deadline; // on the monotonic clock, ms
    int m_interval = 2;
    bool m_cancelled = false;
};

} // namespace store

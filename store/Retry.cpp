// An operation tried again from a timer while the folder's lock is busy.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Retry.h"

#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>

namespace store {

namespace {

qint64 now()
{
    return QDeadlineTimer::current().deadline();
}

// Short at first, as a holder keeps the lock for a moment only; longer later.
constexpr int FirstIntervalMs = 2;
constexpr int LongestIntervalMs = 50;

} // namespace

Retry *Retry::start(QObject *owner, std::function<Outcome()> attempt, std::function<void()> expired,
                    int timeoutMs)
{
    if (attempt() == Over)
        return nullptr;
    return new Retry(owner, std::move(attempt), std::move(expired), timeoutMs);
}

Retry::Retry(QObject *owner, std::function<Outcome()> attempt, std::function<void()> expired,
             int timeoutMs)
    : QObject(owner), m_attempt(std::move(attempt)), m_expired(std::move(expired)),
      m_timer(new QTimer(this)), m_deadline(now() + timeoutMs)
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &Retry::tryAgain);
    m_timer->start(FirstIntervalMs);
}

void Retry::tryAgain()
{
    if (m_cancelled)
        return;
    if (m_attempt() == Over) {
        cancel();
        return;
    }
    if (m_cancelled)
        return; // the attempt itself gave up
    if (now() >= m_deadline) {
        cancel();
        if (m_expired)
            m_expired(); // the Retry is deleted later, not under its own feet
        return;
    }
    m_interval = std::min(m_interval * 2, LongestIntervalMs);
    m_timer->start(int(std::min<qint64>(m_interval, std::max<qint64>(1, m_deadline - now()))));
}

void Retry::cancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    m_timer->stop();
    deleteLater();
}

} // namespace store

// The note windows a master started, until each one's entry carries its task identifier.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Registrations.h"

#include "platform/Processes.h"
#include "store/NoteStore.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace master {

namespace {

constexpr int RegisterBaseMs = 5000;
constexpr int RegisterPerWindowMs = 200;
constexpr int RegisterPollMs = 20;
// The longest a registration that was seen waits for others to be written with it.
constexpr int RecordBatchMs = 250;

qint64 now()
{
    return QDeadlineTimer::current().deadline();
}

} // namespace

Registrations::Registrations(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true); // re-armed after each look, which may wait for the files
    connect(m_timer, &QTimer::timeout, this, &Registrations::poll);
}

void Registrations::track(const store::Folders &folders, const QString &programDir,
                          const QString &idText, qint64 pid, int windowsStarting)
{
    m_folders = folders;
    m_programDir = programDir;
    m_waiting.append(
        {idText, pid, now() + RegisterBaseMs + RegisterPerWindowMs * qint64(windowsStarting)});
    if (!m_timer->isActive())
        m_timer->start(RegisterPollMs);
}

// Writes each started window's task identifier into every entry of its note once the window has
// appended its entry. A window that died, or did not register in time, is waited for no longer.
// Each look only reads; the identifiers that appeared are written in one rewrite, once no other
// window is still starting or once the oldest of them has waited RecordBatchMs.
void Registrations::poll()
{
    QHash<QString, qint64> pidById;
    for (const StartedWindow &window : std::as_const(m_waiting))
        pidById.insert(window.idText, window.pid);
    const store::NoteStore files(m_folders);
    auto entries = files.readRunningEntries();
    const qint64 time = now();
    // Entries of tracked windows, and those of them that carry their window's identifier.
    QSet<QString> appended, recorded;
    const auto sort = [&](const QList<store::RunningEntry> &list) {
        appended.clear();
        recorded.clear();
        for (const store::RunningEntry &entry : list) {
            const QString id = entry.RunningId.toText();
            const auto pid = pidById.constFind(id);
            if (pid == pidById.constEnd())
                continue;
            appended.insert(id);
            const auto number = entry.RunningTaskId.toNumber();
            if (entry.RunningTaskId.isNumber() && number && *number == double(*pid))
                recorded.insert(id);
        }
    };
    if (entries) {
        sort(entries.value());
        if (appended.size() > recorded.size()) {
            if (m_batchSince == 0)
                m_batchSince = time;
            // Written now when no other window is still starting, or when one that registered
            // would otherwise be waited for no longer.
            const bool othersStarting =
                std::any_of(m_waiting.cbegin(), m_waiting.cend(), [&](const StartedWindow &w) {
                    return !appended.contains(w.idText) && time <= w.waitUntil &&
                           platform::isLiveNoteWindow(m_programDir, w.pid);
                });
            const bool lastChance =
                std::any_of(m_waiting.cbegin(), m_waiting.cend(), [&](const StartedWindow &w) {
                    return appended.contains(w.idText) && !recorded.contains(w.idText) &&
                           time > w.waitUntil;
                });
            if (!othersStarting || lastChance || time - m_batchSince >= RecordBatchMs) {
                entries = files.recordTaskIds(pidById);
                if (entries) {
                    sort(entries.value());
                    m_batchSince = 0;
                }
            }
        }
    }
    if (entries) {
        m_runningIds.clear();
        for (const store::RunningEntry &entry : entries.value())
            m_runningIds.append(entry.RunningId.toText());
    } else if (!entries.busy()) {
        // A running-note file that cannot be read: the next refresh rebuilds it.
        m_message = entries.error();
        m_waiting.clear();
    }
    m_waiting.removeIf([&](const StartedWindow &window) {
        return recorded.contains(window.idText) || time > window.waitUntil ||
               !platform::isLiveNoteWindow(m_programDir, window.pid);
    });
    if (!m_waiting.isEmpty()) {
        m_timer->start(RegisterPollMs);
        return;
    }
    m_batchSince = 0;
    emit settled(std::exchange(m_message, QString()));
}

} // namespace master

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

#include <utility>

namespace master {

namespace {

constexpr int RegisterBaseMs = 5000;
constexpr int RegisterPerWindowMs = 200;
constexpr int RegisterPollMs = 20;

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
void Registrations::poll()
{
    QHash<QString, qint64> pidById;
    for (const StartedWindow &window : std::as_const(m_waiting))
        pidById.insert(window.idText, window.pid);
    QSet<QString> registered;
    const auto entries = store::NoteStore(m_folders).recordTaskIds(pidById);
    if (entries) {
        m_runningIds.clear();
        for (const store::RunningEntry &entry : entries.value()) {
            m_runningIds.append(entry.RunningId.toText());
            if (pidById.contains(entry.RunningId.toText()))
                registered.insert(entry.RunningId.toText());
        }
    } else if (!entries.busy()) {
        // A running-note file that cannot be read: the next refresh rebuilds it.
        m_message = entries.error();
        m_waiting.clear();
    }
    const qint64 time = now();
    m_waiting.removeIf([&](const StartedWindow &window) {
        return registered.contains(window.idText) || time > window.waitUntil ||
               !platform::isLiveNoteWindow(m_programDir, window.pid);
    });
    if (!m_waiting.isEmpty()) {
        m_timer->start(RegisterPollMs);
        return;
    }
    emit settled(std::exchange(m_message, QString()));
}

} // namespace master

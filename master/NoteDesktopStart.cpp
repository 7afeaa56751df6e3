// The master's note windows starting: show-all's through the note launcher, the others the old
// way, and their registrations.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteDesktop.h"

#include "Registrations.h"
#include "platform/NoteLauncher.h"
#include "platform/Processes.h"

#include <QTimer>

namespace master {

namespace {

// Windows started in one turn of the event loop: starting one takes a moment, and fifty in a row
// would hold the master's windows still meanwhile.
constexpr int StartsPerTurn = 8;

} // namespace

void NoteDesktop::startNext()
{
    // All without waiting: each window's start-up runs while the next ones are being started.
    const int windows = int(m_toStart.size()) + m_launching + 1;
    for (int i = 0; i < StartsPerTurn && !m_toStart.isEmpty(); ++i) {
        const ToStart note = m_toStart.takeFirst();
        if (!note.byLauncher) {
            windowStarted(note, platform::startNoteWindow(m_programDir, note.args), windows);
            continue;
        }
        // The launcher answers from the event loop, each answer within its bound; without it,
        // the window starts the old way at once.
        ++m_launching;
        m_launcher->startNoteWindow(
            m_programDir, note.args, [this, note, windows](const store::Result<qint64> &started) {
                --m_launching;
                windowStarted(note, started, windows);
                if (m_step == Step::Registering && m_toStart.isEmpty() && !registering())
                    finish();
            });
    }
    if (!m_toStart.isEmpty()) {
        QTimer::singleShot(0, this, &NoteDesktop::startNext);
        return;
    }
    if (m_step == Step::Registering && !registering())
        finish();
}

void NoteDesktop::windowStarted(const ToStart &note, const store::Result<qint64> &started,
                                int windows)
{
    if (!started) {
        m_failedNotes.append(nameOf(m_noteTable[note.row].note) + QStringLiteral(": ") +
                             startFailureMessage(started.error()));
        return;
    }
    const qint64 pid = started.value();
    m_noteTable[note.row].NoteTaskId = pid;
    m_closed.remove(pid);
    m_registrations->track(m_folders, m_programDir, note.idText, pid, windows);
}

bool NoteDesktop::registering() const
{
    return m_launching > 0 || m_registrations->pending();
}

void NoteDesktop::registrationsSettled(const QString &message)
{
    if (!message.isEmpty())
        m_messages.append(message);
    m_runningIds = m_registrations->runningIds();
    if (m_step == Step::Registering && m_toStart.isEmpty() && !m_launching)
        finish();
}

} // namespace master

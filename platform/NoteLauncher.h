// The master's side of the note launcher: memlet started once and kept while the master runs,
// which forks each note window from itself with the note window's libraries and font
// configuration loaded once for all of them.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Result.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace platform {

class LocalSocket;

// A window the launcher starts is what startNoteWindow starts: a process of its own with the
// program folder's memlet as its program, detached (a session of its own, no child of the master),
// in the program folder, with the argument string as its one argument on its command line. When
// the launcher cannot start, does not answer in time or ends, the windows start the old way, with
// startNoteWindow; a launcher that failed is tried again a minute later. Never waits: every answer
// comes from the event loop, each within a bound.
class NoteLauncher : public QObject
{
    Q_OBJECT
public:
    explicit NoteLauncher(QObject *parent = nullptr);
    ~NoteLauncher() override;
    NoteLauncher(const NoteLauncher &) = delete;
    NoteLauncher &operator=(const NoteLauncher &) = delete;

    using Started = std::function<void(const store::Result<qint64> &)>;

    // Starts the note window of `appDir` for `noteArgs`. `started` gets the task identifier (the
    // process id) or why there is none: from the event loop, in the order asked, or at once when
    // the window starts the old way.
    void startNoteWindow(const QString &appDir, const QString &noteArgs, Started started);
    // The launcher's process, 0 when none runs.
    qint64 processId() const { return m_pid; }

private:
    struct Request
    {
        QString args;
        Started started;
    };
    bool launch(const QString &appDir);
    void takeAnswers();
    // The launcher is no longer asked: the windows it was asked for and did not answer start the
    // old way, unless one is found running already.
    void giveUp(const char *why);
    void stop();

    QString m_appDir;
    QByteArray m_environment; // the master's, as the launcher got it
    qint64 m_pid = 0;
    LocalSocket *m_socket = nullptr;
    QList<Request> m_pending;
    QTimer *m_deadline;
    qint64 m_notBefore = 0; // on the monotonic clock, ms: no new launcher before, after a failure
};

} // namespace platform

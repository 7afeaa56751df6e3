// The close request between the programs: "activate the window of a task identifier" and "send
// keys and wait until processed", over a local socket that each note window listens on.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Result.h"

#include <QObject>
#include <QString>
#include <functional>

namespace platform {

class LocalServer;
class LocalSocket;

// The socket name of the note window with process id `pid` of the folder `appDir`: built from the
// user, a hash of the folder and the pid, so that folders and users never meet. When another
// user took it first, the window listens under the next of socketNames().
QString noteWindowSocketName(const QString &appDir, qint64 pid);

// Note window side. Listens under the name of its own folder and pid, in the abstract socket
// namespace (nothing is left behind by a killed window); connections from other users are dropped.
class CloseRequestServer : public QObject
{
    Q_OBJECT
public:
    explicit CloseRequestServer(QObject *parent = nullptr);
    store::Status listen(const QString &appDir, qint64 pid);

    // Called for "activate"; must raise and activate the window.
    std::function<void()> onActivate;
    // Called for a key sequence; must handle it exactly as a key press. `reply` tells the master
    // whether the window closed: called once the close is written back (true), or when the
    // window cannot close now (false). It may be called later, from the event loop, or never;
    // calling it after the master hung up does nothing.
    std::function<void(const QString &keys, std::function<void(bool closed)> reply)> onKeys;

private:
    void acceptConnection(LocalSocket *socket);
    LocalServer *m_server = nullptr;
};

// Master side, from the event loop, so that the master's windows keep responding meanwhile:
// connects to the note window of a task identifier, asks it to activate, sends Alt+F10 and waits
// for the answer or for the connection to drop, each step bounded. Emits done() once, then
// deletes itself.
class NoteWindowCloser : public QObject
{
    Q_OBJECT
public:
    NoteWindowCloser(const QString &appDir, qint64 taskId, QObject *parent = nullptr);
    void start();

signals:
    // `confirmed`: the window closed (its write-back is done) or ended. False when it could not
    // be reached, said it could not close, or did not answer in time.
    void done(bool confirmed);

private:
    void finish(bool confirmed);

    QString m_appDir;
    qint64 m_taskId;
    bool m_started = false;
};

} // namespace platform

// The close request between the programs: "activate the window of a task identifier" and "send
// keys and wait until processed", over a local socket that each note window listens on.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Result.h"

#include <QObject>
#include <QString>
#include <functional>

class QTimer;

namespace platform {

class LocalServer;
class LocalSocket;

// The socket name of the note window with process id `pid` of the folder `appDir`: built from the
// user, a hash of the folder and the pid, so that folders and users never meet.
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
    // Called for a key sequence; must handle it exactly as a key press, and call `reply` when
    // that handling (the close with its write-back) is done, telling whether the window closed
    // (false: "not yet"). The answer is sent then, if the asker still listens.
    std::function<void(const QString &keys, std::function<void(bool closed)> reply)> onKeys;

private:
    void acceptConnection(LocalSocket *socket);
    LocalServer *m_server = nullptr;
};

// Master side. Reaches the note window of a task identifier; every call is bounded in time.
class NoteWindowConnection
{
public:
    NoteWindowConnection();
    ~NoteWindowConnection();
    NoteWindowConnection(const NoteWindowConnection &) = delete;
    NoteWindowConnection &operator=(const NoteWindowConnection &) = delete;

    // Connects and asks the window to activate itself. False at once when no window of that task
    // identifier listens in this folder; then nothing is sent anywhere.
    bool activate(const QString &appDir, qint64 taskId);
    // Sends the keys to the activated window and waits for its answer or for the connection to
    // drop (the window ended), at most `timeoutMs`. False when no window was activated, when the
    // window answered that it could not close, or when it did not confirm within the time: it
    // may still be closing, or be stuck.
    bool sendKeysAndWait(const QString &keys, int timeoutMs);

private:
    struct Private;
    Private *d;
};

// Both steps for one task identifier: activate, then send Alt+F10 and wait. True only when the
// window confirmed its close (its write-back is done) or ended; false when it could not be
// reached or did not answer in time.
bool closeNoteWindow(const QString &appDir, qint64 taskId);

// The same from the event loop, for a program whose windows must keep responding meanwhile:
// connects, asks the window to activate, sends Alt+F10 and waits for the answer or for the
// connection to drop, each step bounded. Emits done() once, then deletes itself.
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
    void tryConnect();
    void finish(bool confirmed);

    QString m_appDir;
    qint64 m_taskId;
    LocalSocket *m_socket = nullptr;
    QTimer *m_deadline = nullptr;
    bool m_sent = false;
    bool m_finished = false;
};

} // namespace platform

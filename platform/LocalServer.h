// The listening end of the local socket (LocalSocket.h): a name in the abstract namespace, and
// only this user's processes taken.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "LocalSocket.h" // whole, for the type of newConnection()'s argument
#include "store/Result.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;
class QTimer;

namespace platform {

class LocalServer : public QObject
{
    Q_OBJECT
public:
    explicit LocalServer(QObject *parent = nullptr);
    ~LocalServer() override;

    // Listens under the first of `names` that is free, in the abstract namespace, and gives that
    // name. A failure has a message for the user; it is `busy` when every name was taken.
    store::Result<QString> listen(const QStringList &names);
    void close();
    // For the connections accepted from now on (protocol::IdleTimeoutMs unless set).
    void setIdleTimeout(int ms) { m_idleTimeoutMs = ms; }
    // Accepting rests for a moment after the process ran out of descriptors.
    bool isPaused() const { return m_paused; }

signals:
    // A connection from a process of this user, already watched; the server is its parent.
    // Connections from other users are closed unanswered.
    void newConnection(platform::LocalSocket *socket);

private:
    void acceptConnections();
    void pause();

    int m_fd = -1;
    int m_idleTimeoutMs;
    bool m_paused = false;
    bool m_strangerLogged = false;
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_resume = nullptr;
};

} // namespace platform

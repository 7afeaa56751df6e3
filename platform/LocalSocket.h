// A small line-based local socket between the user's own processes: AF_UNIX stream sockets with
// names in the abstract namespace, so that a killed process leaves nothing behind, and the peer's
// user checked on every connection instead of file permissions. Enough for the close request and
// the single-instance check; every wait is bounded.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class QSocketNotifier;

namespace platform {

class LocalSocket : public QObject
{
    Q_OBJECT
public:
    explicit LocalSocket(QObject *parent = nullptr);
    ~LocalSocket() override;
    LocalSocket(const LocalSocket &) = delete;
    LocalSocket &operator=(const LocalSocket &) = delete;

    enum class Connect
    {
        Connected,
        NoListener, // nobody listens under the name: final
        Busy        // the listener's queue is full: may be tried again
    };
    // One attempt, never waiting.
    Connect tryConnect(const QString &name);
    // Attempts until connected, nobody listens, or `timeoutMs` has passed.
    bool connectTo(const QString &name, int timeoutMs);

    bool isConnected() const { return m_fd >= 0 && !m_peerGone; }
    // Sends the bytes whole, waiting at most `timeoutMs` for room. False when the peer has gone or
    // the time ran out.
    bool write(const QByteArray &bytes, int timeoutMs);
    // A whole line that has arrived, without its "\n"; nothing while none has.
    std::optional<QByteArray> readLine();
    // Waits at most `timeoutMs` for bytes or the peer's end, and takes what came. False when
    // nothing came in time or the connection is over.
    bool waitForReadyRead(int timeoutMs);
    void close();

    // From the event loop: readyRead() when bytes arrive, disconnected() once the peer has gone.
    void watch();

signals:
    void readyRead();
    void disconnected();

private:
    friend class LocalServer;
    void adopt(int fd);
    // Reads what is there; false when the peer has gone.
    bool takeAvailable();
    void onReadable();

    int m_fd = -1;
    bool m_peerGone = false;
    QByteArray m_buffer;
    QSocketNotifier *m_notifier = nullptr;
};

class LocalServer : public QObject
{
    Q_OBJECT
public:
    explicit LocalServer(QObject *parent = nullptr);
    ~LocalServer() override;

    // Listens under `name` in the abstract namespace. False, with `error`, when the name is taken
    // or no socket can be had.
    bool listen(const QString &name, QString *error = nullptr);
    void close();

signals:
    // A connection from a process of this user, already watched; the server is its parent.
    // Connections from other users are closed unanswered.
    void newConnection(platform::LocalSocket *socket);

private:
    void acceptConnections();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace platform

// A small line-based local socket between the user's own processes: AF_UNIX stream sockets with
// names in the abstract namespace, so that a killed process leaves nothing behind, and the peer's
// user checked on both ends instead of file permissions (LocalServer listens). Everything runs
// from the event loop: writes are queued, lines are capped, and no call ever waits.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QSocketNotifier;
class QTimer;

namespace platform {

// The names a listener of `name` tries, in order, and a client tries after it: the abstract
// namespace is shared by every user, and a name another user took first is passed by.
QStringList socketNames(const QString &name);

class LocalSocket : public QObject
{
    Q_OBJECT
public:
    // A longer line is never delivered: the connection is dropped.
    static constexpr qsizetype MaxLineLength = 4096;

    explicit LocalSocket(QObject *parent = nullptr);
    ~LocalSocket() override;
    LocalSocket(const LocalSocket &) = delete;
    LocalSocket &operator=(const LocalSocket &) = delete;

    enum class Connect
    {
        Connected,  // to a listener of this user, watched from now on
        NoListener, // nobody listens under the name
        Stranger,   // a process of another user listens: not connected
        Busy        // the listener's queue is full: may be tried again
    };
    // One attempt, never waiting.
    Connect tryConnect(const QString &name);
    // One attempt at each of `names` in order, up to the first listener of this user. Busy when
    // none was reached but one of them was busy; NoListener when none of them is this user's.
    Connect tryConnect(const QStringList &names);
    // Takes over the connected stream socket `fd` (accepted, or one end of a socket pair) and
    // watches it.
    void adopt(int fd);

    bool isConnected() const { return m_fd >= 0; }
    // Queues the bytes; they leave from the event loop as the peer takes them. A peer that takes
    // nothing for a few seconds while bytes wait is dropped. False when not connected.
    bool write(const QByteArray &bytes);
    qsizetype bytesToWrite() const { return m_outgoing.size() - m_sent; }
    // A whole line that has arrived, without its "\n"; nothing while none has.
    std::optional<QByteArray> readLine();
    // Drops the connection when nothing arrives or leaves for `ms` (0: never).
    void setIdleTimeout(int ms);
    void close();

signals:
    // Whole lines have arrived.
    void readyRead();
    // Once, from the event loop, when the connection ended other than by close(): the peer left,
    // or it was dropped (a line too long, idle, a peer that takes nothing).
    void disconnected();

private:
    void onReadable();
    void flush();
    // Closes at once, says so from the event loop.
    void drop(const char *why = nullptr);
    bool takeChunk(const char *data, qsizetype size);
    void restartIdle();

    int m_fd = -1;
    QByteArray m_buffer;
    qsizetype m_lineLength = 0; // of the line that has not ended yet
    QByteArray m_outgoing;
    qsizetype m_sent = 0; // of m_outgoing
    int m_idleTimeoutMs = 0;
    bool m_dropPending = false;
    QStringList m_strangers; // names found held by another user
    QSocketNotifier *m_reader = nullptr;
    QSocketNotifier *m_writer = nullptr;
    QTimer *m_idle = nullptr;
    QTimer *m_sendDeadline = nullptr;
};

} // namespace platform

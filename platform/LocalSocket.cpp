// AF_UNIX stream sockets in the abstract namespace, driven from the event loop.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "LocalSocket.h"

#include "Log.h"
#include "UnixSocket.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>

namespace platform {

using namespace unixsocket;

namespace {

// Names another user may have taken first: a few more, each tried in turn.
constexpr int NameSuffixes = 4;
// A peer that takes none of the bytes waiting for it in this time is dropped.
constexpr int SendTimeoutMs = 3000;
// Read in one turn of the event loop, so that one busy peer does not keep the others waiting.
constexpr qsizetype ReadPerTurn = 64 * 1024;
// Lines that arrived and were not read yet.
constexpr qsizetype MaxBuffered = 256 * 1024;

} // namespace

QStringList socketNames(const QString &name)
{
    QStringList names{name};
    for (int i = 1; i <= NameSuffixes; ++i)
        names.append(QStringLiteral("%1-%2").arg(name).arg(i));
    return names;
}

LocalSocket::LocalSocket(QObject *parent)
    : QObject(parent), m_idle(new QTimer(this)), m_sendDeadline(new QTimer(this))
{
    m_idle->setSingleShot(true);
    m_sendDeadline->setSingleShot(true);
    connect(m_idle, &QTimer::timeout, this, [this] { drop("idle"); });
    connect(m_sendDeadline, &QTimer::timeout, this, [this] { drop("its peer took nothing"); });
}

LocalSocket::~LocalSocket()
{
    close();
}

void LocalSocket::close()
{
    retire(m_reader);
    retire(m_writer);
    closeFd(m_fd);
    m_fd = -1;
    m_buffer.clear();
    m_lineLength = 0;
    m_outgoing.clear();
    m_sent = 0;
    m_idle->stop();
    m_sendDeadline->stop();
    m_dropPending = false;
}

void LocalSocket::drop(const char *why)
{
    if (m_fd < 0)
        return;
    if (why)
        qCWarning(lcPinboa, "local connection dropped: %s", why);
    close();
    m_dropPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (std::exchange(m_dropPending, false))
                emit disconnected();
        },
        Qt::QueuedConnection);
}

void LocalSocket::adopt(int fd)
{
    close();
    m_fd = fd;
    m_reader = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this, &LocalSocket::onReadable);
    m_writer = new QSocketNotifier(qintptr(fd), QSocketNotifier::Write, this);
    m_writer->setEnabled(false); // only while bytes wait
    connect(m_writer, &QSocketNotifier::activated, this, &LocalSocket::flush);
    restartIdle();
}

LocalSocket::Connect LocalSocket::tryConnect(const QString &name)
{
    close();
    sockaddr_un address;
    const socklen_t length = abstractAddress(name, &address);
    if (length == 0)
        return Connect::NoListener;
    const int fd = newSocket();
    if (fd < 0)
        return Connect::Busy; // out of descriptors: perhaps not for long
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        closeFd(fd);
        // A full queue refuses a non-blocking connect with EAGAIN; anything else: nobody listens.
        return error == EAGAIN ? Connect::Busy : Connect::NoListener;
    }
    // Whoever listens under a name of this user's programs must be this user.
    if (const std::optional<uid_t> user = peerUser(fd); user != ::getuid()) {
        closeFd(fd);
        if (!m_strangers.contains(name)) { // said once, however often it is tried again
            m_strangers.append(name);
            qCWarning(lcPinboa, "user %lld listens under %s: passed by",
                      user ? qint64(*user) : qint64(-1), qPrintable(name));
        }
        return Connect::Stranger;
    }
    adopt(fd);
    return Connect::Connected;
}

LocalSocket::Connect LocalSocket::tryConnect(const QStringList &names)
{
    bool busy = false;
    for (const QString &name : names) {
        switch (tryConnect(name)) {
        case Connect::Connected:
            return Connect::Connected;
        case Connect::Busy:
            busy = true;
            break;
        case Connect::NoListener:
        case Connect::Stranger:
            break;
        }
    }
    return busy ? Connect::Busy : Connect::NoListener;
}

bool LocalSocket::write(const QByteArray &bytes)
{
    if (m_fd < 0)
        return false;
    m_outgoing += bytes;
    flush();
    return m_fd >= 0;
}

void LocalSocket::flush()
{
    bool moved = false;
    while (m_sent < m_outgoing.size()) {
        const ssize_t n = ::send(m_fd, m_outgoing.constData() + m_sent,
                                 size_t(m_outgoing.size() - m_sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            m_sent += n;
            moved = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return drop(); // EPIPE, ECONNRESET: the peer has gone
    }
    if (moved)
        restartIdle();
    if (m_sent == m_outgoing.size()) {
        m_outgoing.clear();
        m_sent = 0;
        m_writer->setEnabled(false);
        m_sendDeadline->stop();
        return;
    }
    // The send buffer is full: the rest leaves when the peer has read.
    m_writer->setEnabled(true);
    if (moved || !m_sendDeadline->isActive())
        m_sendDeadline->start(SendTimeoutMs);
}

bool LocalSocket::takeChunk(const char *data, qsizetype size)
{
    const char *next = data;
    const char *const end = data + size;
    while (next < end) {
        const auto *newline =
            static_cast<const char *>(std::memchr(next, '\n', size_t(end - next)));
        m_lineLength += (newline ? newline : end) - next;
        if (m_lineLength > MaxLineLength)
            return false;
        if (!newline)
            break;
        m_lineLength = 0;
        next = newline + 1;
    }
    m_buffer.append(data, size);
    return true;
}

void LocalSocket::onReadable()
{
    char chunk[4096];
    qsizetype taken = 0;
    bool ended = false;
    while (taken < ReadPerTurn) {
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            taken += n;
            if (!takeChunk(chunk, n))
                return drop("a line longer than the limit");
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        ended = true; // the end of the stream, or an error
        break;
    }
    if (m_buffer.size() > MaxBuffered)
        return drop("lines that nobody reads");
    if (taken > 0)
        restartIdle();
    const QPointer<LocalSocket> self(this);
    // A handler may run an event loop of its own (a message box); the same socket must not call
    // it again meanwhile, so it is not watched until the handler has returned.
    QSocketNotifier *const reader = m_reader;
    reader->setEnabled(false);
    if (m_buffer.contains('\n'))
        emit readyRead();
    if (!self || m_reader != reader)
        return; // deleted or closed meanwhile
    if (ended)
        return drop(); // a line the peer did not end is never delivered
    reader->setEnabled(true);
}

std::optional<QByteArray> LocalSocket::readLine()
{
    const qsizetype end = m_buffer.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    QByteArray line = m_buffer.left(end);
    m_buffer.remove(0, end + 1);
    return line;
}

void LocalSocket::setIdleTimeout(int ms)
{
    m_idleTimeoutMs = ms;
    restartIdle();
}

void LocalSocket::restartIdle()
{
    if (m_idleTimeoutMs > 0 && m_fd >= 0)
        m_idle->start(m_idleTimeoutMs);
    else
        m_idle->stop();
}

} // namespace platform

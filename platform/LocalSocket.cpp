// AF_UNIX stream sockets in the abstract namespace, read from the event loop or with a deadline.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "LocalSocket.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// The name, UTF-8, after a NUL byte: the abstract namespace. The address is exactly as long as
// the name, without padding, so that every program of the system spells it the same way.
socklen_t abstractAddress(const QString &name, sockaddr_un *address)
{
    const QByteArray bytes = name.toUtf8();
    *address = {};
    address->sun_family = AF_UNIX;
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof address->sun_path)
        return 0;
    std::memcpy(address->sun_path + 1, bytes.constData(), size_t(bytes.size()));
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(bytes.size()));
}

int newSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

void closeFd(int fd)
{
    if (fd >= 0)
        ::close(fd); // not retried on EINTR: the descriptor is gone either way on Linux
}

// Waits for `events` on `fd` until the deadline; false when it ran out.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int rc = ::poll(&entry, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (rc > 0)
            return true;
        if (rc == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

// Only the user's own processes may talk to the user's programs.
bool fromThisUser(int fd)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    return peer.uid == ::getuid();
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

// ---------------------------------------------------------------- connection

LocalSocket::LocalSocket(QObject *parent) : QObject(parent) {}

LocalSocket::~LocalSocket()
{
    close();
}

void LocalSocket::close()
{
    delete m_notifier; // before the descriptor it watches goes
    m_notifier = nullptr;
    closeFd(m_fd);
    m_fd = -1;
    m_peerGone = false;
    m_buffer.clear();
}

void LocalSocket::adopt(int fd)
{
    close();
    m_fd = fd;
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
        return Connect::Busy;
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), length);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_fd = fd;
        return Connect::Connected;
    }
    const int error = errno;
    closeFd(fd);
    // A full queue refuses a non-blocking connect with EAGAIN; anything else means nobody listens.
    return error == EAGAIN ? Connect::Busy : Connect::NoListener;
}

bool LocalSocket::connectTo(const QString &name, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        switch (tryConnect(name)) {
        case Connect::Connected:
            return true;
        case Connect::NoListener:
            return false;
        case Connect::Busy:
            break;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5); // the listener takes its queue from its event loop
    }
}

bool LocalSocket::write(const QByteArray &bytes, int timeoutMs)
{
    if (!isConnected())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(m_fd, POLLOUT, deadline))
                return false;
            continue;
        }
        m_peerGone = true; // EPIPE, ECONNRESET: the peer has gone
        return false;
    }
    return true;
}

bool LocalSocket::takeAvailable()
{
    char chunk[1024];
    for (;;) {
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            m_buffer.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        m_peerGone = true; // the end of the stream, or an error
        return false;
    }
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

bool LocalSocket::waitForReadyRead(int timeoutMs)
{
    if (!isConnected())
        return false;
    const qsizetype before = m_buffer.size();
    if (!waitFor(m_fd, POLLIN, QDeadlineTimer(timeoutMs)))
        return false;
    takeAvailable();
    return m_buffer.size() > before;
}

void LocalSocket::watch()
{
    if (m_fd < 0 || m_notifier)
        return;
    m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalSocket::onReadable);
}

void LocalSocket::onReadable()
{
    const qsizetype before = m_buffer.size();
    const bool open = takeAvailable();
    const QPointer<LocalSocket> self(this);
    // A handler may run an event loop of its own (a message box); the same socket must not call
    // it again meanwhile, so it is not watched until the handler has returned.
    m_notifier->setEnabled(false);
    if (m_buffer.size() > before)
        emit readyRead();
    if (!self || !m_notifier)
        return;
    if (open) {
        m_notifier->setEnabled(true);
        return;
    }
    // Gone: said once, and never watched again.
    delete m_notifier;
    m_notifier = nullptr;
    emit disconnected();
}

// ---------------------------------------------------------------- listener

LocalServer::LocalServer(QObject *parent) : QObject(parent) {}

LocalServer::~LocalServer()
{
    close();
}

void LocalServer::close()
{
    delete m_notifier;
    m_notifier = nullptr;
    closeFd(m_fd);
    m_fd = -1;
}

bool LocalServer::listen(const QString &name, QString *error)
{
    close();
    auto fail = [&](int code) {
        if (error)
            *error = systemError(code);
        close();
        return false;
    };
    sockaddr_un address;
    const socklen_t length = abstractAddress(name, &address);
    if (length == 0)
        return fail(ENAMETOOLONG);
    m_fd = newSocket();
    if (m_fd < 0)
        return fail(errno);
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), length) != 0 ||
        ::listen(m_fd, 50) != 0)
        return fail(errno);
    m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalServer::acceptConnections);
    return true;
}

void LocalServer::acceptConnections()
{
    const QPointer<LocalServer> self(this);
    while (self && m_fd >= 0) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // EAGAIN: the queue is empty; anything else: tried again when readable
        }
        if (!fromThisUser(fd)) {
            closeFd(fd);
            continue;
        }
        auto *socket = new LocalSocket(this);
        socket->adopt(fd);
        socket->watch();
        emit newConnection(socket);
    }
}

} // namespace platform

// AF_UNIX stream sockets in the abstract namespace, driven from the event loop.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "LocalSocket.h"

#include "Log.h"
#include "Protocol.h"
#include "store/SystemError.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// Names another user may have taken first: a few more, each tried in turn.
constexpr int NameSuffixes = 4;
// A peer that takes none of the bytes waiting for it in this time is dropped.
constexpr int SendTimeoutMs = 3000;
// Read in one turn of the event loop, so that one busy peer does not keep the others waiting.
constexpr qsizetype ReadPerTurn = 64 * 1024;
// Lines that arrived and were not read yet.
constexpr qsizetype MaxBuffered = 256 * 1024;
// Connections taken in one turn of the event loop.
constexpr int AcceptsPerTurn = 16;
// Rest after the process ran out of descriptors, instead of being woken again at once.
constexpr int AcceptPauseMs = 250;

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

// The user of the process at the other end: the listener's for a connecting socket, the
// connecting process's for an accepted one.
std::optional<uid_t> peerUser(int fd)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return std::nullopt;
    return peer.uid;
}

bool fromThisUser(int fd)
{
    return peerUser(fd) == ::getuid();
}

// A notifier may be the sender of the signal being handled: it goes from the event loop.
void retire(QSocketNotifier *&notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}

} // namespace

QStringList socketNames(const QString &name)
{
    QStringList names{name};
    for (int i = 1; i <= NameSuffixes; ++i)
        names.append(QStringLiteral("%1-%2").arg(name).arg(i));
    return names;
}

// ---------------------------------------------------------------- connection

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
        qCWarning(lcPinboa, "user %lld listens under %s: passed by",
                  user ? qint64(*user) : qint64(-1), qPrintable(name));
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

// ---------------------------------------------------------------- listener

LocalServer::LocalServer(QObject *parent)
    : QObject(parent), m_idleTimeoutMs(protocol::IdleTimeoutMs), m_resume(new QTimer(this))
{
    m_resume->setSingleShot(true);
    connect(m_resume, &QTimer::timeout, this, [this] {
        m_paused = false;
        if (m_notifier)
            m_notifier->setEnabled(true);
    });
}

LocalServer::~LocalServer()
{
    close();
}

void LocalServer::close()
{
    retire(m_notifier);
    closeFd(m_fd);
    m_fd = -1;
    m_resume->stop();
    m_paused = false;
}

store::Result<QString> LocalServer::listen(const QStringList &names)
{
    close();
    for (const QString &name : names) {
        sockaddr_un address;
        const socklen_t length = abstractAddress(name, &address);
        if (length == 0)
            return store::Error{QStringLiteral("窓口の名前が長すぎます (%1)").arg(name)};
        const int fd = newSocket();
        if (fd < 0)
            return store::Error{store::systemErrorText(errno)};
        if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0 &&
            ::listen(fd, 50) == 0) {
            if (name != names.first())
                qCWarning(lcPinboa, "%s is taken: listening under %s", qPrintable(names.first()),
                          qPrintable(name));
            m_fd = fd;
            m_notifier = new QSocketNotifier(qintptr(m_fd), QSocketNotifier::Read, this);
            connect(m_notifier, &QSocketNotifier::activated, this, &LocalServer::acceptConnections);
            return name;
        }
        const int error = errno;
        closeFd(fd);
        if (error != EADDRINUSE)
            return store::Error{store::systemErrorText(error)};
    }
    return store::Error{
        QStringLiteral("ほかのプログラムが同じ名前の窓口を使っています (%1)").arg(names.value(0)),
        true};
}

void LocalServer::pause()
{
    if (!m_paused)
        qCWarning(lcPinboa, "out of descriptors: connections wait a moment (%s)", strerror(errno));
    m_paused = true;
    m_notifier->setEnabled(false);
    m_resume->start(AcceptPauseMs);
}

void LocalServer::acceptConnections()
{
    const QPointer<LocalServer> self(this);
    for (int accepted = 0; self && m_fd >= 0 && accepted < AcceptsPerTurn;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return; // the queue is empty
            // EMFILE, ENFILE, ENOBUFS, ENOMEM: the queue stays full and the notifier would wake
            // this again at once.
            return pause();
        }
        ++accepted;
        if (!fromThisUser(fd)) {
            if (!std::exchange(m_strangerLogged, true))
                qCWarning(lcPinboa, "a process of another user connected: refused");
            closeFd(fd);
            continue;
        }
        auto *socket = new LocalSocket(this);
        socket->adopt(fd);
        socket->setIdleTimeout(m_idleTimeoutMs);
        emit newConnection(socket);
    }
}

} // namespace platform

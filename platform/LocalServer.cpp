// A listener in the abstract namespace that takes connections of this user only.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "LocalServer.h"

#include "LocalSocket.h"
#include "Log.h"
#include "Protocol.h"
#include "UnixSocket.h"
#include "store/SystemError.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>

namespace platform {

using namespace unixsocket;

namespace {

// Connections taken in one turn of the event loop.
constexpr int AcceptsPerTurn = 16;
// Rest after the process ran out of descriptors, instead of being woken again at once.
constexpr int AcceptPauseMs = 250;

} // namespace

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

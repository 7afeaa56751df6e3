// The system calls under LocalSocket and LocalServer: abstract addresses, non-blocking sockets,
// the peer's user. Inside the platform layer only.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QSocketNotifier>
#include <QString>

#include <cstddef>
#include <cstring>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::unixsocket {

// The name, UTF-8, after a NUL byte: the abstract namespace. The address is exactly as long as
// the name, without padding, so that every program of the system spells it the same way.
inline socklen_t abstractAddress(const QString &name, sockaddr_un *address)
{
    const QByteArray bytes = name.toUtf8();
    *address = {};
    address->sun_family = AF_UNIX;
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof address->sun_path)
        return 0;
    std::memcpy(address->sun_path + 1, bytes.constData(), size_t(bytes.size()));
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(bytes.size()));
}

inline int newSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

inline void closeFd(int fd)
{
    if (fd >= 0)
        ::close(fd); // not retried on EINTR: the descriptor is gone either way on Linux
}

// The user of the process at the other end: the listener's for a connecting socket, the
// connecting process's for an accepted one.
inline std::optional<uid_t> peerUser(int fd)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return std::nullopt;
    return peer.uid;
}

inline bool fromThisUser(int fd)
{
    return peerUser(fd) == ::getuid();
}

// A notifier may be the sender of the signal being handled: it goes from the event loop.
inline void retire(QSocketNotifier *&notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}

} // namespace platform::unixsocket

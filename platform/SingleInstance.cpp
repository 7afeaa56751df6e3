// One master per program folder: a kernel lock beside the folder's data lock, plus a local socket
// for the first one.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "SingleInstance.h"

#include "LocalSocket.h"
#include "Log.h"
#include "Processes.h"
#include "Protocol.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

// The lock lives in the folder itself, beside the data files' lock, so that every master of the
// folder meets it whatever its environment says.
QString lockPath(const QString &appDir)
{
    return QDir(appDir).filePath(QStringLiteral(".pinboa-master.lock"));
}

// In the abstract namespace: nothing is left behind by a killed master, and no environment
// variable decides where the name lives. The user id keeps users apart.
QString serverName(const QString &appDir)
{
    return QStringLiteral("pinboa-master-%1-%2").arg(::getuid()).arg(folderKey(appDir));
}

int openLockFile(const QString &appDir)
{
    const QByteArray path = QFile::encodeName(lockPath(appDir));
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        // A folder the user may only read: an existing lock file still serves.
        do {
            fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
    }
    return fd;
}

} // namespace

SingleInstance::SingleInstance(const QString &appDir, QObject *parent)
    : QObject(parent), m_appDir(appDir)
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
}

bool SingleInstance::claim()
{
    if (m_lockFd >= 0)
        return true;
    const int fd = openLockFile(m_appDir);
    if (fd < 0) {
        // No lock file to be had: rather run than lock the user out.
        qCWarning(lcPinboa, "single-instance check not available: no lock file in %s (%s)",
                  qPrintable(m_appDir), strerror(errno));
        return true;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    m_lockFd = fd;

    // Connections from other users are refused by the server itself.
    m_server = new LocalServer(this);
    if (QString error; !m_server->listen(serverName(m_appDir), &error)) {
        qCWarning(lcPinboa, "a second start cannot reach this master: %s", qPrintable(error));
        return true; // runs on without answering show requests
    }
    connect(m_server, &LocalServer::newConnection, this, [this](LocalSocket *socket) {
        connect(socket, &LocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &LocalSocket::readyRead, this, [this, socket] {
            while (const std::optional<QByteArray> line = socket->readLine()) {
                if (line->trimmed() == protocol::ShowMain) {
                    emit showRequested();
                    socket->write(QByteArray(protocol::ShowMainDone) + '\n',
                                  protocol::ShowMainTimeoutMs);
                } else if (line->trimmed() == protocol::Refresh) {
                    // Answered first: the refresh runs from the event loop and may take a
                    // while, and the asking start has nothing to wait for.
                    socket->write(QByteArray(protocol::RefreshTaken) + '\n',
                                  protocol::ShowMainTimeoutMs);
                    QMetaObject::invokeMethod(this, &SingleInstance::refreshRequested,
                                              Qt::QueuedConnection);
                }
            }
        });
    });
    return true;
}

bool SingleInstance::askRunningToShow()
{
    return ask(protocol::ShowMain, protocol::ShowMainDone);
}

bool SingleInstance::askRunningToRefresh()
{
    return ask(protocol::Refresh, protocol::RefreshTaken);
}

bool SingleInstance::ask(const char *request, const char *answer)
{
    LocalSocket socket;
    if (!socket.connectTo(serverName(m_appDir), protocol::ShowMainTimeoutMs))
        return false;
    if (!socket.write(QByteArray(request) + '\n', protocol::ShowMainTimeoutMs))
        return false;
    const QDeadlineTimer deadline(protocol::ShowMainTimeoutMs);
    for (;;) {
        if (const std::optional<QByteArray> line = socket.readLine())
            return line->trimmed() == answer;
        if (!socket.isConnected() || deadline.hasExpired())
            return false;
        socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
}

} // namespace platform

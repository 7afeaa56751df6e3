// One master per program folder: a kernel lock beside the folder's data lock, plus a local socket
// for the first one.
#include "SingleInstance.h"

#include "Log.h"
#include "Processes.h"
#include "Protocol.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
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

bool fromThisUser(const QLocalSocket *socket)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    return peer.uid == ::getuid();
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

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!m_server->listen(serverName(m_appDir))) {
        qCWarning(lcPinboa, "a second start cannot reach this master: %s",
                  qPrintable(m_server->errorString()));
        return true; // runs on without answering show requests
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            if (!fromThisUser(socket)) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine().trimmed();
                    if (line == protocol::ShowMain) {
                        emit showRequested();
                        socket->write(QByteArray(protocol::ShowMainDone) + '\n');
                        socket->flush();
                    } else if (line == protocol::Refresh) {
                        // Answered first: the refresh runs from the event loop and may take a
                        // while, and the asking start has nothing to wait for.
                        socket->write(QByteArray(protocol::RefreshTaken) + '\n');
                        socket->flush();
                        QMetaObject::invokeMethod(this, &SingleInstance::refreshRequested,
                                                  Qt::QueuedConnection);
                    }
                }
            });
        }
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
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(serverName(m_appDir));
    if (!socket.waitForConnected(protocol::ShowMainTimeoutMs))
        return false;
    socket.write(QByteArray(request) + '\n');
    if (!socket.waitForBytesWritten(protocol::ShowMainTimeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(protocol::ShowMainTimeoutMs))
            return false;
    }
    return socket.readLine().trimmed() == answer;
}

} // namespace platform

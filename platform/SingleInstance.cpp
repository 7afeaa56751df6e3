// One master per program folder and user: a kernel lock plus a local socket for the first one.
#include "SingleInstance.h"

#include "Protocol.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

// Same folder, same key, however the folder was spelled (trailing "/", symbolic links).
QString folderKey(const QString &appDir)
{
    QString path = QFileInfo(appDir).canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(QDir(appDir).absolutePath());
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(hash.toHex().left(20));
}

QString runtimeFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QDir().mkpath(dir);
    return dir;
}

QString lockPath(const QString &appDir)
{
    return runtimeFolder() + QStringLiteral("/pinboa-%1.lock").arg(folderKey(appDir));
}

// Short enough for a socket path; the user id keeps users apart in the shared temporary folder.
QString serverName(const QString &appDir)
{
    return QStringLiteral("pinboa-%1-%2").arg(::getuid()).arg(folderKey(appDir));
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
    const QByteArray path = QFile::encodeName(lockPath(m_appDir));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no lock file to be had: rather run than lock the user out
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

    // Holding the lock, any socket of this name is left over from a master that died.
    const QString name = serverName(m_appDir);
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(name))
        return true; // runs on without answering show requests
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
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

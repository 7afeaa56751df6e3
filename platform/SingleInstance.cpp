// One master per program folder and per data folder, and the requests of a second start.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "SingleInstance.h"

#include "LineRequest.h"
#include "LocalServer.h"
#include "LocalSocket.h"
#include "Log.h"
#include "Processes.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QUtf8StringView>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

// The lock lives in the data folder itself, beside the data files' lock, so that every master of
// the folder meets it whatever its environment says.
QString lockPath(const QString &dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral(".pinboa-master.lock"));
}

// In the abstract namespace: nothing is left behind by a killed master, and no environment
// variable decides where the name lives. The user id keeps users apart; `kind` tells the
// program folder's name ('p') from the data folder's ('d').
QString masterName(char kind, const QString &folder)
{
    return QStringLiteral("pinboa-master-%1-%2%3")
        .arg(::getuid())
        .arg(QLatin1Char(kind))
        .arg(folderKey(folder));
}

int openLockFile(const QString &dataDir)
{
    const QByteArray path = QFile::encodeName(lockPath(dataDir));
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

// The argument of "WORD argument": one line of UTF-8 without control characters.
std::optional<QString> argumentOf(const QByteArray &line, const QByteArray &word)
{
    if (!line.startsWith(word + ' ') || line.size() == word.size() + 1)
        return std::nullopt;
    const QByteArray argument = line.mid(word.size() + 1);
    if (!QUtf8StringView(argument).isValidUtf8())
        return std::nullopt;
    for (const char c : argument) {
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            return std::nullopt;
    }
    return QString::fromUtf8(argument);
}

} // namespace

QString programMasterSocketName(const QString &programDir)
{
    return masterName('p', programDir);
}

QString dataMasterSocketName(const QString &dataDir)
{
    return masterName('d', dataDir);
}

SingleInstance::SingleInstance(const QString &programDir, const QString &dataDir, QObject *parent)
    : QObject(parent), m_programDir(programDir), m_dataDir(dataDir)
{
    handle(protocol::ShowMain, [this](const QString &) { emit showRequested(); });
    handle(protocol::Refresh, [this](const QString &) { emit refreshRequested(); });
}

SingleInstance::~SingleInstance()
{
    delete m_programServer;
    delete m_dataServer;
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
}

void SingleInstance::handle(const protocol::MasterRequest &request,
                            std::function<void(const QString &)> handler)
{
    m_handlers.append({request, std::move(handler)});
}

bool SingleInstance::claim()
{
    if (m_claimed)
        return true;
    if (claimProgramName() == Claim::Taken)
        return false;
    if (claimDataLock() == Claim::Taken) {
        delete m_programServer;
        m_programServer = nullptr;
        return false;
    }
    m_dataServer = listenAsData();
    if (m_programServer)
        serve(m_programServer);
    m_claimed = true;
    return true;
}

// Reached under the data folder's name too: a start from another program folder whose notes live
// in the same data folder asks there.
LocalServer *SingleInstance::listenAsData()
{
    auto *server = new LocalServer(this);
    if (const auto listening = server->listen(socketNames(dataMasterSocketName(m_dataDir)));
        !listening) {
        qCWarning(lcPinboa, "a second start cannot reach this master through its data folder: %s",
                  qPrintable(listening.error()));
        delete server;
        return nullptr;
    }
    serve(server);
    return server;
}

bool SingleInstance::moveTo(const QString &dataDir)
{
    if (dataDir == m_dataDir)
        return true; // a second lock of the same file would be refused by our own
    const QString oldDir = std::exchange(m_dataDir, dataDir);
    if (!m_claimed)
        return true;
    const int oldFd = std::exchange(m_lockFd, -1);
    if (claimDataLock() == Claim::Taken) {
        m_dataDir = oldDir;
        m_lockFd = oldFd;
        return false;
    }
    if (oldFd >= 0)
        ::close(oldFd); // releases the old folder's lock
    // Later: a request that came through it may still be answering.
    if (m_dataServer)
        m_dataServer->deleteLater();
    m_dataServer = listenAsData();
    return true;
}

// A name is bound by one process at a time, and the kernel lets it go with the process. Another
// user may hold the first name; then one of the next serves, and a master looks under all of
// them for another master of this user.
SingleInstance::Claim SingleInstance::claimProgramName()
{
    const QStringList names = socketNames(programMasterSocketName(m_programDir));
    auto server = std::make_unique<LocalServer>(this);
    LocalSocket probe;
    qsizetype bound = -1;
    for (qsizetype i = 0; i < names.size() && bound < 0; ++i) {
        // Twice: a name free at the look may be bound by a master starting at the same moment.
        for (int look = 0; look < 2; ++look) {
            const LocalSocket::Connect found = probe.tryConnect(names.at(i));
            if (found == LocalSocket::Connect::Connected)
                return Claim::Taken;
            if (found != LocalSocket::Connect::NoListener)
                break; // another user's, or too busy to tell: the next name
            const store::Result<QString> listening = server->listen({names.at(i)});
            if (listening) {
                bound = i;
                break;
            }
            if (!listening.busy()) {
                qCWarning(lcPinboa, "single-instance check of the program folder not available: %s",
                          qPrintable(listening.error()));
                return Claim::Unavailable;
            }
        }
    }
    if (bound < 0) {
        qCWarning(lcPinboa, "single-instance check of the program folder not available: every "
                            "name is held by another user");
        return Claim::Unavailable;
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i != bound && probe.tryConnect(names.at(i)) == LocalSocket::Connect::Connected)
            return Claim::Taken;
    }
    m_programServer = server.release();
    return Claim::Mine;
}

SingleInstance::Claim SingleInstance::claimDataLock()
{
    const int fd = openLockFile(m_dataDir);
    if (fd < 0) {
        qCWarning(lcPinboa,
                  "single-instance check of the data folder not available: no lock file "
                  "in %s (%s)",
                  qPrintable(m_dataDir), strerror(errno));
        return Claim::Unavailable;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Claim::Taken : Claim::Unavailable;
    }
    m_lockFd = fd;
    return Claim::Mine;
}

void SingleInstance::serve(LocalServer *server)
{
    // Connections from other users are refused by the server itself.
    connect(server, &LocalServer::newConnection, this, [this](LocalSocket *socket) {
        connect(socket, &LocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto strayLogged = std::make_shared<bool>(false);
        connect(socket, &LocalSocket::readyRead, this, [this, socket, strayLogged] {
            while (const std::optional<QByteArray> line = socket->readLine())
                take(socket, *line, strayLogged.get());
        });
    });
}

void SingleInstance::take(LocalSocket *socket, const QByteArray &line, bool *strayLogged)
{
    for (const Handler &handler : std::as_const(m_handlers)) {
        const QByteArray word(handler.request.word);
        std::optional<QString> argument;
        if (handler.request.takesArgument)
            argument = argumentOf(line, word);
        else if (line == word)
            argument = QString();
        if (!argument)
            continue;
        // Answered first: the work runs from the event loop and may take a while, and the asking
        // start has nothing to wait for.
        socket->write(QByteArray(handler.request.answer) + '\n');
        QTimer::singleShot(0, this, [run = handler.run, argument] { run(*argument); });
        return;
    }
    if (!std::exchange(*strayLogged, true))
        qCWarning(lcPinboa, "request to the master passed by: %s", logExcerpt(line).constData());
}

LineRequest *SingleInstance::ask(const protocol::MasterRequest &request, const QString &argument)
{
    QByteArray line(request.word);
    if (request.takesArgument)
        line += ' ' + argument.toUtf8();
    // The master that holds the data folder, then the one of the program folder.
    auto *asked = new LineRequest(socketNames(dataMasterSocketName(m_dataDir)) +
                                      socketNames(programMasterSocketName(m_programDir)),
                                  {line}, {request.answer}, this);
    asked->setTimeouts(protocol::MasterAnswerTimeoutMs, protocol::MasterAnswerTimeoutMs);
    asked->start();
    return asked;
}

} // namespace platform

// The close request over a local socket: the note window's server and the master's connection.
#include "CloseRequest.h"

#include "Log.h"
#include "Processes.h"
#include "Protocol.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Only the user's own processes may activate or close the user's notes.
bool fromThisUser(const QLocalSocket *socket)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return false;
    return peer.uid == ::getuid();
}

QByteArray line(const char *text)
{
    return QByteArray(text) + '\n';
}

// Lets a just-accepted or just-connected socket flush what it was given, bounded.
void flushBounded(QLocalSocket *socket, int timeoutMs)
{
    socket->flush();
    QDeadlineTimer deadline(timeoutMs);
    while (socket->bytesToWrite() > 0 && socket->state() == QLocalSocket::ConnectedState &&
           !deadline.hasExpired()) {
        if (!socket->waitForBytesWritten(int(deadline.remainingTime())))
            break;
    }
}

} // namespace

QString noteWindowSocketName(const QString &appDir, qint64 pid)
{
    return QStringLiteral("pinboa-memlet-%1-%2-%3").arg(uint(::getuid())).arg(folderKey(appDir)).arg(pid);
}

// ---------------------------------------------------------------- note window side

CloseRequestServer::CloseRequestServer(QObject *parent) : QObject(parent) {}

store::Status CloseRequestServer::listen(const QString &appDir, qint64 pid)
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        // A name in the abstract namespace leaves nothing behind when the window is killed; the
        // peer's user is checked on every connection instead of by file permissions.
        m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
        connect(m_server, &QLocalServer::newConnection, this,
                &CloseRequestServer::acceptConnection);
    }
    if (!m_server->listen(noteWindowSocketName(appDir, pid)))
        return store::Error{m_server->errorString()};
    return {};
}

void CloseRequestServer::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (!fromThisUser(socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // The handlers may run an event loop of their own (a message box), in which the
            // master can hang up and the socket be deleted.
            const QPointer<QLocalSocket> alive(socket);
            while (alive && socket->canReadLine()) {
                const QByteArray request = socket->readLine().trimmed();
                if (request == protocol::Activate) {
                    if (onActivate)
                        onActivate();
                } else if (request.startsWith(QByteArray(protocol::Keys).trimmed())) {
                    const QString keys =
                        QString::fromUtf8(request.mid(qstrlen(protocol::Keys))).trimmed();
                    // Returns when the keys' work (the close) is done.
                    const bool closed = onKeys ? onKeys(keys) : false;
                    if (!alive)
                        return;
                    socket->write(line(closed ? protocol::Done : protocol::NotDone));
                    flushBounded(socket, protocol::ConnectTimeoutMs);
                }
            }
        });
    }
}

// ---------------------------------------------------------------- master side

struct NoteWindowConnection::Private
{
    QLocalSocket socket;
    bool activated = false;
};

NoteWindowConnection::NoteWindowConnection() : d(new Private) {}

NoteWindowConnection::~NoteWindowConnection()
{
    d->socket.abort();
    delete d;
}

bool NoteWindowConnection::activate(const QString &appDir, qint64 taskId)
{
    d->activated = false;
    d->socket.abort();
    if (taskId <= 0)
        return false;
    // A name nobody listens on fails here at once (no such file, or refused).
    d->socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    d->socket.connectToServer(noteWindowSocketName(appDir, taskId));
    if (!d->socket.waitForConnected(protocol::ConnectTimeoutMs)) {
        d->socket.abort();
        return false;
    }
    d->socket.write(line(protocol::Activate));
    flushBounded(&d->socket, protocol::ConnectTimeoutMs);
    d->activated = d->socket.state() == QLocalSocket::ConnectedState;
    return d->activated;
}

bool NoteWindowConnection::sendKeysAndWait(const QString &keys, int timeoutMs)
{
    if (!d->activated || d->socket.state() != QLocalSocket::ConnectedState)
        return false;
    d->activated = false; // the keys close the window: one sequence per activation
    d->socket.write(QByteArray(protocol::Keys) + keys.toUtf8() + '\n');
    QDeadlineTimer deadline(timeoutMs);
    d->socket.flush();
    // The answer comes after the window's write-back; a window that ends without answering
    // drops the connection, which ends the wait too.
    while (!deadline.hasExpired()) {
        if (d->socket.canReadLine()) {
            const QByteArray answer = d->socket.readLine().trimmed();
            if (answer == protocol::Done)
                return true;
            if (answer == protocol::NotDone)
                return false;
            continue;
        }
        if (d->socket.state() != QLocalSocket::ConnectedState)
            return true;
        d->socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    d->socket.abort();
    return false; // asked, but the window never said that it closed
}

bool closeNoteWindow(const QString &appDir, qint64 taskId)
{
    NoteWindowConnection connection;
    if (!connection.activate(appDir, taskId))
        return false;
    return connection.sendKeysAndWait(QString::fromLatin1(protocol::CloseKeys),
                                      protocol::AnswerTimeoutMs);
}

NoteWindowCloser::NoteWindowCloser(const QString &appDir, qint64 taskId, QObject *parent)
    : QObject(parent), m_appDir(appDir), m_taskId(taskId)
{
}

void NoteWindowCloser::start()
{
    if (m_taskId <= 0) {
        // Reported from the event loop, like every other outcome.
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    }
    m_socket = new QLocalSocket(this);
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { finish(false); });
    connect(m_socket, &QLocalSocket::connected, this, [this] {
        m_socket->write(line(protocol::Activate));
        m_socket->write(QByteArray(protocol::Keys) + protocol::CloseKeys + '\n');
        m_sent = true;
        m_deadline->start(protocol::AnswerTimeoutMs);
    });
    connect(m_socket, &QLocalSocket::readyRead, this, [this] {
        while (m_socket->canReadLine()) {
            const QByteArray answer = m_socket->readLine().trimmed();
            if (answer == protocol::Done)
                return finish(true);
            if (answer == protocol::NotDone)
                return finish(false);
        }
    });
    // A window that ends without answering drops the connection: its close ran.
    connect(m_socket, &QLocalSocket::disconnected, this, [this] { finish(m_sent); });
    connect(m_socket, &QLocalSocket::errorOccurred, this,
            [this](QLocalSocket::LocalSocketError error) {
                finish(m_sent && error == QLocalSocket::PeerClosedError);
            });
    m_socket->setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    m_deadline->start(protocol::ConnectTimeoutMs);
    m_socket->connectToServer(noteWindowSocketName(m_appDir, m_taskId));
}

void NoteWindowCloser::finish(bool confirmed)
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_sent && !confirmed)
        qCWarning(lcPinboa, "note window %lld did not confirm its close", m_taskId);
    if (m_deadline)
        m_deadline->stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    emit done(confirmed);
    deleteLater();
}

} // namespace platform

// The close request over a local socket: the note window's server and the master's connection.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "CloseRequest.h"

#include "LocalSocket.h"
#include "Log.h"
#include "Processes.h"
#include "Protocol.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

#include <unistd.h>

namespace platform {

namespace {

QByteArray line(const char *text)
{
    return QByteArray(text) + '\n';
}

// While the listener's queue is full, a connection is tried again this often.
constexpr int ConnectRetryMs = 5;

} // namespace

QString noteWindowSocketName(const QString &appDir, qint64 pid)
{
    return QStringLiteral("pinboa-memlet-%1-%2-%3")
        .arg(uint(::getuid()))
        .arg(folderKey(appDir))
        .arg(pid);
}

// ---------------------------------------------------------------- note window side

CloseRequestServer::CloseRequestServer(QObject *parent) : QObject(parent) {}

store::Status CloseRequestServer::listen(const QString &appDir, qint64 pid)
{
    if (!m_server) {
        // A name in the abstract namespace leaves nothing behind when the window is killed; the
        // peer's user is checked on every connection instead of by file permissions.
        m_server = new LocalServer(this);
        connect(m_server, &LocalServer::newConnection, this, &CloseRequestServer::acceptConnection);
    }
    QString error;
    if (!m_server->listen(noteWindowSocketName(appDir, pid), &error))
        return store::Error{error};
    return {};
}

void CloseRequestServer::acceptConnection(LocalSocket *socket)
{
    connect(socket, &LocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &LocalSocket::readyRead, this, [this, socket] {
        // The handlers may run an event loop of their own (a message box), in which the master
        // can hang up.
        const QPointer<LocalSocket> alive(socket);
        while (alive) {
            const std::optional<QByteArray> read = socket->readLine();
            if (!read)
                break;
            const QByteArray request = read->trimmed();
            if (request == protocol::Activate) {
                if (onActivate)
                    onActivate();
            } else if (request.startsWith(QByteArray(protocol::Keys).trimmed())) {
                const QString keys =
                    QString::fromUtf8(request.mid(qstrlen(protocol::Keys))).trimmed();
                const auto reply = [alive](bool closed) {
                    if (alive)
                        alive->write(line(closed ? protocol::Done : protocol::NotDone),
                                     protocol::ConnectTimeoutMs);
                };
                if (onKeys)
                    onKeys(keys, reply);
                else
                    reply(false);
                if (!alive)
                    return;
            }
        }
    });
}

// ---------------------------------------------------------------- master side

struct NoteWindowConnection::Private
{
    LocalSocket socket;
    bool activated = false;
};

NoteWindowConnection::NoteWindowConnection() : d(new Private) {}

NoteWindowConnection::~NoteWindowConnection()
{
    delete d;
}

bool NoteWindowConnection::activate(const QString &appDir, qint64 taskId)
{
    d->activated = false;
    d->socket.close();
    if (taskId <= 0)
        return false;
    // A name nobody listens on fails here at once.
    if (!d->socket.connectTo(noteWindowSocketName(appDir, taskId), protocol::ConnectTimeoutMs))
        return false;
    d->activated = d->socket.write(line(protocol::Activate), protocol::ConnectTimeoutMs);
    if (!d->activated)
        d->socket.close();
    return d->activated;
}

bool NoteWindowConnection::sendKeysAndWait(const QString &keys, int timeoutMs)
{
    if (!d->activated || !d->socket.isConnected())
        return false;
    d->activated = false; // the keys close the window: one sequence per activation
    const QDeadlineTimer deadline(timeoutMs);
    if (!d->socket.write(QByteArray(protocol::Keys) + keys.toUtf8() + '\n', timeoutMs))
        return !d->socket.isConnected(); // it ended: its close ran
    // The answer comes after the window's write-back; a window that ends without answering
    // drops the connection, which ends the wait too.
    for (;;) {
        while (const std::optional<QByteArray> answer = d->socket.readLine()) {
            if (answer->trimmed() == protocol::Done)
                return true;
            if (answer->trimmed() == protocol::NotDone)
                return false;
        }
        if (!d->socket.isConnected())
            return true;
        if (deadline.hasExpired())
            break;
        d->socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    d->socket.close();
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
    m_socket = new LocalSocket(this);
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { finish(false); });
    connect(m_socket, &LocalSocket::readyRead, this, [this] {
        while (const std::optional<QByteArray> answer = m_socket->readLine()) {
            if (answer->trimmed() == protocol::Done)
                return finish(true);
            if (answer->trimmed() == protocol::NotDone)
                return finish(false);
        }
    });
    // A window that ends without answering drops the connection: its close ran.
    connect(m_socket, &LocalSocket::disconnected, this, [this] { finish(m_sent); });
    m_deadline->start(protocol::ConnectTimeoutMs);
    tryConnect();
}

void NoteWindowCloser::tryConnect()
{
    if (m_finished)
        return;
    switch (m_socket->tryConnect(noteWindowSocketName(m_appDir, m_taskId))) {
    case LocalSocket::Connect::NoListener:
        // No such window: nothing is sent anywhere.
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    case LocalSocket::Connect::Busy:
        // The deadline ends the tries.
        QTimer::singleShot(ConnectRetryMs, this, &NoteWindowCloser::tryConnect);
        return;
    case LocalSocket::Connect::Connected:
        break;
    }
    // Two short lines into an empty socket: sent at once.
    if (!m_socket->write(line(protocol::Activate) + protocol::Keys + protocol::CloseKeys + '\n',
                         protocol::ConnectTimeoutMs)) {
        const bool ended = !m_socket->isConnected();
        QTimer::singleShot(0, this, [this, ended] { finish(ended); });
        return;
    }
    m_sent = true;
    m_deadline->start(protocol::AnswerTimeoutMs);
    m_socket->watch();
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
        m_socket->close();
    }
    emit done(confirmed);
    deleteLater();
}

} // namespace platform

// The close request over a local socket: the note window's server and the master's closer.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "CloseRequest.h"

#include "LineRequest.h"
#include "LocalServer.h"
#include "LocalSocket.h"
#include "Log.h"
#include "Processes.h"
#include "Protocol.h"

#include <QPointer>
#include <QTimer>
#include <QUtf8StringView>

#include <memory>
#include <optional>
#include <unistd.h>

namespace platform {

namespace {

QByteArray line(const char *text)
{
    return QByteArray(text) + '\n';
}

// The sequence of an exact "KEYS <sequence>" line: not empty, UTF-8, no control characters, no
// space around it. Anything else is no key press.
std::optional<QString> keysOf(const QByteArray &request)
{
    const QByteArray prefix(protocol::Keys);
    if (!request.startsWith(prefix))
        return std::nullopt;
    const QByteArray sequence = request.mid(prefix.size());
    if (sequence.isEmpty() || sequence.front() == ' ' || sequence.back() == ' ' ||
        !QUtf8StringView(sequence).isValidUtf8())
        return std::nullopt;
    for (const char c : sequence) {
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            return std::nullopt;
    }
    return QString::fromUtf8(sequence);
}

// What one connection to a note window owes and has said.
struct Peer
{
    int owed = 0; // answers not sent yet
    bool strayLogged = false;
};

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
    const store::Result<QString> name =
        m_server->listen(socketNames(noteWindowSocketName(appDir, pid)));
    if (!name)
        return store::Error{name.error()};
    return {};
}

void CloseRequestServer::acceptConnection(LocalSocket *socket)
{
    connect(socket, &LocalSocket::disconnected, socket, &QObject::deleteLater);
    const auto peer = std::make_shared<Peer>();
    connect(socket, &LocalSocket::readyRead, this, [this, socket, peer] {
        // The handlers may run an event loop of their own (a message box), in which the master
        // can hang up.
        const QPointer<LocalSocket> alive(socket);
        while (alive) {
            const std::optional<QByteArray> request = socket->readLine();
            if (!request)
                break;
            if (*request == protocol::Activate) {
                if (onActivate)
                    onActivate();
                continue;
            }
            const std::optional<QString> keys = keysOf(*request);
            if (!keys) {
                if (!std::exchange(peer->strayLogged, true))
                    qCWarning(lcPinboa, "close request: malformed line passed by: %s",
                              logExcerpt(*request).constData());
                continue;
            }
            // The master waits for the answer, so the connection is not idle meanwhile.
            ++peer->owed;
            socket->setIdleTimeout(0);
            // Once, whichever copy of it the window keeps.
            auto reply = [alive, peer, answered = std::make_shared<bool>()](bool closed) {
                if (std::exchange(*answered, true))
                    return;
                --peer->owed;
                if (!alive)
                    return;
                alive->write(line(closed ? protocol::Done : protocol::NotDone));
                if (peer->owed == 0)
                    alive->setIdleTimeout(protocol::IdleTimeoutMs);
            };
            if (onKeys)
                onKeys(*keys, reply);
            else
                reply(false);
        }
    });
}

// ---------------------------------------------------------------- master side

NoteWindowCloser::NoteWindowCloser(const QString &appDir, qint64 taskId, QObject *parent)
    : QObject(parent), m_appDir(appDir), m_taskId(taskId)
{
}

void NoteWindowCloser::start()
{
    if (std::exchange(m_started, true))
        return;
    if (m_taskId <= 0) {
        // Reported from the event loop, like every other outcome.
        QTimer::singleShot(0, this, [this] { finish(false); });
        return;
    }
    // No such window: nothing is sent anywhere.
    auto *request =
        new LineRequest(socketNames(noteWindowSocketName(m_appDir, m_taskId)),
                        {protocol::Activate, QByteArray(protocol::Keys) + protocol::CloseKeys},
                        {protocol::Done, protocol::NotDone}, this);
    connect(request, &LineRequest::finished, this, [this, request](LineRequest::Outcome outcome) {
        using Outcome = LineRequest::Outcome;
        // A window that ends without answering drops the connection: its close ran.
        const bool confirmed = outcome == Outcome::Dropped || (outcome == Outcome::Answered &&
                                                               request->answer() == protocol::Done);
        if (!confirmed && outcome != Outcome::NotRunning)
            qCWarning(lcPinboa, "note window %lld did not confirm its close", m_taskId);
        finish(confirmed);
    });
    request->start();
}

void NoteWindowCloser::finish(bool confirmed)
{
    emit done(confirmed);
    deleteLater();
}

} // namespace platform

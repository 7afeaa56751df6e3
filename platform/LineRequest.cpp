// A request over the local socket as a small state machine on the event loop.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "LineRequest.h"

#include "LocalSocket.h"
#include "Log.h"
#include "Protocol.h"

#include <QTimer>

namespace platform {

namespace {

// While the listener's queue is full, a connection is tried again this often.
constexpr int ConnectRetryMs = 5;

} // namespace

LineRequest::LineRequest(const QStringList &names, const QByteArrayList &lines,
                         const QByteArrayList &answers, QObject *parent)
    : QObject(parent), m_names(names), m_answers(answers), m_connectMs(protocol::ConnectTimeoutMs),
      m_answerMs(protocol::AnswerTimeoutMs), m_socket(new LocalSocket(this)),
      m_deadline(new QTimer(this))
{
    for (const QByteArray &line : lines)
        m_request += line + '\n';
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { finish(Outcome::TimedOut); });
    connect(m_socket, &LocalSocket::readyRead, this, &LineRequest::takeAnswers);
    connect(m_socket, &LocalSocket::disconnected, this, [this] { finish(Outcome::Dropped); });
}

void LineRequest::setTimeouts(int connectMs, int answerMs)
{
    m_connectMs = connectMs;
    m_answerMs = answerMs;
}

void LineRequest::start()
{
    if (m_state != State::Ready)
        return;
    m_state = State::Connecting;
    m_deadline->start(m_connectMs); // ends the tries while the listener is busy
    QTimer::singleShot(0, this, &LineRequest::tryConnect);
}

void LineRequest::tryConnect()
{
    if (m_state != State::Connecting)
        return;
    switch (m_socket->tryConnect(m_names)) {
    case LocalSocket::Connect::NoListener:
    case LocalSocket::Connect::Stranger:
        return finish(Outcome::NotRunning);
    case LocalSocket::Connect::Busy:
        QTimer::singleShot(ConnectRetryMs, this, &LineRequest::tryConnect);
        return;
    case LocalSocket::Connect::Connected:
        break;
    }
    m_state = State::Waiting;
    m_deadline->start(m_answerMs);
    m_socket->write(m_request); // a peer already gone says so through disconnected()
}

void LineRequest::takeAnswers()
{
    while (const std::optional<QByteArray> line = m_socket->readLine()) {
        if (m_answers.contains(*line)) {
            m_answer = *line;
            return finish(Outcome::Answered);
        }
        if (!std::exchange(m_strayLogged, true))
            qCWarning(lcPinboa, "unexpected answer from %s: %s", qPrintable(m_names.value(0)),
                      logExcerpt(*line).constData());
    }
}

void LineRequest::finish(Outcome outcome)
{
    if (m_state == State::Finished)
        return;
    m_state = State::Finished;
    m_deadline->stop();
    m_socket->disconnect(this);
    m_socket->close();
    emit finished(outcome);
    deleteLater();
}

} // namespace platform

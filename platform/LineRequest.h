// One request over the local socket, waited for from the event loop: the object holds its state
// and its deadlines, and says how it ended with one signal.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QStringList>

class QTimer;

namespace platform {

class LocalSocket;

// Connects to the first of `names` that a process of this user listens under (again and again
// while its queue is full), sends `lines` and waits for one of `answers`; other lines that come
// back are passed by. Each step has its deadline.
class LineRequest : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Ready,
        Connecting,
        Waiting,
        Finished
    };
    enum class Outcome
    {
        Answered,   // one of the answers came back: answer()
        NotRunning, // no process of this user listens under the names: nothing was sent
        Dropped,    // the connection ended without an answer (the peer ended, say)
        TimedOut    // no connection, or no answer, in time
    };
    Q_ENUM(Outcome)

    LineRequest(const QStringList &names, const QByteArrayList &lines,
                const QByteArrayList &answers, QObject *parent = nullptr);
    void setTimeouts(int connectMs, int answerMs);
    // Once, from Ready. The outcome always comes from the event loop, never from within start().
    void start();

    State state() const { return m_state; }
    const QByteArray &answer() const { return m_answer; }

signals:
    // Once; the request deletes itself afterwards.
    void finished(platform::LineRequest::Outcome outcome);

private:
    void tryConnect();
    void takeAnswers();
    void finish(Outcome outcome);

    QStringList m_names;
    QByteArray m_request;
    QByteArrayList m_answers;
    int m_connectMs;
    int m_answerMs;
    State m_state = State::Ready;
    QByteArray m_answer;
    bool m_strayLogged = false;
    LocalSocket *m_socket;
    QTimer *m_deadline;
};

} // namespace platform

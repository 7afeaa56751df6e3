// The master's side of the note launcher: its process, its socket, and the old way when it fails.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteLauncher.h"

#include "LocalSocket.h"
#include "Log.h"
#include "Processes.h"
#include "Protocol.h"
#include "store/NoteArgs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char **environ;

namespace platform {

namespace {

// After a launcher failed, the windows start the old way for this long.
constexpr int RetryAfterMs = 60000;
// Tries at reaping a launcher that ended, from the event loop.
constexpr int ReapTries = 50;
constexpr int ReapIntervalMs = 20;

qint64 now()
{
    return QDeadlineTimer::current().deadline();
}

// The master's environment as it stands: the launcher's notes get it as it was at its start.
QByteArray environment()
{
    QByteArray all;
    for (char **entry = environ; entry && *entry; ++entry)
        all.append(*entry).append('\0');
    return all;
}

// The launcher is the master's own child: reaped once it has ended, without waiting for it.
void reap(qint64 pid, int triesLeft)
{
    if (::waitpid(pid_t(pid), nullptr, WNOHANG) != 0 || triesLeft <= 0 ||
        !QCoreApplication::instance())
        return;
    QTimer::singleShot(ReapIntervalMs, QCoreApplication::instance(),
                       [pid, triesLeft] { reap(pid, triesLeft - 1); });
}

} // namespace

NoteLauncher::NoteLauncher(QObject *parent) : QObject(parent), m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] { giveUp("no answer in time"); });
}

NoteLauncher::~NoteLauncher()
{
    stop();
}

void NoteLauncher::startNoteWindow(const QString &appDir, const QString &noteArgs, Started started)
{
    // Another folder, or an environment changed since the launcher started: a new launcher once
    // no answer is awaited, the old way until then.
    if (m_socket && (appDir != m_appDir || environment() != m_environment)) {
        if (!m_pending.isEmpty()) {
            started(platform::startNoteWindow(appDir, noteArgs));
            return;
        }
        stop();
    }
    const QByteArray bytes = QFile::encodeName(noteArgs);
    // What the launcher cannot carry starts the old way, which says why it cannot start.
    if (noteArgs.contains(QChar(0)) || bytes.isEmpty() || bytes.size() > store::MaxNoteArgsBytes ||
        (!m_socket && !launch(appDir)) ||
        !m_socket->write(QByteArray::number(bytes.size()) + '\n' + bytes)) {
        started(platform::startNoteWindow(appDir, noteArgs));
        return;
    }
    m_pending.append({noteArgs, std::move(started)});
    if (!m_deadline->isActive())
        m_deadline->start(protocol::LauncherAnswerTimeoutMs);
}

bool NoteLauncher::launch(const QString &appDir)
{
    stop();
    const QString program = noteWindowProgram(appDir);
    if (now() < m_notBefore || !QFileInfo(program).isExecutable())
        return false;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    // The launcher's end becomes its descriptor 3, which must not be taken by the other end.
    if (fds[1] == protocol::LauncherDescriptor) {
        const int moved = ::fcntl(fds[1], F_DUPFD_CLOEXEC, protocol::LauncherDescriptor + 1);
        ::close(fds[1]);
        fds[1] = moved;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);

    // Its name says what it is; its one argument is room for the longest argument string, which
    // each note window writes its own into.
    QByteArray name = QFile::encodeName(program) + protocol::LauncherNameEnding;
    QByteArray room(store::MaxNoteArgsBytes, ' ');
    char *argv[] = {name.data(), room.data(), nullptr};
    const QByteArray variable = QByteArray(protocol::LauncherVariable) + '=' +
                                QByteArray::number(protocol::LauncherDescriptor);
    const QByteArray prefix = QByteArray(protocol::LauncherVariable) + '=';
    std::vector<char *> envp;
    for (char **entry = environ; entry && *entry; ++entry) {
        if (std::strncmp(*entry, prefix.constData(), size_t(prefix.size())) != 0)
            envp.push_back(*entry);
    }
    envp.push_back(const_cast<char *>(variable.constData()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, fds[1], protocol::LauncherDescriptor);
    const QByteArray folder = QFile::encodeName(appDir);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, QFile::encodeName(program).constData(), &actions,
                                     &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    if (failed != 0) {
        ::close(fds[0]);
        qCWarning(lcPinboa, "note launcher not started: %s", std::strerror(failed));
        m_notBefore = now() + RetryAfterMs;
        return false;
    }
    m_pid = pid;
    m_appDir = appDir;
    m_environment = environment();
    m_socket = new LocalSocket(this);
    m_socket->adopt(fds[0]);
    connect(m_socket, &LocalSocket::readyRead, this, &NoteLauncher::takeAnswers);
    connect(m_socket, &LocalSocket::disconnected, this, [this] { giveUp("it ended"); });
    return true;
}

void NoteLauncher::takeAnswers()
{
    // An answer's receiver may end this launcher's owner, and with it this object.
    const QPointer<NoteLauncher> alive(this);
    while (alive && m_socket) {
        const std::optional<QByteArray> line = m_socket->readLine();
        if (!line)
            break;
        bool ok = false;
        const qint64 pid = line->toLongLong(&ok);
        if (!ok || pid < 0 || m_pending.isEmpty())
            return giveUp("an answer it was not asked for");
        const Request request = m_pending.takeFirst();
        if (m_pending.isEmpty())
            m_deadline->stop();
        else
            m_deadline->start(protocol::LauncherAnswerTimeoutMs);
        // A window it could not start gets the old way, which says why.
        request.started(pid > 0 ? store::Result<qint64>(pid)
                                : platform::startNoteWindow(m_appDir, request.args));
    }
}

void NoteLauncher::giveUp(const char *why)
{
    qCWarning(lcPinboa, "note launcher given up: %s", why);
    const QString appDir = m_appDir;
    stop();
    m_notBefore = now() + RetryAfterMs;
    // A window the launcher started before it went may be running without its answer: it is
    // found by its argument string, which no other window of this show has.
    QList<LiveNoteWindow> live;
    if (!m_pending.isEmpty())
        live = liveNoteWindows(appDir);
    const QList<Request> requests = std::exchange(m_pending, {});
    const QPointer<NoteLauncher> alive(this);
    for (const Request &request : requests) {
        if (!alive)
            return;
        const auto running = std::find_if(live.cbegin(), live.cend(), [&](const LiveNoteWindow &w) {
            return w.noteArgs == request.args;
        });
        request.started(running != live.cend() ? store::Result<qint64>(running->pid)
                                               : platform::startNoteWindow(appDir, request.args));
    }
}

void NoteLauncher::stop()
{
    m_deadline->stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (m_pid > 0) {
        // Not reaped yet, so the number still names the launcher.
        ::kill(pid_t(m_pid), SIGKILL);
        reap(m_pid, ReapTries);
        m_pid = 0;
    }
}

} // namespace platform

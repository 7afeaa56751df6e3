// SIGTERM, SIGHUP and SIGINT through a socket pair into the event loop, and the session's end.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "EndRequests.h"

#include <QGuiApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

int s_fds[2] = {-1, -1};
constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};

// Runs in signal context: only write(2), and errno left as it was.
void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(s_fds[0], &byte, 1);
    errno = saved;
}

} // namespace

EndRequests::EndRequests(QObject *parent) : QObject(parent)
{
    if (s_fds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_fds) == 0) {
        // A full buffer must never block the handler; one pending byte is enough anyway.
        ::fcntl(s_fds[0], F_SETFL, ::fcntl(s_fds[0], F_GETFL) | O_NONBLOCK);
        ::fcntl(s_fds[1], F_SETFL, ::fcntl(s_fds[1], F_GETFL) | O_NONBLOCK);
    }
    if (s_fds[1] >= 0) {
        auto *notifier = new QSocketNotifier(s_fds[1], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char buffer[64];
            while (::read(s_fds[1], buffer, sizeof buffer) > 0) {
            }
            emit endRequested();
        });
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : Signals)
            ::sigaction(signal, &action, nullptr);
    }
    // The desktop session is ending: the session manager asks for the user's data first.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &EndRequests::endRequested,
                Qt::DirectConnection);
    }
}

EndRequests::~EndRequests()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : Signals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace platform

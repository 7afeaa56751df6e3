// The note launcher: requests from the master's socket, a note window forked for each.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Launcher.h"

#include "platform/Protocol.h"
#include "store/NoteArgs.h"

#include <QByteArray>
#include <QFile>
#include <QLibraryInfo>
#include <QString>

#include <fontconfig/fontconfig.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace notewin {

namespace {

namespace protocol = platform::protocol;

// A request that has begun arrives whole within this time, or the master counts as gone.
constexpr int RequestTimeoutMs = 5000;
// A forked note has its command line in place within this time, or counts as not started.
constexpr int NoteReadyTimeoutMs = 3000;
// The longest byte count of a request, in decimal.
constexpr size_t MaxCountDigits = 7;

long long nowMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Whether `fd` can be read before the deadline (-1: none).
bool readable(int fd, long long deadline)
{
    for (;;) {
        const long long left = deadline < 0 ? -1 : deadline - nowMs();
        if (deadline >= 0 && left <= 0)
            return false;
        pollfd pfd{fd, POLLIN, 0};
        const int n = ::poll(&pfd, 1, left < 0 ? -1 : int(left));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

// Exactly `size` bytes, or false (end of stream, an error, the deadline).
bool readExactly(int fd, char *out, size_t size, long long deadline)
{
    while (size > 0) {
        if (!readable(fd, deadline))
            return false;
        const ssize_t n = ::read(fd, out, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        size -= size_t(n);
    }
    return true;
}

// The next request: the argument string. Nothing once the master has gone, or when what comes is
// not a request.
std::optional<std::string> readRequest(int socket)
{
    std::string digits;
    long long deadline = -1; // the master may ask nothing for a long time
    for (;;) {
        char c = 0;
        if (!readExactly(socket, &c, 1, deadline))
            return std::nullopt;
        deadline = nowMs() + RequestTimeoutMs;
        if (c == '\n')
            break;
        if (c < '0' || c > '9' || digits.size() == MaxCountDigits)
            return std::nullopt;
        digits += c;
    }
    const size_t size = digits.empty() ? 0 : size_t(std::stoul(digits));
    if (digits.empty() || size == 0 || size > size_t(store::MaxNoteArgsBytes))
        return std::nullopt;
    std::string args(size, '\0');
    if (!readExactly(socket, args.data(), size, deadline))
        return std::nullopt;
    return args;
}

bool reply(int socket, long pid)
{
    const std::string line = std::to_string(pid) + '\n';
    const char *data = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::send(socket, data, left, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= size_t(n);
    }
    return true;
}

bool isStreamSocket(int fd)
{
    int type = 0;
    socklen_t size = sizeof type;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_STREAM;
}

// What a note window loads at its start that does not depend on its note or on the display,
// loaded here once: forked notes find it loaded, and share its pages.
void preload()
{
    // The platform plugin and the input method plugin by the paths Qt loads them from, with every
    // symbol bound now.
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
    QStringList wanted;
    if (platformName.isEmpty() || platformName.startsWith("xcb"))
        wanted << QStringLiteral("/platforms/libqxcb.so")
               << QStringLiteral("/platforminputcontexts/libcomposeplatforminputcontextplugin.so");
    else if (platformName.startsWith("offscreen"))
        wanted << QStringLiteral("/platforms/libqoffscreen.so");
    for (const QString &plugin : std::as_const(wanted))
        ::dlopen(QFile::encodeName(plugins + plugin).constData(), RTLD_NOW | RTLD_LOCAL);
    // The font configuration: its files parsed and its caches mapped.
    FcInit();
}

// The command line as the system laid it out: argv[0] and argv[1], one after the other.
struct CommandLine
{
    char *start = nullptr;
    size_t size = 0;        // to the end of argv[1], its NUL included
    size_t ownNameSize = 0; // the launcher's argv[0], its NUL included
    std::string program;    // the note window's argv[0]
    std::string folder;     // the program folder, its working directory
};

// Closes every descriptor from `first` on but `keep` (-1: none).
void closeDescriptorsFrom(int first, int keep)
{
    if (keep < first) {
        if (::close_range(unsigned(first), ~0U, 0) == 0)
            return;
    } else if ((keep == first || ::close_range(unsigned(first), unsigned(keep - 1), 0) == 0) &&
               ::close_range(unsigned(keep + 1), ~0U, 0) == 0) {
        return;
    }
    // A system without close_range: the open descriptors one by one.
    DIR *fds = ::opendir("/proc/self/fd");
    if (!fds)
        return;
    const int own = ::dirfd(fds);
    while (const dirent *entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        if (fd >= first && fd != keep && fd != own)
            ::close(fd);
    }
    ::closedir(fds);
}

// What the forked processes tell the launcher through one pipe, each in one write (so whole), in
// whichever order they happen to run: the note's process id, then that its command line is in
// place.
struct Report
{
    enum Kind : int32_t
    {
        Forked,
        InPlace
    } kind;
    pid_t pid;
};

// In the forked note: nothing of the launcher's left open, the program folder, and the command
// line a start by hand would show.
void becomeNote(const CommandLine &line, const std::string &args, int ready)
{
    closeDescriptorsFrom(3, ready);
    [[maybe_unused]] const int moved = ::chdir(line.folder.c_str());
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    char *at = line.start;
    std::memcpy(at, line.program.c_str(), line.program.size() + 1);
    at += line.program.size() + 1;
    std::memcpy(at, args.c_str(), args.size() + 1);
    at += args.size() + 1;
    // The launcher's own name may reach further; the rest of its room is clear already.
    if (const size_t written = size_t(at - line.start); written < line.ownNameSize)
        std::memset(at, 0, line.ownNameSize - written);

    const Report inPlace{Report::InPlace, ::getpid()};
    [[maybe_unused]] const ssize_t n = ::write(ready, &inPlace, sizeof inPlace);
    ::close(ready);
}

// Forks the note window. In the launcher: its process id once its command line is in place, or
// 0. In the note window: -1, with `ready` the descriptor that says it is in place.
long forkNote(int socket, int *ready)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return 0;
    const pid_t first = ::fork();
    if (first < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return 0;
    }
    if (first == 0) {
        // A session of its own; and once this first child has ended, which it does at once, the
        // note has no parent but the system's, as after a start by hand.
        ::setsid();
        const pid_t note = ::fork();
        if (note != 0) {
            const Report forked{Report::Forked, note};
            [[maybe_unused]] const ssize_t n = ::write(report[1], &forked, sizeof forked);
            ::_exit(0);
        }
        ::close(report[0]);
        ::close(socket);
        *ready = report[1];
        return -1;
    }
    ::close(report[1]);
    while (::waitpid(first, nullptr, 0) < 0 && errno == EINTR) {
    }
    const long long deadline = nowMs() + NoteReadyTimeoutMs;
    pid_t note = 0;
    bool inPlace = false;
    Report got{};
    while (!inPlace &&
           readExactly(report[0], reinterpret_cast<char *>(&got), sizeof got, deadline)) {
        if (got.pid <= 0)
            break;
        note = got.pid;
        inPlace = got.kind == Report::InPlace;
    }
    ::close(report[0]);
    if (inPlace)
        return note;
    if (note > 0)
        ::kill(note, SIGKILL); // not in place in time: it never counts as started
    return 0;
}

} // namespace

std::optional<std::string> serveAsLauncher(int argc, char *argv[])
{
    const char *named = std::getenv(protocol::LauncherVariable);
    if (!named)
        return std::nullopt;
    const bool asked =
        std::strcmp(named, std::to_string(protocol::LauncherDescriptor).c_str()) == 0;
    ::unsetenv(protocol::LauncherVariable); // nothing started from here on inherits it

    // Started as the launcher: a name with its ending, then room for the longest argument string
    // right after it, and the socket to the master.
    const size_t ending = std::strlen(protocol::LauncherNameEnding);
    const size_t nameLength = argc == 2 ? std::strlen(argv[0]) : 0;
    const bool launcherName = nameLength > ending && std::strcmp(argv[0] + nameLength - ending,
                                                                 protocol::LauncherNameEnding) == 0;
    const size_t room = argc == 2 ? std::strlen(argv[1]) : 0;
    if (!launcherName)
        return std::nullopt; // a start by hand that only inherited the variable
    if (!asked || argv[1] != argv[0] + nameLength + 1 || room < size_t(store::MaxNoteArgsBytes) ||
        !isStreamSocket(protocol::LauncherDescriptor))
        std::_Exit(1);

    CommandLine line;
    line.start = argv[0];
    line.size = nameLength + 1 + room + 1;
    line.ownNameSize = nameLength + 1;
    line.program.assign(argv[0], nameLength - ending);
    const size_t slash = line.program.rfind('/');
    line.folder = slash == std::string::npos ? std::string(".") : line.program.substr(0, slash + 1);
    // Room, not a note: cleared, so that the launcher never reads as a note window.
    std::memset(argv[1], 0, room);

    // Ends with the master: killed when it goes, and the end of its socket read otherwise (the
    // master gone before this was said). Nothing else of the master's is kept open.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    closeDescriptorsFrom(protocol::LauncherDescriptor + 1, -1);

    preload();
    const int socket = protocol::LauncherDescriptor;
    for (;;) {
        std::optional<std::string> args = readRequest(socket);
        if (!args)
            std::_Exit(0); // the master has gone
        long pid = 0;
        const bool fits = line.program.size() + 1 + args->size() + 1 <= line.size;
        if (fits && args->find('\0') == std::string::npos) {
            int ready = -1;
            pid = forkNote(socket, &ready);
            if (pid < 0) {
                becomeNote(line, *args, ready);
                return args;
            }
        }
        if (!reply(socket, pid))
            std::_Exit(0);
    }
}

} // namespace notewin

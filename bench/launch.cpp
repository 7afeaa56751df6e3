// Benchmark driver: starts a program and measures the time until its window is mapped (and,
// optionally, until a file holds a given text), or the memory of several shown copies.
//
//   bench_launch time RUNS  [--file PATH --contains TEXT] -- PROGRAM ARGS...
//   bench_launch pss  COUNT [--file PATH --contains TEXT] -- PROGRAM ARGS...
//
// "time" prints one line per run and then "median_ms N"; "pss" starts COUNT copies, each
// waited for, and prints the Pss of each and then "median_pss_kb N". Meant for an X server
// without a window manager, so that a program's top-level window is a child of the root.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(20);

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "bench_launch: %s\n", what.c_str());
    std::exit(1);
}

struct Options
{
    std::string mode;
    int count = 0;
    std::string file;
    std::string contains;
    std::vector<char *> argv;
};

class Display
{
public:
    Display()
    {
        m_conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_conn))
            fail("cannot connect to the X server in DISPLAY");
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        auto *reply = xcb_intern_atom_reply(
            m_conn, xcb_intern_atom(m_conn, 0, sizeof name - 1, name), nullptr);
        if (!reply)
            fail("cannot intern _NET_WM_PID");
        m_pidAtom = reply->atom;
        free(reply);
        xcb_flush(m_conn);
    }
    ~Display() { xcb_disconnect(m_conn); }

    // Drops events left over from earlier runs.
    void drain()
    {
        while (xcb_generic_event_t *ev = xcb_poll_for_event(m_conn))
            free(ev);
    }

    // Waits for the MapNotify of a top-level window that belongs to `pid`.
    void waitMapped(pid_t pid, Clock::time_point deadline)
    {
        pollfd pfd{xcb_get_file_descriptor(m_conn), POLLIN, 0};
        for (;;) {
            while (xcb_generic_event_t *ev = xcb_poll_for_event(m_conn)) {
                const bool mapped = (ev->response_type & 0x7f) == XCB_MAP_NOTIFY;
                const xcb_window_t win =
                    mapped ? reinterpret_cast<xcb_map_notify_event_t *>(ev)->window : 0;
                free(ev);
                if (mapped && windowPid(win) == pid)
                    return;
            }
            if (xcb_connection_has_error(m_conn))
                fail("X connection lost");
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                fail("the program ended before its window was shown");
            if (Clock::now() > deadline)
                fail("no window was shown in time");
            poll(&pfd, 1, 5);
        }
    }

private:
    pid_t windowPid(xcb_window_t win)
    {
        auto *reply = xcb_get_property_reply(
            m_conn, xcb_get_property(m_conn, 0, win, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        pid_t pid = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pid = static_cast<pid_t>(*static_cast<uint32_t *>(xcb_get_property_value(reply)));
        free(reply);
        return pid;
    }

    xcb_connection_t *m_conn = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = 0;
};

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t occurrences(const std::string &hay, const std::string &needle)
{
    size_t n = 0;
    for (size_t at = hay.find(needle); at != std::string::npos;
         at = hay.find(needle, at + needle.size()))
        ++n;
    return n;
}

// Waits until the file holds the text at least `times` times.
void waitFileHolds(const Options &o, size_t times, Clock::time_point deadline)
{
    if (o.file.empty())
        return;
    while (occurrences(readFile(o.file), o.contains) < times) {
        if (Clock::now() > deadline)
            fail("the file " + o.file + " did not get its entry in time");
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

pid_t start(const Options &o)
{
    pid_t pid = 0;
    if (posix_spawn(&pid, o.argv[0], nullptr, nullptr, o.argv.data(), environ) != 0)
        fail(std::string("cannot start ") + o.argv[0] + ": " + std::strerror(errno));
    return pid;
}

void stop(pid_t pid)
{
    // SIGKILL: the programs' own close handling is not part of what is measured.
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

long pssKb(pid_t pid)
{
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/smaps_rollup"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Pss:", 0) == 0)
            return std::strtol(line.c_str() + 4, nullptr, 10);
    }
    fail("no Pss for process " + std::to_string(pid));
}

template <typename T> T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

Options parse(int argc, char *argv[])
{
    Options o;
    if (argc < 5)
        fail("usage: bench_launch time|pss N [--file PATH --contains TEXT] -- PROGRAM ARGS...");
    o.mode = argv[1];
    o.count = std::atoi(argv[2]);
    int i = 3;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (!std::strcmp(argv[i], "--file") && i + 1 < argc)
            o.file = argv[++i];
        else if (!std::strcmp(argv[i], "--contains") && i + 1 < argc)
            o.contains = argv[++i];
        else
            fail(std::string("unknown option ") + argv[i]);
    }
    for (++i; i < argc; ++i)
        o.argv.push_back(argv[i]);
    o.argv.push_back(nullptr);
    if (o.argv.size() < 2 || o.count < 1 || (o.mode != "time" && o.mode != "pss"))
        fail("nothing to start");
    if (!o.file.empty() && o.contains.empty())
        fail("--file needs --contains");
    return o;
}

} // namespace

int main(int argc, char *argv[])
{
    const Options o = parse(argc, argv);
    Display display;

    if (o.mode == "time") {
        std::vector<double> ms;
        for (int run = 0; run < o.count; ++run) {
            if (!o.file.empty())
                unlink(o.file.c_str());
            display.drain();
            const auto t0 = Clock::now();
            const pid_t pid = start(o);
            display.waitMapped(pid, t0 + kTimeout);
            waitFileHolds(o, 1, t0 + kTimeout);
            const auto t1 = Clock::now();
            stop(pid);
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            std::printf("run %d %.2f ms\n", run + 1, ms.back());
        }
        std::printf("median_ms %.2f\n", median(ms));
        return 0;
    }

    if (!o.file.empty())
        unlink(o.file.c_str());
    std::vector<pid_t> pids;
    for (int i = 0; i < o.count; ++i) {
        display.drain();
        const auto t0 = Clock::now();
        pids.push_back(start(o));
        display.waitMapped(pids.back(), t0 + kTimeout);
        waitFileHolds(o, pids.size(), t0 + kTimeout);
    }
    // Let start-up work that follows the first paint finish before measuring.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<long> kb;
    for (pid_t pid : pids) {
        kb.push_back(pssKb(pid));
        std::printf("pid %d pss %ld kB\n", static_cast<int>(pid), kb.back());
    }
    for (pid_t pid : pids)
        stop(pid);
    std::printf("median_pss_kb %ld\n", median(kb));
    return 0;
}

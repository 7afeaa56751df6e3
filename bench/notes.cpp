// Benchmark driver: the master showing all notes (HYOUZI) and closing them (UL) in a temporary
// program folder, against the floor program started as many times at once.
//
//   bench_notes PROGRAM_DIR BENCH_DIR [COUNT] [ROUNDS]
//
// Prints lines "figure value floor unit", medians over ROUNDS (3 by default). Meant for an X
// server without a window manager, where a shown top-level window is a child of the root.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/NoteDesktop.h"
#include "platform/Processes.h"
#include "store/NoteArgs.h"
#include "store/NoteStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "bench_notes: %s\n", qPrintable(what));
    std::exit(1);
}

class Display
{
public:
    Display()
    {
        m_conn = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_conn))
            fail(QStringLiteral("cannot connect to the X server in DISPLAY"));
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        auto *reply = xcb_intern_atom_reply(
            m_conn, xcb_intern_atom(m_conn, 0, sizeof name - 1, name), nullptr);
        if (!reply)
            fail(QStringLiteral("cannot intern _NET_WM_PID"));
        m_pidAtom = reply->atom;
        free(reply);
        xcb_flush(m_conn);
    }
    ~Display() { xcb_disconnect(m_conn); }

    void drain()
    {
        while (xcb_generic_event_t *ev = xcb_poll_for_event(m_conn))
            free(ev);
    }

    // Waits until a top-level window of every process in `pids` was mapped; events that
    // arrived before the call count.
    void waitMapped(const QSet<qint64> &pids, int timeoutMs)
    {
        QSet<qint64> shown;
        QElapsedTimer timer;
        timer.start();
        pollfd pfd{xcb_get_file_descriptor(m_conn), POLLIN, 0};
        while (shown.size() < pids.size()) {
            while (xcb_generic_event_t *ev = xcb_poll_for_event(m_conn)) {
                if ((ev->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    const qint64 pid =
                        windowPid(reinterpret_cast<xcb_map_notify_event_t *>(ev)->window);
                    if (pids.contains(pid))
                        shown.insert(pid);
                }
                free(ev);
            }
            if (xcb_connection_has_error(m_conn))
                fail(QStringLiteral("X connection lost"));
            if (timer.elapsed() > timeoutMs)
                fail(QStringLiteral("only %1 of %2 windows were shown in time")
                         .arg(shown.size())
                         .arg(pids.size()));
            if (shown.size() < pids.size())
                poll(&pfd, 1, 5);
        }
    }

private:
    qint64 windowPid(xcb_window_t win)
    {
        auto *reply = xcb_get_property_reply(
            m_conn, xcb_get_property(m_conn, 0, win, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        qint64 pid = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pid = *static_cast<uint32_t *>(xcb_get_property_value(reply));
        free(reply);
        return pid;
    }

    xcb_connection_t *m_conn = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = 0;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// COUNT floor windows started at once, until every one is shown.
double floorRound(Display &display, const QByteArray &floorProgram, int count)
{
    display.drain();
    QElapsedTimer timer;
    timer.start();
    QSet<qint64> pids;
    for (int i = 0; i < count; ++i) {
        pid_t pid = 0;
        char *argv[] = {const_cast<char *>(floorProgram.constData()), nullptr};
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0)
            fail(QStringLiteral("cannot start the floor program"));
        pids.insert(pid);
    }
    display.waitMapped(pids, 60000);
    const double ms = timer.nsecsElapsed() / 1e6;
    for (const qint64 pid : pids) {
        ::kill(pid_t(pid), SIGKILL);
        ::waitpid(pid_t(pid), nullptr, 0);
    }
    return ms;
}

// A grid of small notes over the screen, in twips.
store::NoteRecord benchNote(int i)
{
    using store::Value;
    store::NoteRecord note;
    note.NoteText = Value::text(QStringLiteral("計測用の付箋 %1").arg(i + 1));
    note.NoteBackColor = Value::text(QStringLiteral("12632256"));
    note.NoteFontName = Value::text(QStringLiteral("Noto Sans CJK JP"));
    note.NoteFontSize = Value::number(12);
    note.NoteTop = Value::number(300 + (i / 10) * 1200);
    note.NoteLeft = Value::number(300 + (i % 10) * 1800);
    note.NoteWidth = Value::number(1650);
    note.NoteHeight = Value::number(900);
    note.NoteForeColor = Value::number(0);
    note.NoteId = Value::number(i + 1);
    return note;
}

// The note windows alone: COUNT memlets started at once with their notes, without the master,
// until every one is shown and has written its entry. What the master adds is the rest.
double directRound(Display &display, const QString &memlet, int count)
{
    QTemporaryDir dir;
    const QString appDir = QDir(dir.path()).canonicalPath() + QLatin1Char('/');
    const QString program = appDir + QStringLiteral("memlet");
    if (!QFile::copy(memlet, program))
        fail(QStringLiteral("cannot copy memlet"));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray programPath = QFile::encodeName(program);
    QList<QByteArray> args;
    for (int i = 0; i < count; ++i)
        args.append(store::EncodeNoteArgs(benchNote(i)).value().toLocal8Bit());

    display.drain();
    QElapsedTimer timer;
    timer.start();
    QSet<qint64> pids;
    for (int i = 0; i < count; ++i) {
        pid_t pid = 0;
        char *argv[] = {const_cast<char *>(programPath.constData()), args[i].data(), nullptr};
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0)
            fail(QStringLiteral("cannot start memlet"));
        pids.insert(pid);
    }
    display.waitMapped(pids, 60000);
    const store::NoteStore files(appDir);
    for (;;) {
        const auto entries = files.readRunningEntries();
        if (entries.ok() && entries.value().size() == count)
            break;
        if (timer.elapsed() > 60000)
            fail(QStringLiteral("the note windows did not all write their entries"));
        QThread::msleep(1);
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    for (const qint64 pid : pids) {
        ::kill(pid_t(pid), SIGKILL);
        ::waitpid(pid_t(pid), nullptr, 0);
    }
    return ms;
}

struct NotesRound
{
    double showMs = 0;
    double closeMsPerNote = 0;
};

NotesRound notesRound(Display &display, const QString &memlet, int count)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("no temporary folder"));
    const QString appDir = QDir(dir.path()).canonicalPath() + QLatin1Char('/');
    if (!QFile::copy(memlet, appDir + QStringLiteral("memlet")))
        fail(QStringLiteral("cannot copy memlet"));
    QFile::setPermissions(appDir + QStringLiteral("memlet"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (int i = 0; i < count; ++i) {
        if (!store::NoteStore(appDir).appendNoteRecord(benchNote(i)).ok())
            fail(QStringLiteral("cannot write MDATA.INI"));
    }
    platform::setProgramFolderForTesting(appDir);

    NotesRound round;
    master::NoteDesktop desktop;
    display.drain();
    QElapsedTimer timer;
    timer.start();
    // The master's operations run from its event loop and say when they are over.
    QString message;
    auto runToEnd = [&](bool started, const char *what) {
        if (!started)
            fail(QStringLiteral("%1 did not start").arg(QLatin1String(what)));
        QEventLoop loop;
        QObject::connect(&desktop, &master::NoteDesktop::finished, &loop, [&](const QString &text) {
            message = text;
            loop.quit();
        });
        QTimer::singleShot(120000, &loop,
                           [&] { fail(QStringLiteral("%1 never ended").arg(what)); });
        loop.exec();
        if (!message.isEmpty())
            fail(QStringLiteral("%1: %2").arg(QLatin1String(what), message));
    };
    runToEnd(desktop.HYOUZI(), "HYOUZI");
    QSet<qint64> pids;
    for (int row = 1; row < desktop.NoteTable().size(); ++row)
        pids.insert(desktop.NoteTable()[row].NoteTaskId);
    display.waitMapped(pids, 60000);
    round.showMs = timer.nsecsElapsed() / 1e6;

    // Every entry carries its window's task identifier.
    const auto entries = store::NoteStore(appDir).readRunningEntries();
    if (!entries.ok() || entries.value().size() != count)
        fail(QStringLiteral("IDDATA.INI does not hold one entry per note"));
    for (const store::RunningEntry &entry : entries.value()) {
        if (!entry.RunningTaskId.isNumber() ||
            !pids.contains(qint64(entry.RunningTaskId.toNumber().value_or(0))))
            fail(QStringLiteral("an entry without its task identifier"));
    }

    timer.restart();
    runToEnd(desktop.UL(), "UL");
    round.closeMsPerNote = timer.nsecsElapsed() / 1e6 / count;
    // Every window wrote back and removed its entry before UL went on; the processes end by
    // themselves right after.
    const auto left = store::NoteStore(appDir).readRunningEntries();
    if (!left.ok() || !left.value().isEmpty())
        fail(QStringLiteral("UL left entries behind"));
    QElapsedTimer ending;
    ending.start();
    while (!platform::liveNoteWindows(appDir).isEmpty()) {
        if (ending.elapsed() > 10000)
            fail(QStringLiteral("UL left note windows open"));
        QThread::msleep(20);
    }
    platform::setProgramFolderForTesting(QString());
    return round;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        fail(QStringLiteral("usage: bench_notes PROGRAM_DIR BENCH_DIR [COUNT] [ROUNDS]"));
    const QString programDir = QString::fromLocal8Bit(argv[1]);
    const QByteArray floorProgram =
        QFile::encodeName(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench_floor"));
    const int count = argc > 3 ? std::atoi(argv[3]) : 50;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;

    Display display;
    QList<double> floors, directs, shows, closes;
    for (int i = 0; i < rounds; ++i) {
        floors.append(floorRound(display, floorProgram, count));
        directs.append(directRound(display, programDir + QStringLiteral("/memlet"), count));
        const NotesRound round = notesRound(display, programDir + QStringLiteral("/memlet"), count);
        shows.append(round.showMs);
        closes.append(round.closeMsPerNote);
    }
    std::printf("show_all_%d_notes_until_shown_and_recorded %.2f %.2f ms\n", count, median(shows),
                median(floors));
    // For reading the figure above: how much of it the note windows take by themselves.
    std::printf("of_which_%d_note_windows_started_directly %.2f %.2f ms\n", count, median(directs),
                median(floors));
    // No floor for closing: the target stands in its place.
    std::printf("close_all_%d_notes_per_note_(target_10) %.2f 10 ms\n", count, median(closes));
    return 0;
}

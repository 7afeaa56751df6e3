// memlet as a real process in a temporary copy of the program folder: start-up, the close request,
// failures, and many windows ending at once or being killed while they close.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "platform/CloseRequest.h"
#include "platform/NoteLauncher.h"
#include "platform/Processes.h"
#include "store/Records.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The argument string of note `id` ("メモ" at the given place), as the master hands it over.
QString args(const QString &id, int top = 1500, int left = 3000, const QString &fontSize = "12")
{
    store::NoteRecord note = testsupport::noteAt(0, top, left);
    note.NoteFontSize = store::Value::text(fontSize);
    note.NoteId = store::Value::text(id);
    return testsupport::noteArgs(note);
}

QByteArray record(int id, int top = 0, int left = 0)
{
    return testsupport::recordBytes(testsupport::noteAt(id, top, left));
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// Asks the note window `pid` to close, the way the master does; true when it confirmed.
bool closeWindow(const QString &dir, qint64 pid)
{
    auto *closer = new platform::NoteWindowCloser(dir, pid);
    QSignalSpy done(closer, &platform::NoteWindowCloser::done);
    closer->start();
    return done.wait(10000) && done.at(0).at(0).toBool();
}

bool alive(qint64 pid)
{
    return QFile::exists(QStringLiteral("/proc/%1/exe").arg(pid)) &&
           !QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).isEmpty();
}

QByteArray linkOf(const QString &path)
{
    char target[256];
    const ssize_t n = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return n > 0 ? QByteArray(target, int(n)) : QByteArray();
}

// Another program holding the folder's lock, as long as the object lives.
class LockHolder
{
public:
    explicit LockHolder(const QString &dir)
        : m_fd(::open(QFile::encodeName(dir + QStringLiteral("/.pinboa.lock")).constData(),
                      O_RDWR | O_CREAT, 0666))
    {
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0)
            qFatal("cannot hold the folder lock");
    }
    ~LockHolder() { ::close(m_fd); }

private:
    int m_fd;
};

} // namespace

using testsupport::readBytes;
using testsupport::writeBytes;

class tst_MemletProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startAppendsItsEntryAndCloseRequestWritesBack();
    void noteTextIsNeverTakenForAnOption();
    void unusableArgumentsLeaveBothFiles();
    void emptyArgumentEndsAtOnce();
    void unreachableWindowFailsAtOnce();
    void everySignalToEndClosesTheNote();
    void manyWindowsEndingAtOnce();
    void killedWhileClosingLeavesWholeFiles();
    void heldLockBoundsEveryWait();
    void closeRequestDuringStartUpIsNotYet();
    void launcherForksNoteWindowsOfTheirOwn();

private:
    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    QList<store::RunningEntry> entries() const;
    QList<store::NoteRecord> records() const;

    QString m_built;
    std::unique_ptr<testsupport::ProgramFolder> m_dir;
    QList<qint64> m_started;
};

void tst_MemletProcess::initTestCase()
{
    m_built = QDir(qEnvironmentVariable("PINBOA_PROGRAM_DIR")).filePath(QStringLiteral("memlet"));
    QVERIFY2(QFile::exists(m_built), qPrintable(m_built));
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) // ctest runs it offscreen; by hand, any
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("PINBOA_MESSAGES_TO_STDERR", "1");
}

void tst_MemletProcess::init()
{
    m_dir = std::make_unique<testsupport::ProgramFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(m_dir->addProgram(m_built));
    m_started.clear();
}

void tst_MemletProcess::cleanup()
{
    for (qint64 pid : m_started)
        ::kill(pid_t(pid), SIGKILL);
    m_dir.reset();
}

QList<store::RunningEntry> tst_MemletProcess::entries() const
{
    auto parsed = store::parseRunningEntries(readBytes(path("IDDATA.INI")));
    return parsed ? parsed.value() : QList<store::RunningEntry>{};
}

QList<store::NoteRecord> tst_MemletProcess::records() const
{
    auto parsed = store::parseNoteRecords(readBytes(path("MDATA.INI")));
    return parsed ? parsed.value() : QList<store::NoteRecord>{};
}

void tst_MemletProcess::startAppendsItsEntryAndCloseRequestWritesBack()
{
    writeBytes(path("MDATA.INI"), record(3, 15, 15) + record(7) + record(9, 30, 30));
    writeBytes(path("IDDATA.INI"), "\"3\",777\r\n");
    const QString noteArgs = args(QStringLiteral("7"), 1500, 3000, QStringLiteral("10.5"));
    const auto started = platform::startNoteWindow(m_dir->path(), noteArgs);
    QVERIFY2(started.ok(), qPrintable(started.error()));
    const qint64 pid = started.value();
    m_started.append(pid);

    QVERIFY(waitFor([&] { return readBytes(path("IDDATA.INI")).endsWith("\"7\",\"0\"\r\n"); }));
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray("\"3\",777\r\n\"7\",\"0\"\r\n"));
    // Detached: no child of the starter (nothing for it to reap), out of the starter's session
    // (a terminal's signals do not reach it), in the program folder.
    const QList<QByteArray> stat = readBytes(QStringLiteral("/proc/%1/stat").arg(pid)).split(' ');
    QVERIFY(stat.size() > 5);
    QVERIFY(stat.at(3).toLongLong() != QCoreApplication::applicationPid());
    QVERIFY(stat.at(5).toLongLong() != ::getsid(0));
    QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).canonicalFilePath(),
             QDir(m_dir->path()).canonicalPath());
    QVERIFY(platform::isLiveNoteWindow(m_dir->path(), pid));
    QVERIFY(!platform::isLiveNoteWindow(m_dir->path(), QCoreApplication::applicationPid()));
    const auto live = platform::liveNoteWindows(m_dir->path());
    QCOMPARE(live.size(), 1);
    QCOMPARE(live.at(0).pid, pid);
    QCOMPARE(live.at(0).noteArgs, noteArgs); // character for character

    // The call returns after the write-back.
    QVERIFY(closeWindow(m_dir->path(), pid));
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray("\"3\",777\r\n"));
    QCOMPARE(readBytes(path("MDATA.INI")),
             record(3, 15, 15) + record(7, 1500, 3000) + record(9, 30, 30));
    QVERIFY(waitFor([&] { return !alive(pid); }));
    QVERIFY(platform::liveNoteWindows(m_dir->path()).isEmpty());
}

void tst_MemletProcess::noteTextIsNeverTakenForAnOption()
{
    // The whole note is one argument; text that starts like one of the toolkit's own options
    // must reach the window as it stands.
    const QString noteArgs = QStringLiteral("-style=fusion") + args(QStringLiteral("4"));
    const qint64 pid = platform::startNoteWindow(m_dir->path(), noteArgs).value();
    QVERIFY(pid > 0);
    m_started.append(pid);
    QVERIFY(waitFor([&] { return readBytes(path("IDDATA.INI")) == "\"4\",\"0\"\r\n"; }));
    QVERIFY(closeWindow(m_dir->path(), pid));
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray());
}

void tst_MemletProcess::unusableArgumentsLeaveBothFiles()
{
    const QByteArray notes = record(7);
    const QByteArray running = "\"7\",\"0\"\r\n";
    writeBytes(path("MDATA.INI"), notes);
    writeBytes(path("IDDATA.INI"), running);
    const QStringList unusable = {
        args(QStringLiteral("7"), 1500, 3000, QStringLiteral("大")),
        args(QStringLiteral("7")).section(QStringLiteral("/\\/"), 0, 8), // nine fields
    };
    for (const QString &noteArgs : unusable) {
        QProcess memlet;
        memlet.start(path("memlet"), {noteArgs});
        QVERIFY(memlet.waitForFinished(20000));
        QCOMPARE(memlet.exitStatus(), QProcess::NormalExit);
        QVERIFY(memlet.exitCode() != 0);
        QVERIFY(!memlet.readAllStandardError().isEmpty()); // the report
        QCOMPARE(readBytes(path("MDATA.INI")), notes);
        QCOMPARE(readBytes(path("IDDATA.INI")), running);
    }
}

void tst_MemletProcess::emptyArgumentEndsAtOnce()
{
    for (const QStringList &arguments : {QStringList{QString()}, QStringList{}}) {
        QProcess memlet;
        memlet.start(path("memlet"), arguments);
        QVERIFY(memlet.waitForFinished(20000));
        QCOMPARE(memlet.exitCode(), 0);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("memlet")});
    }
}

void tst_MemletProcess::unreachableWindowFailsAtOnce()
{
    // A pid that is no note window of this folder, and a task identifier that was never one.
    QVERIFY(!closeWindow(m_dir->path(), QCoreApplication::applicationPid()));
    QVERIFY(!closeWindow(m_dir->path(), 0));
    QVERIFY(!closeWindow(m_dir->path(), 999999));
    QVERIFY(!QFile::exists(path("IDDATA.INI")));
}

void tst_MemletProcess::everySignalToEndClosesTheNote()
{
    const int endSignals[] = {SIGTERM, SIGHUP, SIGINT};
    writeBytes(path("MDATA.INI"), record(1) + record(2) + record(3));
    for (int id = 1; id <= 3; ++id) {
        const qint64 pid =
            platform::startNoteWindow(m_dir->path(), args(QString::number(id), 150 * id, 300))
                .value();
        QVERIFY(pid > 0);
        m_started.append(pid);
    }
    QVERIFY(waitFor([&] { return entries().size() == 3; }));
    for (int i = 0; i < 3; ++i)
        ::kill(pid_t(m_started.at(i)), endSignals[i]);
    QVERIFY(waitFor([&] { return std::none_of(m_started.begin(), m_started.end(), alive); }));
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray());
    QCOMPARE(readBytes(path("MDATA.INI")),
             record(1, 150, 300) + record(2, 300, 300) + record(3, 450, 300));
}

void tst_MemletProcess::manyWindowsEndingAtOnce()
{
    constexpr int Count = 30;
    QByteArray notes;
    for (int id = 1; id <= Count; ++id)
        notes += record(id);
    writeBytes(path("MDATA.INI"), notes);
    for (int id = 1; id <= Count; ++id) {
        const qint64 pid =
            platform::startNoteWindow(m_dir->path(), args(QString::number(id), 15 * id, 30 * id))
                .value();
        QVERIFY(pid > 0);
        m_started.append(pid);
    }
    QVERIFY(waitFor([&] { return entries().size() == Count; }, 60000));

    for (qint64 pid : m_started)
        ::kill(pid_t(pid), SIGTERM);
    QVERIFY(
        waitFor([&] { return std::none_of(m_started.begin(), m_started.end(), alive); }, 60000));

    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray());
    QByteArray expected;
    for (int id = 1; id <= Count; ++id)
        expected += record(id, 15 * id, 30 * id);
    QCOMPARE(readBytes(path("MDATA.INI")), expected);
}

void tst_MemletProcess::killedWhileClosingLeavesWholeFiles()
{
    constexpr int Windows = 2;
    QByteArray notes;
    for (int id = 1; id <= Windows; ++id)
        notes += record(id);
    writeBytes(path("MDATA.INI"), notes);
    QRandomGenerator random(20261207);
    QElapsedTimer elapsed;
    elapsed.start();
    int rounds = 0;
    int outcomes[3] = {};
    while (rounds < 400 && elapsed.elapsed() < 45000) {
        ++rounds;
        writeBytes(path("IDDATA.INI"), QByteArray());
        QList<qint64> pids;
        for (int id = 1; id <= Windows; ++id) {
            const qint64 pid = platform::startNoteWindow(
                                   m_dir->path(), args(QString::number(id), 15 * rounds, 15 * id))
                                   .value();
            QVERIFY(pid > 0);
            pids.append(pid);
            m_started.append(pid);
        }
        QVERIFY(waitFor([&] { return entries().size() == Windows; }, 30000));
        for (qint64 pid : pids)
            ::kill(pid_t(pid), SIGTERM);
        // Somewhere in the middle of the closes.
        QThread::usleep(random.bounded(30000));
        for (qint64 pid : pids)
            ::kill(pid_t(pid), SIGKILL);
        QVERIFY(waitFor([&] { return std::none_of(pids.begin(), pids.end(), alive); }));
        m_started.clear();
        // A killed window leaves no socket file behind.
        for (qint64 pid : pids)
            QVERIFY(
                !QFile::exists(QDir(QDir::tempPath())
                                   .filePath(platform::noteWindowSocketName(m_dir->path(), pid))));

        // Both files read whole; no record lost, added or reordered.
        const auto noteRecords = store::parseNoteRecords(readBytes(path("MDATA.INI")));
        QVERIFY2(noteRecords.ok(), qPrintable(noteRecords.error()));
        QCOMPARE(noteRecords->size(), Windows);
        for (int i = 0; i < Windows; ++i)
            QCOMPARE(noteRecords->at(i).NoteId.toNumber(), std::optional<double>(i + 1));
        const auto running = store::parseRunningEntries(readBytes(path("IDDATA.INI")));
        QVERIFY2(running.ok(), qPrintable(running.error()));
        QVERIFY(running->size() <= Windows);
        // The entry goes before the position is stored, never the other way round.
        for (int id = 1; id <= Windows; ++id) {
            const bool entryGone =
                std::none_of(running->begin(), running->end(), [&](const store::RunningEntry &e) {
                    return e.RunningId.toText() == QString::number(id);
                });
            const bool stored = noteRecords->at(id - 1).NoteTop.toNumber() == 15.0 * rounds;
            QVERIFY(entryGone || !stored);
            ++outcomes[stored ? 2 : entryGone ? 1 : 0];
        }
    }
    qInfo("%d rounds: %d windows killed before their close, %d within it, %d after it", rounds,
          outcomes[0], outcomes[1], outcomes[2]);
}

void tst_MemletProcess::heldLockBoundsEveryWait()
{
    const QByteArray notes = record(7) + record(8);
    writeBytes(path("MDATA.INI"), notes);
    QElapsedTimer waited;
    {
        // Start-up: no window, no entry, and the message names the lock file.
        const LockHolder held(m_dir->path());
        QProcess memlet;
        memlet.start(path("memlet"), {args(QStringLiteral("7"))});
        waited.start();
        QVERIFY(memlet.waitForFinished(20000));
        QVERIFY(waited.elapsed() < 10000);
        QVERIFY(memlet.exitCode() != 0);
        QVERIFY(memlet.readAllStandardError().contains(".pinboa.lock"));
        QVERIFY(!QFile::exists(path("IDDATA.INI")));
    }

    const qint64 pid =
        platform::startNoteWindow(m_dir->path(), args(QStringLiteral("7"), 45, 60)).value();
    const qint64 other =
        platform::startNoteWindow(m_dir->path(), args(QStringLiteral("8"), 75, 90)).value();
    QVERIFY(pid > 0 && other > 0);
    m_started << pid << other;
    QVERIFY(waitFor([&] { return entries().size() == 2; }));
    const QByteArray running = readBytes(path("IDDATA.INI"));
    {
        // A close asked for meanwhile is not done, and says so; the note stays. A request to
        // end makes its one bounded try and ends.
        const LockHolder held(m_dir->path());
        QVERIFY(!closeWindow(m_dir->path(), pid));
        QVERIFY(alive(pid));
        ::kill(pid_t(other), SIGTERM);
        waited.restart();
        QVERIFY(waitFor([&] { return !alive(other); }, 15000));
        QVERIFY(waited.elapsed() < 10000);
        QCOMPARE(readBytes(path("IDDATA.INI")), running);
        QCOMPARE(readBytes(path("MDATA.INI")), notes);
    }
    // Once the files are free, the next close goes through.
    QVERIFY(closeWindow(m_dir->path(), pid));
    QCOMPARE(readBytes(path("MDATA.INI")), record(7, 45, 60) + record(8));
}

// A close request while the start-up waits for the files is answered "not yet" and changes
// nothing; once the window is up, the next request closes it for good.
void tst_MemletProcess::closeRequestDuringStartUpIsNotYet()
{
    writeBytes(path("MDATA.INI"), record(7));
    testsupport::HeldLock held(m_dir->path());
    const auto started = platform::startNoteWindow(m_dir->path(), args(QStringLiteral("7")));
    QVERIFY2(started.ok(), qPrintable(started.error()));
    const qint64 pid = started.value();
    m_started.append(pid);
    const QByteArray name = '@' + platform::noteWindowSocketName(m_dir->path(), pid).toUtf8();
    QVERIFY(waitFor([&] { return readBytes(QStringLiteral("/proc/net/unix")).contains(name); }));

    // The files come free a moment after the request: the window must not close meanwhile.
    QTimer::singleShot(200, [&held] { held.release(); });
    QVERIFY(!closeWindow(m_dir->path(), pid));
    QVERIFY(alive(pid));
    QCOMPARE(readBytes(path("MDATA.INI")), record(7));

    QVERIFY(waitFor([&] { return readBytes(path("IDDATA.INI")) == "\"7\",\"0\"\r\n"; }));
    QVERIFY(closeWindow(m_dir->path(), pid));
    QVERIFY(waitFor([&] { return !alive(pid); }));
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray());
    QCOMPARE(readBytes(path("MDATA.INI")), record(7, 1500, 3000));
}

// Show-all's note windows come from the launcher: each one is a process as a start by hand makes
// it, and the launcher is never taken for a note window. A launcher gone means the old start.
void tst_MemletProcess::launcherForksNoteWindowsOfTheirOwn()
{
    writeBytes(path("MDATA.INI"), record(7) + record(8) + record(9));
    const QString program = QFileInfo(path("memlet")).absoluteFilePath();
    auto *launcher = new platform::NoteLauncher;
    QMap<QString, qint64> pids;
    const auto start = [&](const QString &id) {
        launcher->startNoteWindow(m_dir->path(), args(id, 45, 60),
                                  [&pids, id](const store::Result<qint64> &started) {
                                      pids.insert(id, started.ok() ? started.value() : -1);
                                  });
    };
    start(QStringLiteral("7"));
    start(QStringLiteral("8"));
    QVERIFY(waitFor([&] { return pids.size() == 2; }));
    m_started << pids.value(QStringLiteral("7")) << pids.value(QStringLiteral("8"));
    const qint64 launcherPid = launcher->processId();
    QVERIFY(launcherPid > 0 && alive(launcherPid));
    const QByteArray launcherSocket = linkOf(QStringLiteral("/proc/%1/fd/3").arg(launcherPid));
    QVERIFY(launcherSocket.startsWith("socket:"));
    QVERIFY(waitFor([&] { return entries().size() == 2; }));

    for (const QString &id : {QStringLiteral("7"), QStringLiteral("8")}) {
        const qint64 pid = pids.value(id);
        QVERIFY(pid > 0 && pid != launcherPid);
        // The command line a start by hand shows; what the launcher's own reached further is
        // cleared.
        const QByteArray cmdline = readBytes(QStringLiteral("/proc/%1/cmdline").arg(pid));
        const QByteArray shown =
            QFile::encodeName(program) + '\0' + QFile::encodeName(args(id, 45, 60)) + '\0';
        QVERIFY(cmdline.startsWith(shown));
        QCOMPARE(cmdline.mid(shown.size()).count('\0'), cmdline.size() - shown.size());
        // Detached: its own session, neither the launcher's child nor the starter's.
        const QList<QByteArray> stat =
            readBytes(QStringLiteral("/proc/%1/stat").arg(pid)).split(' ');
        QVERIFY(stat.size() > 5);
        QVERIFY(stat.at(3).toLongLong() != launcherPid);
        QVERIFY(stat.at(3).toLongLong() != QCoreApplication::applicationPid());
        QVERIFY(stat.at(5).toLongLong() != ::getsid(0));
        QVERIFY(stat.at(5).toLongLong() != ::getsid(pid_t(launcherPid)));
        QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).canonicalFilePath(),
                 QDir(m_dir->path()).canonicalPath());
        // Nothing of the launcher's kept open.
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QString &fd : fds.entryList(QDir::System))
            QVERIFY(linkOf(fds.filePath(fd)) != launcherSocket);
    }
    QVERIFY(!platform::isLiveNoteWindow(m_dir->path(), launcherPid));
    const auto live = platform::liveNoteWindows(m_dir->path());
    QCOMPARE(live.size(), 2);
    QVERIFY(std::none_of(live.begin(), live.end(),
                         [&](const platform::LiveNoteWindow &w) { return w.pid == launcherPid; }));
    QStringList registered; // in whichever order they came up
    for (const store::RunningEntry &entry : entries())
        registered << entry.RunningId.toText() + ',' + entry.RunningTaskId.toText();
    registered.sort();
    QCOMPARE(registered, QStringList({QStringLiteral("7,0"), QStringLiteral("8,0")}));

    // Closed by its request, with its place written back.
    QVERIFY(closeWindow(m_dir->path(), pids.value(QStringLiteral("7"))));
    QCOMPARE(readBytes(path("MDATA.INI")), record(7, 45, 60) + record(8) + record(9));
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray("\"8\",\"0\"\r\n"));

    // A launcher that died: the next window starts the old way, at once.
    ::kill(pid_t(launcherPid), SIGKILL);
    QVERIFY(waitFor([&] { return launcher->processId() == 0; }));
    start(QStringLiteral("9"));
    QCOMPARE(pids.size(), 3);
    const qint64 old = pids.value(QStringLiteral("9"));
    QVERIFY(old > 0);
    m_started.append(old);
    QCOMPARE(readBytes(QStringLiteral("/proc/%1/cmdline").arg(old)),
             QFile::encodeName(program) + '\0' +
                 QFile::encodeName(args(QStringLiteral("9"), 45, 60)) + '\0');
    QVERIFY(waitFor([&] { return entries().size() == 2; }));
    // The windows outlive the launcher and its master.
    delete launcher;
    QVERIFY(alive(pids.value(QStringLiteral("8"))));
    QVERIFY(closeWindow(m_dir->path(), pids.value(QStringLiteral("8"))));
    QVERIFY(closeWindow(m_dir->path(), old));
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray());
}

QTEST_GUILESS_MAIN(tst_MemletProcess)
#include "tst_MemletProcess.moc"

// The local socket and what stands on it: lines over a socket pair, the limits that drop a peer,
// names another user took first, and one master per program folder and per data folder.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "platform/CloseRequest.h"
#include "platform/LineRequest.h"
#include "platform/LocalServer.h"
#include "platform/LocalSocket.h"
#include "platform/SingleInstance.h"
#include "tests/support/ProgramFolder.h"

#include <QDir>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::LocalSocket;

namespace {

// A connected pair of sockets, without a name.
bool adoptPair(LocalSocket *a, LocalSocket *b)
{
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0)
        return false;
    a->adopt(fds[0]);
    b->adopt(fds[1]);
    return true;
}

QByteArrayList linesOf(LocalSocket *socket)
{
    QByteArrayList lines;
    while (const std::optional<QByteArray> line = socket->readLine())
        lines.append(*line);
    return lines;
}

// In a child process of user nobody: listens under each of `names`, writes a byte to `ready`,
// and waits to be killed.
pid_t listenAsOtherUser(const QStringList &names, int ready)
{
    QList<QByteArray> encoded;
    for (const QString &name : names)
        encoded.append(name.toUtf8());
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
        ::_exit(2);
    for (const QByteArray &name : encoded) {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 || ::listen(fd, 5))
            ::_exit(3);
    }
    if (::write(ready, "r", 1) != 1)
        ::_exit(4);
    for (;;)
        ::pause();
}

} // namespace

class tst_LocalSocket : public QObject
{
    Q_OBJECT

private slots:
    void linesArriveWholeOrNotAtAll_data();
    void linesArriveWholeOrNotAtAll();
    void fullSendBufferNeverBlocks();
    void peerThatNeverReadsIsDropped();
    void idleConnectionIsDropped();
    void acceptRestsWhenOutOfDescriptors();
    void closeRequestTakesOnlyExactLinesAndAnswersLater();
    void strangerListenerIsPassedBy();
    void oneMasterPerProgramFolderAndPerDataFolder_data();
    void oneMasterPerProgramFolderAndPerDataFolder();
    void claimFollowsTheNotesToAnotherFolder();
};

void tst_LocalSocket::linesArriveWholeOrNotAtAll_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("senderLeaves");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<bool>("dropped");
    const QByteArray longest(LocalSocket::MaxLineLength, 'x');
    QTest::newRow("a line in pieces") << QByteArrayList{"ACTI", "VAT", "E\nKEYS %{F10}\n"} << false
                                      << QByteArrayList{"ACTIVATE", "KEYS %{F10}"} << false;
    QTest::newRow("the sender leaves mid-line")
        << QByteArrayList{"DONE\nBU", "S"} << true << QByteArrayList{"DONE"} << true;
    QTest::newRow("a line at the limit")
        << QByteArrayList{longest + '\n'} << false << QByteArrayList{longest} << false;
    QTest::newRow("a line over the limit, never ended")
        << QByteArrayList{longest, "y"} << false << QByteArrayList{} << true;
    QTest::newRow("a line over the limit after a good one")
        << QByteArrayList{"SHOW\n" + longest + "y\n"} << false << QByteArrayList{} << true;
}

void tst_LocalSocket::linesArriveWholeOrNotAtAll()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, senderLeaves);
    QFETCH(QByteArrayList, lines);
    QFETCH(bool, dropped);
    LocalSocket sender, receiver;
    QVERIFY(adoptPair(&sender, &receiver));
    QByteArrayList received;
    connect(&receiver, &LocalSocket::readyRead, [&] { received += linesOf(&receiver); });
    QSignalSpy ended(&receiver, &LocalSocket::disconnected);
    if (dropped && !senderLeaves)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("a line longer than the limit"));
    for (const QByteArray &piece : pieces) {
        QVERIFY(sender.write(piece));
        QTest::qWait(20);
    }
    if (senderLeaves)
        sender.close();
    if (dropped) {
        QTRY_COMPARE(ended.count(), 1);
        QVERIFY(!receiver.isConnected());
    } else {
        QTRY_COMPARE(received.size(), lines.size());
        QVERIFY(receiver.isConnected());
        QCOMPARE(ended.count(), 0);
    }
    QCOMPARE(received, lines);
}

void tst_LocalSocket::fullSendBufferNeverBlocks()
{
    LocalSocket sender, receiver;
    QVERIFY(adoptPair(&sender, &receiver));
    QByteArrayList received;
    connect(&receiver, &LocalSocket::readyRead, [&] { received += linesOf(&receiver); });
    QByteArray line(1000, 'a');
    QByteArray bytes;
    for (int i = 0; i < 4000; ++i) // far more than a socket buffer holds
        bytes += line + QByteArray::number(i) + '\n';
    // Returns with most of it queued: the receiver has not read anything yet.
    QVERIFY(sender.write(bytes));
    QVERIFY(sender.bytesToWrite() > 0);
    QVERIFY(received.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 4000, 10000);
    QCOMPARE(sender.bytesToWrite(), 0);
    for (int i = 0; i < 4000; ++i)
        QCOMPARE(received.at(i), line + QByteArray::number(i));
    QVERIFY(sender.isConnected() && receiver.isConnected());
}

void tst_LocalSocket::peerThatNeverReadsIsDropped()
{
    int fds[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
    const auto cleanup = qScopeGuard([&] { ::close(fds[1]); });
    LocalSocket sender;
    sender.adopt(fds[0]);
    QSignalSpy ended(&sender, &LocalSocket::disconnected);
    QVERIFY(sender.write(QByteArray(4 << 20, 'a')));
    QVERIFY(sender.bytesToWrite() > 0);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("its peer took nothing"));
    QVERIFY(ended.wait(10000));
    QCOMPARE(sender.bytesToWrite(), 0);
}

void tst_LocalSocket::idleConnectionIsDropped()
{
    platform::LocalServer server;
    server.setIdleTimeout(200);
    const QString name =
        QStringLiteral("pinboa-test-idle-%1").arg(QCoreApplication::applicationPid());
    QVERIFY(server.listen({name}).ok());
    LocalSocket client;
    QCOMPARE(client.tryConnect(name), LocalSocket::Connect::Connected);
    QSignalSpy ended(&client, &LocalSocket::disconnected);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("dropped: idle"));
    QVERIFY(ended.wait(3000));
}

// At the open-file limit accept fails until a descriptor is free: the server rests instead of
// being woken again at once, and takes the waiting connection afterwards.
void tst_LocalSocket::acceptRestsWhenOutOfDescriptors()
{
    platform::LocalServer server;
    QSignalSpy accepted(&server, &platform::LocalServer::newConnection);
    const QString name =
        QStringLiteral("pinboa-test-emfile-%1").arg(QCoreApplication::applicationPid());
    QVERIFY(server.listen({name}).ok());
    LocalSocket client;
    QCOMPARE(client.tryConnect(name), LocalSocket::Connect::Connected);
    // A limit just above the descriptors open now, and every one below it taken.
    rlimit limit;
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    int highest = 0;
    const QDir open(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : open.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        highest = std::max(highest, fd.toInt());
    const rlimit low{rlim_t(highest + 8), limit.rlim_max};
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
    QList<int> spent{::open("/dev/null", O_RDONLY | O_CLOEXEC)};
    QVERIFY(spent.first() >= 0);
    for (int fd; (fd = ::dup(spent.first())) >= 0;)
        spent.append(fd);
    QCOMPARE(errno, EMFILE);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("out of descriptors"));
    QTRY_VERIFY(server.isPaused());
    QCOMPARE(accepted.count(), 0);
    for (int fd : spent)
        ::close(fd);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    QVERIFY(accepted.wait(2000));
    QVERIFY(!server.isPaused());
}

// Only "ACTIVATE" and an exact "KEYS <sequence>" line reach the window, anything else is logged
// once and passed by; the answer may come later, and a late answer to a master that hung up goes
// nowhere.
void tst_LocalSocket::closeRequestTakesOnlyExactLinesAndAnswersLater()
{
    testsupport::ProgramFolder dir;
    const qint64 fakePid = 4100000 + QCoreApplication::applicationPid() % 100000;
    platform::CloseRequestServer server;
    int activations = 0;
    QStringList keys;
    std::function<void(bool)> lastReply;
    server.onActivate = [&] { ++activations; };
    server.onKeys = [&](const QString &sequence, const std::function<void(bool)> &reply) {
        keys.append(sequence);
        lastReply = reply;
    };
    QVERIFY(server.listen(dir.path(), fakePid).ok());
    const QStringList names =
        platform::socketNames(platform::noteWindowSocketName(dir.path(), fakePid));

    LocalSocket master;
    QByteArrayList answers;
    connect(&master, &LocalSocket::readyRead, [&] { answers += linesOf(&master); });
    QCOMPARE(master.tryConnect(names), LocalSocket::Connect::Connected);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("malformed line passed by: KEYS$"));
    QTest::failOnWarning(QRegularExpression("malformed"));
    master.write("KEYS\nKEYS \nKEYSX\nKEYS  %{F10}\nKEYS %{F10} \nkeys %{F10}\nKEYS a\tb\n"
                 "ACTIVATE now\nACTIVATE\nKEYS %{F10}\n");
    QTRY_COMPARE(keys.size(), 1);
    QCOMPARE(keys.first(), QStringLiteral("%{F10}"));
    QCOMPARE(activations, 1);
    QTest::qWait(100);
    QVERIFY(answers.isEmpty()); // no answer before the window gives it
    lastReply(true);
    lastReply(false); // a second call is no second answer
    QTRY_COMPARE(answers, QByteArrayList{"DONE"});
    QTest::qWait(50);
    QCOMPARE(answers, QByteArrayList{"DONE"});

    QCOMPARE(master.tryConnect(names), LocalSocket::Connect::Connected);
    master.write("KEYS %{F10}\n");
    QTRY_COMPARE(keys.size(), 2);
    master.close();
    QTest::qWait(50);
    lastReply(false);
}

void tst_LocalSocket::strangerListenerIsPassedBy()
{
    if (::getuid() != 0)
        QSKIP("a process of another user can only be started as root");
    testsupport::ProgramFolder dir;
    const qint64 fakePid = 4200000 + QCoreApplication::applicationPid() % 100000;
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = listenAsOtherUser({platform::noteWindowSocketName(dir.path(), fakePid),
                                           platform::programMasterSocketName(dir.path()),
                                           platform::dataMasterSocketName(dir.path())},
                                          ready[1]);
    ::close(ready[1]);
    QVERIFY(child > 0);
    int status = 0;
    const auto cleanup = qScopeGuard([&] {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        ::close(ready[0]);
    });
    char byte = 0;
    if (::read(ready[0], &byte, 1) != 1 && ::waitpid(child, &status, 0) == child &&
        WEXITSTATUS(status) == 2)
        QSKIP("this system does not let root become another user");
    QCOMPARE(byte, 'r');

    // The note window still starts, and its master still closes it.
    platform::CloseRequestServer server;
    QStringList keys;
    server.onKeys = [&](const QString &sequence, const std::function<void(bool)> &reply) {
        keys.append(sequence);
        reply(true);
    };
    QVERIFY(server.listen(dir.path(), fakePid).ok());
    auto *closer = new platform::NoteWindowCloser(dir.path(), fakePid);
    QSignalSpy closed(closer, &platform::NoteWindowCloser::done);
    closer->start();
    QVERIFY(closed.wait(5000));
    QCOMPARE(closed.at(0).at(0).toBool(), true);
    QCOMPARE(keys, QStringList{QStringLiteral("%{F10}")});

    // The master still runs once, and a second start reaches it, not the stranger.
    platform::SingleInstance first(dir.path(), dir.path());
    QSignalSpy refreshed(&first, &platform::SingleInstance::refreshRequested);
    QVERIFY(first.claim());
    platform::SingleInstance second(dir.path(), dir.path());
    QVERIFY(!second.claim());
    QSignalSpy answered(second.ask(platform::protocol::Refresh), &platform::LineRequest::finished);
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.at(0).at(0).value<platform::LineRequest::Outcome>(),
             platform::LineRequest::Outcome::Answered);
    QTRY_COMPARE(refreshed.count(), 1);
}

void tst_LocalSocket::oneMasterPerProgramFolderAndPerDataFolder_data()
{
    QTest::addColumn<bool>("sameProgram");
    QTest::addColumn<bool>("sameData");
    QTest::newRow("both the same") << true << true;
    QTest::newRow("the program folder's data turned elsewhere") << true << false;
    QTest::newRow("another program folder on the same data") << false << true;
    QTest::newRow("nothing shared") << false << false;
}

void tst_LocalSocket::oneMasterPerProgramFolderAndPerDataFolder()
{
    QFETCH(bool, sameProgram);
    QFETCH(bool, sameData);
    testsupport::ProgramFolder program, data, otherProgram, otherData;
    platform::SingleInstance first(program.path(), data.path());
    QSignalSpy shown(&first, &platform::SingleInstance::showRequested);
    QVERIFY(first.claim());
    platform::SingleInstance second(sameProgram ? program.path() : otherProgram.path(),
                                    sameData ? data.path() : otherData.path());
    const bool alone = !sameProgram && !sameData;
    QCOMPARE(second.claim(), alone);
    if (alone)
        return;
    // The one that refused it answers it.
    QSignalSpy answered(second.ask(platform::protocol::ShowMain), &platform::LineRequest::finished);
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.at(0).at(0).value<platform::LineRequest::Outcome>(),
             platform::LineRequest::Outcome::Answered);
    QTRY_COMPARE(shown.count(), 1);
}

// A master that switched to another data folder holds that one and lets the old one go; a
// folder that another master holds is refused, and the master keeps its own.
void tst_LocalSocket::claimFollowsTheNotesToAnotherFolder()
{
    testsupport::ProgramFolder program, data, taken, next, elsewhere, later, asking;
    platform::SingleInstance master(program.path(), data.path());
    QSignalSpy shown(&master, &platform::SingleInstance::showRequested);
    QVERIFY(master.claim());
    platform::SingleInstance other(elsewhere.path(), taken.path());
    QVERIFY(other.claim());

    QVERIFY(!master.moveTo(taken.path()));
    QVERIFY(!platform::SingleInstance(later.path(), data.path()).claim());
    QVERIFY(master.moveTo(next.path()));
    QVERIFY(platform::SingleInstance(later.path(), data.path()).claim());

    // A start whose notes are in the new folder reaches this master there.
    platform::SingleInstance second(asking.path(), next.path());
    QVERIFY(!second.claim());
    QSignalSpy answered(second.ask(platform::protocol::ShowMain), &platform::LineRequest::finished);
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.at(0).at(0).value<platform::LineRequest::Outcome>(),
             platform::LineRequest::Outcome::Answered);
    QTRY_COMPARE(shown.count(), 1);
}

QTEST_GUILESS_MAIN(tst_LocalSocket)
#include "tst_LocalSocket.moc"

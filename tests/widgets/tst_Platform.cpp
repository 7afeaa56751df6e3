// The platform layer's own rules: twips at 96 and 120 DPI, reachable places, socket names, signals.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "platform/CloseRequest.h"
#include "platform/EndRequests.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "tests/support/ProgramFolder.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <QTimer>
#include <QWidget>
#include <optional>

#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

class tst_Platform : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { platform::setTwipsPerPixelForTesting(0); }

    void twipsAndPixelsRoundToNearest_data();
    void twipsAndPixelsRoundToNearest();
    void windowPlacedByOuterTwips_data();
    void windowPlacedByOuterTwips();
    void offScreenPlaceComesToTheNearestScreen_data();
    void offScreenPlaceComesToTheNearestScreen();
    void socketNameNamesFolderAndProcess();
    void closeRequestOnlyFromThisUser();
    void signalsBecomeEndRequests();
    void noteWithNulIsNotStarted();
    void qtSpeaksJapanese();
    void messageStandsOverTheShownWindow();
};

void tst_Platform::twipsAndPixelsRoundToNearest_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("96 dpi") << 15.0 << 1500.0 << 100;
    QTest::newRow("96 dpi, a fraction rounds to nearest") << 15.0 << 100.0 << 7;
    QTest::newRow("96 dpi, negative") << 15.0 << -1500.0 << -100;
    QTest::newRow("120 dpi") << 12.0 << 1500.0 << 125;
    QTest::newRow("120 dpi, note width") << 12.0 << 5430.0 << 453; // 452.5
}

void tst_Platform::twipsAndPixelsRoundToNearest()
{
    QFETCH(double, factor);
    QFETCH(double, twips);
    QFETCH(int, pixels);
    QCOMPARE(platform::toPixels(twips, factor), pixels);
    QCOMPARE(platform::toTwips(pixels, factor), pixels * factor);
    const QRect rect = platform::toPixels(QRectF(twips, -twips, 2 * std::abs(twips), 0), factor);
    QCOMPARE(rect.topLeft(), QPoint(pixels, platform::toPixels(-twips, factor)));
    QCOMPARE(platform::toTwips(rect, factor).topLeft(),
             QPointF(pixels * factor, platform::toPixels(-twips, factor) * factor));
}

void tst_Platform::windowPlacedByOuterTwips_data()
{
    QTest::addColumn<double>("factor");
    QTest::addColumn<QRect>("pixels");
    QTest::newRow("96 dpi") << 15.0 << QRect(200, 100, 300, 50);
    QTest::newRow("120 dpi") << 12.0 << QRect(250, 125, 375, 63); // 62.5 rounds up
}

void tst_Platform::windowPlacedByOuterTwips()
{
    QFETCH(double, factor);
    QFETCH(QRect, pixels);
    platform::setTwipsPerPixelForTesting(factor);
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    platform::setOuterGeometryTwips(&window, QRectF(3000, 1500, 4500, 750));
    QCOMPARE(window.frameGeometry(), pixels);
    QCOMPARE(platform::outerGeometryTwips(&window), platform::toTwips(pixels, factor));
    QWidget child(&window);
    platform::setGeometryTwips(&child, 100, 100, -200, 300);
    QCOMPARE(child.geometry(),
             QRect(platform::toPixels(100, factor), platform::toPixels(100, factor), 0,
                   platform::toPixels(300, factor)));
}

void tst_Platform::offScreenPlaceComesToTheNearestScreen_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("on the screen") << QRect(10, 10, 100, 20) << QRect(10, 10, 100, 20);
    QTest::newRow("partly off the left") << QRect(-90, 10, 100, 20) << QRect(-90, 10, 100, 20);
    QTest::newRow("partly on the second screen")
        << QRect(1900, 500, 300, 20) << QRect(1900, 500, 300, 20);
    QTest::newRow("right of everything")
        << QRect(5000, 300, 100, 20) << QRect(2180 - 100, 300, 100, 20);
    QTest::newRow("below the second screen, nearest is it")
        << QRect(1500, 2000, 100, 20) << QRect(1500, 1199 - 19, 100, 20);
    QTest::newRow("above and left of everything")
        << QRect(-500, -500, 100, 20) << QRect(0, 0, 100, 20);
    QTest::newRow("larger than the screen")
        << QRect(-9000, 100, 3000, 20) << QRect(0, 100, 3000, 20);
}

void tst_Platform::offScreenPlaceComesToTheNearestScreen()
{
    QFETCH(QRect, rect);
    QFETCH(QRect, expected);
    // A 1280x1024 screen and a 900x1200 one to its right.
    const QList<QRect> screens{QRect(0, 0, 1280, 1024), QRect(1280, 0, 900, 1200)};
    QCOMPARE(platform::reachablePlace(rect, screens), expected);
    QCOMPARE(platform::reachablePlace(rect, {}), rect);
}

void tst_Platform::socketNameNamesFolderAndProcess()
{
    testsupport::ProgramFolder dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a/b")));
    const QString folder = dir.filePath(QStringLiteral("a/b"));
    const QString name = platform::noteWindowSocketName(folder, 42);
    QCOMPARE(platform::noteWindowSocketName(folder + QLatin1Char('/'), 42), name);
    QCOMPARE(platform::noteWindowSocketName(dir.filePath(QStringLiteral("a/./b/../b")), 42), name);
    QVERIFY(platform::noteWindowSocketName(folder, 43) != name);
    QVERIFY(platform::noteWindowSocketName(dir.filePath(QStringLiteral("a")), 42) != name);
    QVERIFY(!name.contains(QLatin1Char('/')));
}

namespace {

// In a child process of another user: connects to the abstract socket `name`, asks for the close,
// and ends with 0 when the connection is dropped unanswered.
int askAsOtherUser(const QByteArray &name)
{
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
        ::_exit(2);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), length) != 0)
        ::_exit(3);
    const char request[] = "ACTIVATE\nKEYS %{F10}\n";
    if (::send(fd, request, sizeof request - 1, MSG_NOSIGNAL) < 0)
        ::_exit(0); // already dropped
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 5000) != 1)
        ::_exit(4);
    char answer[16];
    ::_exit(::recv(fd, answer, sizeof answer, 0) <= 0 ? 0 : 5);
}

} // namespace

// A note window answers its own user only: a process of another user reaches no handler and
// gets no answer; the user's own close goes through and is confirmed.
void tst_Platform::closeRequestOnlyFromThisUser()
{
    testsupport::ProgramFolder dir;
    const qint64 fakePid = 4000000 + QCoreApplication::applicationPid() % 100000;
    platform::CloseRequestServer server;
    int activations = 0;
    QStringList keys;
    server.onActivate = [&] { ++activations; };
    server.onKeys = [&](const QString &sequence, const std::function<void(bool)> &reply) {
        keys.append(sequence);
        reply(true);
    };
    QVERIFY(server.listen(dir.path(), fakePid));

    if (::getuid() == 0) {
        const pid_t child =
            askAsOtherUser(platform::noteWindowSocketName(dir.path(), fakePid).toUtf8());
        QVERIFY(child > 0);
        int status = -1;
        bool ended = false;
        QTRY_VERIFY_WITH_TIMEOUT(ended || (ended = ::waitpid(child, &status, WNOHANG) == child),
                                 10000);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(activations, 0);
        QVERIFY(keys.isEmpty());
    } else {
        qInfo("not root: a process of another user cannot be started here");
    }

    auto *closer = new platform::NoteWindowCloser(dir.path(), fakePid);
    QSignalSpy done(closer, &platform::NoteWindowCloser::done);
    closer->start();
    QVERIFY(done.wait(5000));
    QCOMPARE(done.at(0).at(0).toBool(), true);
    QCOMPARE(activations, 1);
    QCOMPARE(keys, QStringList{QStringLiteral("%{F10}")});
}

void tst_Platform::signalsBecomeEndRequests()
{
    platform::EndRequests requests;
    QSignalSpy ended(&requests, &platform::EndRequests::endRequested);
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ended.clear();
        ::raise(signal);
        QVERIFY(ended.wait(2000));
        QCOMPARE(ended.count(), 1);
    }
}

void tst_Platform::noteWithNulIsNotStarted()
{
    // An argument ends at a NUL: the window would show a shortened note and a wrong identifier.
    testsupport::ProgramFolder dir;
    const QString noteArgs = QStringLiteral("a") + QChar(0) + QStringLiteral("b/\\/1/\\/x");
    const auto started = platform::startNoteWindow(dir.path(), noteArgs);
    QVERIFY(!started.ok());
    QVERIFY(!started.error().isEmpty());
}

QTEST_MAIN(tst_Platform)
// Qt's own dialogs and context menus take Qt's Japanese translation.
void tst_Platform::qtSpeaksJapanese()
{
    QVERIFY(platform::installQtTranslation());
    QCOMPARE(QCoreApplication::translate("QLineEdit", "&Undo"), QStringLiteral("元に戻す(&U)"));
    QCOMPARE(QCoreApplication::translate("QFontDialog", "Font st&yle"),
             QStringLiteral("フォントスタイル(&Y)"));
}

// A message about a window that is not shown yet stands over the window the user works in.
void tst_Platform::messageStandsOverTheShownWindow()
{
    QWidget main;
    main.setGeometry(600, 400, 300, 200);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget loading; // hidden, its place not chosen yet
    std::optional<platform::MessageAnswer> answer;
    platform::showMessage(
        &loading,
        {QStringLiteral("付箋データファイルがありません。"), QStringLiteral("確認メッセージ")},
        [&answer](platform::MessageAnswer a) { answer = a; });
    // Shown without an event loop of its own: the caller is back before anyone answered.
    QMessageBox *box = nullptr;
    QTRY_VERIFY((box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())));
    QVERIFY(!answer);
    QVERIFY(main.frameGeometry().contains(box->frameGeometry().center()));
    box->accept();
    QTRY_VERIFY(answer);
    QCOMPARE(*answer, platform::MessageAnswer::Ok);
}

#include "tst_Platform.moc"

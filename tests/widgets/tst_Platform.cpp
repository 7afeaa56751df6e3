// The platform layer's own rules: twips at 96 and 120 DPI, reachable places, socket names, signals.
#include "platform/CloseRequest.h"
#include "platform/EndRequests.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "tests/support/ProgramFolder.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <csignal>

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
    QRect box;
    QTimer::singleShot(0, [&] {
        QWidget *shown = QApplication::activeModalWidget();
        QVERIFY(shown);
        box = shown->frameGeometry();
        shown->close();
    });
    platform::showMessage(&loading, {QStringLiteral("付箋データファイルがありません。"),
                                     QStringLiteral("確認メッセージ")});
    QVERIFY(main.frameGeometry().contains(box.center()));
}

#include "tst_Platform.moc"

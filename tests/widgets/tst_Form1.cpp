// The master's main window: its design, the tray message decoding, the tray mode and the exit.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/EditRequest.h"
#include "master/Form1.h"
#include "master/Form2.h"
#include "master/NotificationArea.h"
#include "master/WrappingButton.h"

#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "tests/support/Layout.h"
#include "tests/support/ProgramFolder.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

using master::Form1;

class tst_Form1 : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        platform::setTwipsPerPixelForTesting(15);
        master::tray::setNotificationAreaForTesting(1);
    }
    void cleanup()
    {
        platform::setTwipsPerPixelForTesting(0);
        master::tray::setNotificationAreaForTesting(-1);
    }

    // Captions break at their spaces first, then after "・", and never before "・" or a closing
    // bracket; every character is one unit wide here.
    void captionsWrapAtSpacesThenAfterTheDot_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("width");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("fits") << "付箋 作成" << 5 << QStringList{"付箋 作成"};
        QTest::newRow("at the space") << "付箋 作成" << 4 << QStringList{"付箋", "作成"};
        QTest::newRow("two spaces") << "付箋  消去" << 5 << QStringList{"付箋", "消去"};
        QTest::newRow("after the dot") << "表示・再表示" << 4 << QStringList{"表示・", "再表示"};
        QTest::newRow("space, mnemonic unseen")
            << "フォント・サイズ (&T)" << 8 << QStringList{"フォント・サイズ", "(&T)"};
        QTest::newRow("dot, then space")
            << "フォント・サイズ (&T)" << 7 << QStringList{"フォント・", "サイズ (&T)"};
        QTest::newRow("where Japanese allows")
            << "トレイに格納" << 4 << QStringList{"トレイに", "格納"};
        QTest::newRow("no line starts with a closing bracket")
            << "付箋（メモ）" << 5 << QStringList{"付箋（メ", "モ）"};
        QTest::newRow("no line starts with the dot")
            << "表示・再表示" << 2 << QStringList{"表", "示・", "再表", "示"};
        QTest::newRow("nothing fits") << "格納" << 0 << QStringList{"格", "納"};
    }

    void captionsWrapAtSpacesThenAfterTheDot()
    {
        QFETCH(QString, caption);
        QFETCH(int, width);
        QFETCH(QStringList, lines);
        QCOMPARE(master::wrapCaption(caption, width,
                                     [](const QString &line) { return qreal(line.size()); }),
                 lines);
    }

    void fixedWindowWithFourMenuItemsAndATrayIcon()
    {
        Form1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Pinboa"));
        QVERIFY(!form.windowIcon().isNull());
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.MainMode, 1);

        QVERIFY(form.trayIcon());
        QCOMPARE(form.trayIcon()->toolTip(), QStringLiteral("Pinboa メニュー"));
        QVERIFY(!form.trayIcon()->icon().isNull());

        // Four top-level items, no sub-menus, in this order.
        auto *menuBar = form.findChild<QMenuBar *>();
        QVERIFY(menuBar);
        const QList<QAction *> items = menuBar->actions();
        const QStringList names{"syuuryou", "sakusei", "syoukyo", "bazyon"};
        const QStringList captions{"終了(&X)", "付箋作成(&N)", "付箋消去(&D)", "バージョン(&A)"};
        QCOMPARE(items.size(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(items[i]->objectName(), names[i]);
            QCOMPARE(items[i]->text(), captions[i]);
            QVERIFY(!items[i]->menu());
        }
    }

    void buttonsSitUnderTheMenuBarInTabOrder_data()
    {
        QTest::addColumn<double>("tpp");
        QTest::newRow("96 dpi") << 15.0;
        QTest::newRow("120 dpi") << 12.0;
    }
    // At any DPI: the client area keeps its design size under the menu bar, the four buttons
    // stand side by side inside it, and Tab visits them from left to right.
    void buttonsSitUnderTheMenuBarInTabOrder()
    {
        QFETCH(double, tpp);
        platform::setTwipsPerPixelForTesting(tpp);
        Form1 form;
        QPushButton *previous = nullptr;
        for (const char *name : {"Command1", "Command2", "Command3", "Command4"}) {
            auto *button = form.findChild<QPushButton *>(name);
            QVERIFY2(button, name);
            if (previous) {
                QCOMPARE(previous->nextInFocusChain(), button);
                QVERIFY2(previous->geometry().right() < button->geometry().left(), name);
            }
            previous = button;
        }
        QCOMPARE(testsupport::controlsCutOff(&form), QStringList());
        QCOMPARE(testsupport::controlsWithoutName(&form), QStringList());

        QWidget *client = form.findChild<QPushButton *>("Command1")->parentWidget();
        auto *menuBar = form.findChild<QMenuBar *>();
        QCOMPARE(client->y(), menuBar->geometry().bottom() + 1);
        QCOMPARE(client->width(), platform::toPixels(4755, tpp));
        QCOMPARE(client->height(), platform::toPixels(1080, tpp));
        QCOMPARE(form.height(), client->y() + client->height());
        QCOMPARE(form.width(), client->width());
    }

    // The right button opens the tray menu in tray mode only; the left button and double click
    // never do.
    void trayMenuOpensOnlyInTrayMode()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.trayActivated(QSystemTrayIcon::Context);
        QVERIFY(!visibleTrayMenu());
        // In main mode a click on the icon brings the main window to the front.
        QWidget cover;
        cover.show();
        cover.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&cover));
        form.trayActivated(QSystemTrayIcon::Trigger);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(!visibleTrayMenu());

        form.findChild<QPushButton *>("Command4")->click();
        QCOMPARE(form.MainMode, 0);
        QVERIFY(!form.isVisible());
        for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick,
                            QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown})
            form.trayActivated(reason);
        QVERIFY(!visibleTrayMenu());
        form.trayActivated(QSystemTrayIcon::Context);
        QMenu *menu = visibleTrayMenu();
        QVERIFY(menu);
        QCOMPARE(menu, form.editor()->SMENU);
        QVERIFY(!form.editor()->isVisible()); // the editor is loaded for its menu, not shown

        const QStringList names{"FMKIDOU", "KUBU",  "FHYOUZI", "FSAKUSEI", "FSYOUKYO",
                                "FMODOSU", "FDATA", "KUBUNN",  "SYURYOU"};
        const QList<QAction *> items = menu->actions();
        QCOMPARE(items.size(), names.size());
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(items[i]->objectName(), names[i]);
        QCOMPARE(items[0]->text(), QStringLiteral("Pinboa起動"));
        QCOMPARE(items[2]->text(), QStringLiteral("付箋表示・再表示"));
        QCOMPARE(items[8]->text(), QStringLiteral("終了"));
        QVERIFY(items[1]->isSeparator() && items[7]->isSeparator());
        menu->hide();

        // "Pinboa起動" brings the main mode back.
        items[0]->trigger();
        QCOMPARE(form.MainMode, 1);
        QVERIFY(form.isVisible());
        form.trayActivated(QSystemTrayIcon::Context);
        QVERIFY(!visibleTrayMenu());

        // Minimised by the window manager, the main window is off the screen: the tray answers.
        form.showMinimized();
        form.trayActivated(QSystemTrayIcon::Context);
        QVERIFY(visibleTrayMenu());
        visibleTrayMenu()->hide();
    }

    // Without a notification area the main window is minimised, never hidden out of reach.
    void withoutNotificationAreaTheWindowIsMinimised()
    {
        master::tray::setNotificationAreaForTesting(0);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Command4_Click();
        QCOMPARE(form.MainMode, 0);
        QVERIFY(form.isVisible());
        QVERIFY(form.windowState() & Qt::WindowMinimized);
        form.showMain();
        QCOMPARE(form.MainMode, 1);
        QVERIFY(!(form.windowState() & Qt::WindowMinimized));
        QVERIFY(form.isVisible());
    }

    // Exit from the menu, the tray menu and the close box: the tray icon goes, the master ends.
    void everyWayOutRemovesTheTrayIcon_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("menu") << "menu";
        QTest::newRow("tray menu") << "tray";
        QTest::newRow("close box") << "close";
    }
    void everyWayOutRemovesTheTrayIcon()
    {
        QFETCH(QString, way);
        Form1 form;
        int exits = 0;
        form.setExitForTesting([&] { ++exits; });
        form.addTrayIcon();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.trayIcon()->isVisible());
        if (way == "menu")
            form.findChild<QAction *>("syuuryou")->trigger();
        else if (way == "tray")
            form.editor()->SMENU->findChild<QAction *>("SYURYOU")->trigger();
        else
            form.close();
        QCOMPARE(exits, 1);
        QVERIFY(!form.trayIcon()->isVisible());
    }

    // The editor opens where the main window stands, and the main window goes.
    void editorOpensWhereTheMainWindowStands()
    {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.moveTo(1500, 3000);
        QTRY_COMPARE(form.Left(), 3000.0);
        form.sakusei_Click();
        QVERIFY(!form.isVisible());
        master::Form2 *editor = form.editor();
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->TTP, form.Top());
        QCOMPARE(editor->LLF, form.Left());
        QTRY_COMPARE(editor->Top(), form.Top());
        QCOMPARE(editor->Left(), form.Left());
    }

    // What memlet's 編集 sends: the identifier as the window got it, then its outer top, left,
    // width and height in twips.
    void editRequestsNameTheNoteAndItsPlace_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("id"); // empty: refused
        QTest::addColumn<QRectF>("outer");
        QTest::newRow("whole") << "12 900 1500 3000 1050"
                               << "12" << QRectF(1500, 900, 3000, 1050);
        QTest::newRow("fractions, off the left") << "7 1217.143 -15 2400.5 600"
                                                 << "7" << QRectF(-15, 1217.143, 2400.5, 600);
        QTest::newRow("identifier with a space") << "0 5 0 0 10 10"
                                                 << "0 5" << QRectF(0, 0, 10, 10);
        for (const char *bad : {"12 900 1500 3000", "12 900 1500 x 1050", "12 900 1500 0 1050",
                                " 1 2 3 4", "12 900 1500 3000 1e300"})
            QTest::newRow(bad) << bad << QString() << QRectF();
    }
    void editRequestsNameTheNoteAndItsPlace()
    {
        QFETCH(QString, argument);
        QFETCH(QString, id);
        QFETCH(QRectF, outer);
        const auto request = master::EditRequest::parse(argument);
        QCOMPARE(request.has_value(), !id.isEmpty());
        if (request) {
            QCOMPARE(request->idText, id);
            QCOMPARE(request->outer, outer);
        }
    }

    // A refresh over a note file it cannot read tells the user and leaves the files alone.
    void refreshReportsMalformedFile()
    {
        testsupport::ProgramFolder dir;
        const QByteArray bad("\"a\",\"12632256\",\"Sans\",12,600,x,3000,900,0,1\r\n");
        dir.write(QStringLiteral("MDATA.INI"), bad);
        platform::setProgramFolderForTesting(dir.path() + QLatin1Char('/'));
        QList<platform::Message> shown;
        platform::setMessageHookForTesting([&](const platform::Message &message) {
            shown.append(message);
            return platform::MessageAnswer::Ok;
        });
        Form1 form;
        form.show();
        form.findChild<QPushButton *>("Command1")->click();
        QTRY_COMPARE(shown.size(), 1); // the refresh runs from the event loop
        platform::setMessageHookForTesting({});
        platform::setProgramFolderForTesting(QString());
        QVERIFY(shown[0].text.contains(QStringLiteral("MDATA.INI")));
        QCOMPARE(shown[0].title, QStringLiteral("Pinboa"));
        QCOMPARE(dir.read(QStringLiteral("MDATA.INI")), bad);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("IDDATA.INI"))));
    }

private:
    static QMenu *visibleTrayMenu()
    {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == QLatin1String("SMENU") && widget->isVisible())
                return qobject_cast<QMenu *>(widget);
        }
        return nullptr;
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_Form1.moc"

// Widget tests of the version dialog: its layout, and where its button brings the main window back.
#include "master/Form1.h"
#include "master/Form5.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "tests/support/ProgramFolder.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class tst_Form5 : public QObject
{
    Q_OBJECT

private:
    testsupport::ProgramFolder m_dir;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        platform::setProgramFolderForTesting(m_dir.path() + QLatin1Char('/'));
        platform::setTwipsPerPixelForTesting(15);
    }
    void cleanup()
    {
        platform::setProgramFolderForTesting(QString());
        platform::setTwipsPerPixelForTesting(0);
    }

    void layout()
    {
        master::Form5 dialog(nullptr);
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("バージョン"));
        QCOMPARE(dialog.size(), QSize(312, 204)); // 4680 x 3060 twips
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);

        auto *panel = dialog.findChild<QFrame *>(QStringLiteral("Picture1"));
        QVERIFY(panel);
        QCOMPARE(panel->geometry(), QRect(10, 6, 291, 127));
        QVERIFY(panel->autoFillBackground());
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(192, 255, 192));

        struct Expected
        {
            const char *name;
            QString caption;
            QRect geometry;
            double points;
        };
        const Expected labels[] = {
            {"Label1", QStringLiteral("Pinboa"), QRect(10, 10, 215, 41), 26.25},
            {"Label2", QStringLiteral("Ｖｅｒ　1.00"), QRect(182, 44, 105, 27), 18},
            {"Label3", QStringLiteral("Ostvel"), QRect(116, 90, 173, 25), 18},
        };
        for (const Expected &e : labels) {
            auto *label = panel->findChild<QLabel *>(QLatin1String(e.name));
            QVERIFY2(label, e.name);
            QCOMPARE(label->parentWidget(), panel);
            QCOMPARE(label->text(), e.caption);
            QCOMPARE(label->geometry(), e.geometry);
            QCOMPARE(label->font().pointSizeF(), e.points);
            QVERIFY(!label->autoFillBackground());
            // Whatever face stands in, the caption is not cut off.
            QVERIFY2(QFontMetricsF(label->font()).horizontalAdvance(e.caption) <=
                         label->width() + 1,
                     e.name);
        }
        auto *name = panel->findChild<QLabel *>(QStringLiteral("Label1"));
        QCOMPARE(name->font().families().value(0), QStringLiteral("ＤＦＰPOP体"));
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("Label2"))->font().family(),
                 QStringLiteral("ＭＳ Ｐゴシック"));
        // Where the pop face is missing, one of the rounded stand-ins is used when installed.
        const QString used = QFontInfo(name->font()).family();
        if (QFontDatabase::families().contains(QStringLiteral("MotoyaLMaru")))
            QCOMPARE(used, QStringLiteral("MotoyaLMaru"));

        auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("Command1"));
        QVERIFY(ok);
        QCOMPARE(ok->text(), QStringLiteral("Ｏ　Ｋ(&F)"));
        QCOMPARE(ok->geometry(), QRect(104, 142, 117, 45));
        // The button is the only control that takes the focus.
        for (QWidget *w : dialog.findChildren<QWidget *>()) {
            if (w != ok)
                QCOMPARE(w->focusPolicy() & Qt::TabFocus, 0);
        }
    }

    void okBringsTheMainWindowToTheDialogsPlace()
    {
        master::Form1 main;
        main.moveTo(1500, 1500);
        QPointer<master::Form5> dialog = new master::Form5(&main);
        dialog->moveTo(3000, 4500);
        dialog->show();
        main.hide();
        const double top = dialog->Top(), left = dialog->Left();
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(main.isVisible());
        QCOMPARE(main.Top(), top);
        QCOMPARE(main.Left(), left);
    }

    void closeBoxLeavesTheMainWindowHidden()
    {
        master::Form1 main;
        main.hide();
        QPointer<master::Form5> dialog = new master::Form5(&main);
        dialog->show();
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(!main.isVisible());
    }
};

QTEST_MAIN(tst_Form5)
#include "tst_Form5.moc"

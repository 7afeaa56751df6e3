// Widget tests of the version dialog: its layout, and where its button brings the main window back.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/Form1.h"
#include "master/Form5.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "tests/support/Layout.h"
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

    // Whatever face stands in for the pop face, no caption is cut off; the button alone takes
    // the focus.
    void captionsFitAndOnlyTheButtonTakesTheFocus()
    {
        master::Form5 dialog(nullptr);
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(testsupport::controlsCutOff(&dialog), QStringList());
        QCOMPARE(testsupport::controlsWithoutName(&dialog), QStringList());

        auto *panel = dialog.findChild<QFrame *>(QStringLiteral("Picture1"));
        QVERIFY(panel);
        const QList<QLabel *> labels = panel->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 3);
        for (const QLabel *label : labels) {
            QVERIFY2(QFontMetricsF(label->font()).horizontalAdvance(label->text()) <=
                         label->width() + 1,
                     qPrintable(label->objectName()));
        }
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("Ｖｅｒ　1.00"));
        // Where the pop face is missing, one of the rounded stand-ins is used when installed.
        auto *name = panel->findChild<QLabel *>(QStringLiteral("Label1"));
        const QString used = QFontInfo(name->font()).family();
        if (QFontDatabase::families().contains(QStringLiteral("MotoyaLMaru")))
            QCOMPARE(used, QStringLiteral("MotoyaLMaru"));

        auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("Command1"));
        QVERIFY(ok);
        for (QWidget *w : dialog.findChildren<QWidget *>()) {
            if (w != ok)
                QCOMPARE(w->focusPolicy() & Qt::TabFocus, 0);
        }
    }

    void okBringsTheMainWindowToTheDialogsPlace()
    {
        master::Form1 main;
        main.MainMode = 0; // in the tray: the version dialog's button brings it back all the same
        main.show();
        main.moveTo(1500, 1500);
        main.bazyon_Click();
        QPointer<master::Form5> dialog = testsupport::openedDialog<master::Form5>();
        QVERIFY(dialog && dialog->isVisible() && !main.isVisible());
        dialog->moveTo(3000, 4500);
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
        main.show();
        main.bazyon_Click();
        QPointer<master::Form5> dialog = testsupport::openedDialog<master::Form5>();
        QVERIFY(dialog);
        dialog->close();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(!main.isVisible());
    }
};

QTEST_MAIN(tst_Form5)
#include "tst_Form5.moc"

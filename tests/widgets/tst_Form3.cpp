// The settings dialog: its controls, what it reads from and hands to the editor, the choosers.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/Form1.h"
#include "master/Form2.h"
#include "master/Form3.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "store/Value.h"
#include "tests/support/Layout.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QApplication>
#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>

#include <QTextEdit>
#include <QTimer>
#include <optional>

using master::Form1;
using master::Form2;
using master::Form3;

namespace {

using testsupport::Gothic;

const QColor Silver(192, 192, 192);

template <typename T> T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QString::fromLatin1(name));
}

QColor background(QWidget *w)
{
    return w->palette().color(QPalette::Window);
}

} // namespace

class tst_Form3 : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<testsupport::ProgramFolder> m_dir;
    std::unique_ptr<Form1> m_main;
    QPointer<Form2> m_editor;
    QList<platform::Message> m_messages;

    // The dialog as the editor's "設定(&T)" opens it.
    Form3 *openSettings()
    {
        m_editor->Command2_Click();
        return m_editor->settingsDialog();
    }

private slots:
    void initTestCase()
    {
        platform::setTwipsPerPixelForTesting(15);
        platform::setMessageHookForTesting([this](const platform::Message &m) {
            m_messages.append(m);
            return platform::MessageAnswer::Ok;
        });
    }

    void init()
    {
        m_dir = std::make_unique<testsupport::ProgramFolder>();
        platform::setProgramFolderForTesting(m_dir->path());
        m_messages.clear();
        m_main = std::make_unique<Form1>();
        m_main->move(100, 60);
        m_main->show();
        m_main->sakusei_Click();
        m_editor = m_main->editor();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor));
    }

    void cleanup()
    {
        m_main.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::setProgramFolderForTesting(QString());
    }

    // Every control shows whole inside the dialog; Tab goes Command1, Text1, Text2, Command2,
    // Command3, Command4, Command5 and round again.
    void controlsShowWholeAndTabInDesignOrder()
    {
        Form3 *settings = openSettings();
        QVERIFY(settings);
        QCOMPARE(testsupport::controlsCutOff(settings), QStringList());
        QCOMPARE(testsupport::controlsWithoutName(settings), QStringList());

        QStringList order;
        QWidget *w = child<QWidget>(settings, "Command1");
        for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
            while (w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
            order << w->objectName();
        }
        QCOMPARE(order, (QStringList{"Command1", "Text1", "Text2", "Command2", "Command3",
                                     "Command4", "Command5", "Command1"}));
    }

    void opensAtTheEditorsPlaceAndLoadsItsLook()
    {
        m_editor->move(180, 90);
        Form3 *settings = openSettings();
        QVERIFY(QTest::qWaitForWindowExposed(settings));
        QCOMPARE(settings->pos(), QPoint(180, 90));
        QVERIFY(m_editor->isVisible());
        QCOMPARE(child<QLineEdit>(settings, "Text1")->text(), Gothic);
        QCOMPARE(child<QLineEdit>(settings, "Text2")->text(), QStringLiteral("14.25"));
        QCOMPARE(background(child<QLabel>(settings, "Label1")), Silver);
        QCOMPARE(background(child<QLabel>(settings, "Label2")), Silver);
        QCOMPARE(child<QLabel>(settings, "Label2")->palette().color(QPalette::WindowText),
                 QColor(0, 0, 0));

        // Pressing the editor's button again brings the same dialog to the editor's place.
        settings->move(10, 10);
        QCOMPARE(openSettings(), settings);
        QCOMPARE(settings->pos(), QPoint(180, 90));

        // A 12-point text box gives the size text "12".
        settings->close();
        QFont font = m_editor->Text1->font();
        font.setPointSizeF(12);
        m_editor->Text1->setFont(font);
        QCOMPARE(child<QLineEdit>(openSettings(), "Text2")->text(), QStringLiteral("12"));
    }

    void okWithoutChangesHandsTheLookToTheEditor()
    {
        Form3 *settings = openSettings();
        QPointer<Form3> watch(settings);
        settings->move(250, 40);
        QTest::mouseClick(child<QPushButton>(settings, "Command4"), Qt::LeftButton);
        QCOMPARE(m_editor->IRO2.toLongLong(), 12632256);
        QCOMPARE(m_editor->FNT2, QVariant(Gothic));
        QCOMPARE(m_editor->FSIZE2, QVariant(QStringLiteral("14.25"))); // a text, no longer 12
        QCOMPARE(m_editor->FIRO2.toLongLong(), 0);
        QCOMPARE(m_editor->Text1->font().pointSizeF(), 14.25);
        QCOMPARE(m_editor->Text1->palette().color(QPalette::Base), Silver);
        QCOMPARE(m_editor->palette().color(QPalette::Window), Silver); // the window takes it too
        QCOMPARE(m_editor->pos(), QPoint(250, 40));
        QTRY_VERIFY(!watch);
    }

    void fontChooserIsPresetAndItsAnswerShown()
    {
        Form3 *settings = openSettings();
        QList<Form3::FontChoice> presets;
        Form3::FontChoice answer{QStringLiteral("Noto Serif CJK JP"), 10.5f};
        settings->ShowFont = [&](QWidget *, const Form3::FontChoice &preset, auto chosen) {
            presets << preset;
            chosen(answer);
        };
        auto *name = child<QLineEdit>(settings, "Text1");
        auto *size = child<QLineEdit>(settings, "Text2");
        auto *test = child<QLabel>(settings, "Label2");
        size->setText(QStringLiteral("9"));
        QTest::mouseClick(child<QPushButton>(settings, "Command1"), Qt::LeftButton);
        QCOMPARE(presets.size(), 1);
        QCOMPARE(presets[0].FontName, Gothic);
        QCOMPARE(presets[0].FontSize, 9.0f);
        QCOMPARE(name->text(), answer.FontName);
        QCOMPARE(size->text(), QStringLiteral("10.5"));
        QCOMPARE(test->font().family(), answer.FontName);
        QCOMPARE(test->font().pointSizeF(), 14.25); // the test text keeps its size

        // A cancelled chooser gives the preset back: name and size stay, the test text takes the
        // name in the box.
        name->setText(QStringLiteral("Noto Sans CJK JP"));
        size->setText(QStringLiteral("12.0"));
        settings->ShowFont = [&](QWidget *, const Form3::FontChoice &preset, auto chosen) {
            chosen(preset);
        };
        settings->Command1_Click();
        QCOMPARE(name->text(), QStringLiteral("Noto Sans CJK JP"));
        QCOMPARE(size->text(), QStringLiteral("12"));
        QCOMPARE(test->font().family(), QStringLiteral("Noto Sans CJK JP"));

        // OK hands the name and the size text over; the editor's text box gets the number.
        size->setText(QStringLiteral("10.5"));
        settings->Command4_Click();
        QCOMPARE(m_editor->FNT2, QVariant(QStringLiteral("Noto Sans CJK JP")));
        QCOMPARE(m_editor->FSIZE2, QVariant(QStringLiteral("10.5")));
        QCOMPARE(m_editor->Text1->font().family(), QStringLiteral("Noto Sans CJK JP"));
        QCOMPARE(m_editor->Text1->font().pointSizeF(), 10.5);
    }

    // Qt's own font dialog opens on the face and size it is given and hands fractional sizes
    // back as typed; keeping the face that stands in for a missing one keeps the given name.
    void realFontChooserKeepsFractionalSizes_data()
    {
        QTest::addColumn<float>("preset");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("face");
        QTest::addColumn<float>("chosen");
        QTest::newRow("unchanged") << 10.5f << QString() << QString() << 10.5f;
        QTest::newRow("typed") << 12.0f << QStringLiteral("14.25") << QString() << 14.25f;
        QTest::newRow("another face")
            << 10.5f << QString() << QStringLiteral("Noto Serif CJK JP") << 10.5f;
    }

    void realFontChooserKeepsFractionalSizes()
    {
        QFETCH(float, preset);
        QFETCH(QString, typed);
        QFETCH(QString, face);
        QFETCH(float, chosen);
        std::optional<master::FontChoice> answer;
        master::chooseFont(nullptr, {Gothic, preset},
                           [&](const master::FontChoice &choice) { answer = choice; });
        QFontDialog *dialog = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *font = qobject_cast<QFontDialog *>(window); font && font->isVisible())
                dialog = font;
        }
        QVERIFY(dialog);
        QVERIFY(!answer); // nothing is chosen before the dialog closes
        QCOMPARE(dialog->currentFont().family(), QFontInfo(QFont(Gothic)).family());
        QString shownSize;
        for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
            if (edit->text() == store::formatNumber(preset)) {
                shownSize = edit->text();
                if (!typed.isEmpty()) {
                    edit->clear();
                    QTest::keyClicks(edit, typed);
                }
            }
        }
        if (!face.isEmpty()) { // chosen in the list of faces, the first list
            auto *faces = dialog->findChildren<QListView *>().value(0);
            QVERIFY(faces);
            const QModelIndexList found = faces->model()->match(
                faces->model()->index(0, 0), Qt::DisplayRole, face, 1, Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            faces->setCurrentIndex(found[0]);
        }
        dialog->accept();
        QVERIFY(answer);
        QCOMPARE(shownSize, store::formatNumber(preset));
        QCOMPARE(answer->FontName, face.isEmpty() ? Gothic : face);
        QCOMPARE(answer->FontSize, chosen);
    }

    void colourChoosersOpenOnTheirTargetsColour()
    {
        Form3 *settings = openSettings();
        QList<QColor> opened;
        QColor answer;
        settings->ShowColor = [&](QWidget *, const QColor &current, auto chosen) {
            opened << current;
            chosen(answer.isValid() ? answer : current);
        };
        auto *panel = child<QLabel>(settings, "Label1");
        auto *test = child<QLabel>(settings, "Label2");

        answer = QColor(255, 255, 128); // 8454143
        QTest::mouseClick(child<QPushButton>(settings, "Command2"), Qt::LeftButton);
        QCOMPARE(opened.last(), Silver);
        QCOMPARE(background(panel), answer);
        QCOMPARE(background(test), answer);

        answer = QColor(0, 0, 255); // 16711680
        QTest::mouseClick(child<QPushButton>(settings, "Command3"), Qt::LeftButton);
        QCOMPARE(opened.last(), QColor(0, 0, 0));
        QCOMPARE(test->palette().color(QPalette::WindowText), answer);
        QCOMPARE(background(panel), QColor(255, 255, 128)); // only the text colour changed

        // Cancelled: the target keeps its colour.
        answer = QColor();
        settings->Command2_Click();
        QCOMPARE(opened.last(), QColor(255, 255, 128));
        QCOMPARE(background(panel), QColor(255, 255, 128));
        settings->Command3_Click();
        QCOMPARE(test->palette().color(QPalette::WindowText), QColor(0, 0, 255));

        settings->Command4_Click();
        QCOMPARE(m_editor->IRO2.toLongLong(), 8454143);
        QCOMPARE(m_editor->FIRO2.toLongLong(), 16711680);
        QCOMPARE(m_editor->Text1->palette().color(QPalette::Base), QColor(255, 255, 128));
        QCOMPARE(m_editor->Text1->palette().color(QPalette::Text), QColor(0, 0, 255));
        QCOMPARE(m_editor->palette().color(QPalette::Window), QColor(255, 255, 128));
        QCOMPARE(m_editor->newNote().NoteBackColor.toText(), QStringLiteral("8454143"));
    }

    void sizeThatIsNoPositiveNumberChangesNothing_data()
    {
        QTest::addColumn<QString>("size");
        QTest::newRow("letters") << QStringLiteral("abc");
        QTest::newRow("empty") << QString();
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("negative") << QStringLiteral("-3");
        QTest::newRow("comma decimal") << QStringLiteral("10,5");
    }
    void sizeThatIsNoPositiveNumberChangesNothing()
    {
        QFETCH(QString, size);
        Form3 *settings = openSettings();
        bool chooserOpened = false;
        settings->ShowFont = [&](QWidget *, const Form3::FontChoice &preset, auto chosen) {
            chooserOpened = true;
            chosen(preset);
        };
        settings->ShowColor = [&](QWidget *, const QColor &, auto chosen) {
            chosen(QColor(255, 0, 0));
        };
        settings->Command2_Click(); // a changed look that must not reach the editor
        child<QLineEdit>(settings, "Text2")->setText(size);
        const QPoint editorAt = m_editor->pos();
        settings->move(300, 200);

        settings->Command1_Click();
        QVERIFY(!chooserOpened);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].text.contains(QStringLiteral("フォントサイズ")));

        settings->Command4_Click();
        QCOMPARE(m_messages.size(), 2);
        QVERIFY(settings->isVisible());
        QCOMPARE(m_editor->FSIZE2, QVariant(12));
        QCOMPARE(m_editor->IRO2.toLongLong(), 12632256);
        QCOMPARE(m_editor->Text1->palette().color(QPalette::Base), Silver);
        QCOMPARE(m_editor->Text1->font().pointSizeF(), 14.25);
        QCOMPARE(m_editor->pos(), editorAt);
    }

    // The cancel button, or Escape wherever the focus is in the dialog.
    void cancelOnlyMovesTheEditor_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("button") << QString();
        QTest::newRow("Escape in font name") << QStringLiteral("Text1");
        QTest::newRow("Escape in size") << QStringLiteral("Text2");
        QTest::newRow("Escape on OK") << QStringLiteral("Command4");
    }
    void cancelOnlyMovesTheEditor()
    {
        QFETCH(QString, focus);
        Form3 *settings = openSettings();
        QPointer<Form3> watch(settings);
        settings->ShowColor = [](QWidget *, const QColor &, auto chosen) {
            chosen(QColor(255, 0, 0));
        };
        settings->Command2_Click();
        settings->move(260, 130);
        if (focus.isEmpty()) {
            QTest::mouseClick(child<QPushButton>(settings, "Command5"), Qt::LeftButton);
        } else {
            auto *control = settings->findChild<QWidget *>(focus);
            control->setFocus();
            QTest::keyClick(control, Qt::Key_Escape);
        }
        QCOMPARE(m_editor->pos(), QPoint(260, 130));
        QCOMPARE(m_editor->IRO2.toLongLong(), 12632256);
        QCOMPARE(m_editor->Text1->palette().color(QPalette::Base), Silver);
        QTRY_VERIFY(!watch);

        // The close box only unloads the dialog.
        settings = openSettings();
        watch = settings;
        settings->move(20, 20);
        settings->close();
        QTRY_VERIFY(!watch);
        QCOMPARE(m_editor->pos(), QPoint(260, 130));
    }
};

QTEST_MAIN(tst_Form3)
#include "tst_Form3.moc"

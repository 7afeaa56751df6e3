// The note editor: its controls and menu, create complete with real note windows, cancel, drag.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/EditRequest.h"
#include "master/Form1.h"
#include "master/Form2.h"
#include "master/Form3.h"
#include "master/NoteText.h"
#include "platform/CloseRequest.h"
#include "platform/Colour.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/NoteStore.h"
#include "tests/support/Layout.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QFrame>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

#include <csignal>

using master::Form1;
using master::Form2;
using testsupport::cp932;
using testsupport::Gothic;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

const QString InitialText = QStringLiteral("ここに表示メッセージを入力してください。\n");

// ASCII as key presses; anything else as an input method composes it: a pre-edit text, then
// the commit of the converted text.
void type(QWidget *widget, const QString &text)
{
    QString ascii;
    auto flush = [&] {
        QTest::keyClicks(widget, ascii);
        ascii.clear();
    };
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            ascii += c;
            continue;
        }
        flush();
        QWidget *target = widget->focusProxy() ? widget->focusProxy() : widget;
        QInputMethodEvent preedit(QStringLiteral("ka"), {});
        QApplication::sendEvent(target, &preedit);
        QInputMethodEvent commit;
        commit.setCommitString(c);
        QApplication::sendEvent(target, &commit);
    }
    flush();
}

void processDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_Form2 : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<testsupport::ProgramFolder> m_dir;
    std::unique_ptr<Form1> m_main;
    QList<platform::Message> m_messages;

    QString appDir() const { return m_dir->path() + QLatin1Char('/'); }
    QString mdata() const { return appDir() + QStringLiteral("MDATA.INI"); }
    QString iddata() const { return appDir() + QStringLiteral("IDDATA.INI"); }

    // The editor as the main window opens it: at the main window's place, main window hidden.
    Form2 *openEditor()
    {
        m_main->move(100, 60); // twips 1500, 900
        m_main->show();
        m_main->sakusei_Click();
        Form2 *editor = m_main->editor();
        [&] { QVERIFY(QTest::qWaitForWindowExposed(editor)); }();
        return editor;
    }

    template <typename T> static T *child(QWidget *window, const char *name)
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        testsupport::startedProgramsSkipLeakCheck();
        platform::setTwipsPerPixelForTesting(15);
        platform::setMessageHookForTesting([this](const platform::Message &m) {
            m_messages.append(m);
            return platform::MessageAnswer::Ok;
        });
    }

    void init()
    {
        m_dir = std::make_unique<testsupport::ProgramFolder>();
        QVERIFY(m_dir->isValid());
        // The note windows this test starts are the real program, run offscreen.
        QVERIFY(m_dir->addProgram(testsupport::ProgramFolder::built(QStringLiteral("memlet"))));
        platform::setProgramFolderForTesting(appDir());
        m_messages.clear();
        m_main = std::make_unique<Form1>();
    }

    void cleanup()
    {
        m_main.reset();
        processDeletes();
        for (const auto &window : platform::liveNoteWindows(appDir())) {
            auto *closer = new platform::NoteWindowCloser(appDir(), window.pid);
            QSignalSpy done(closer, &platform::NoteWindowCloser::done);
            closer->start();
            if (!done.wait(10000) || !done.at(0).at(0).toBool())
                ::kill(pid_t(window.pid), SIGKILL);
        }
        platform::setProgramFolderForTesting(QString());
        m_dir.reset();
    }

    // Loaded, not shown: a frameless editor holding the design text, with names for assistive
    // tools, every control whole inside a client area framed by an equal border.
    void loadsFramelessWithTheDesignText()
    {
        master::NoteDesktop desktop;
        Form2 editor(desktop);
        QVERIFY(editor.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(editor.windowTitle().isEmpty());
        QVERIFY(!editor.isVisible()); // loading does not show it
        // Without a title, assistive tools still have names for the window and its text box.
        QCOMPARE(QAccessible::queryAccessibleInterface(&editor)->text(QAccessible::Name),
                 QStringLiteral("付箋の作成"));
        QCOMPARE(QAccessible::queryAccessibleInterface(editor.Text1)->text(QAccessible::Name),
                 QStringLiteral("付箋のメッセージ"));

        QTextEdit *text = editor.Text1;
        QCOMPARE(text, child<QTextEdit>(&editor, "Text1"));
        QCOMPARE(text->toPlainText(), InitialText);
        QVERIFY(!text->acceptRichText());
        // The prompt is selected, its line break not: typing replaces the sentence.
        QCOMPARE(text->textCursor().selectedText(), InitialText.chopped(1));
        QTest::keyClicks(text, QStringLiteral("abc"));
        QCOMPARE(text->toPlainText(), QStringLiteral("abc\n"));
        QCOMPARE(testsupport::controlsCutOff(&editor), QStringList());
        QCOMPARE(testsupport::controlsWithoutName(&editor), QStringList());

        // The client area is 5430 by 1125 twips inside an equal border on every side.
        QWidget *client = text->parentWidget();
        QCOMPARE(client->size(), QSize(362, 75));
        QCOMPARE(editor.width() - client->width(), editor.height() - client->height());
        QCOMPARE(client->geometry().center(), editor.rect().center());
    }

    void tabGoesFromTextToCreateCancelSettings()
    {
        Form2 *editor = openEditor();
        editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        editor->Text1->setFocus();
        QStringList order{editor->focusWidget()->objectName()};
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(order, (QStringList{"Text1", "Command1", "Command3", "Command2", "Text1"}));
        QCOMPARE(editor->Text1->toPlainText(), InitialText); // Tab moved on, typed nothing
    }

    void trayMenuBringsBackTheMainWindowAndTheEditor()
    {
        Form2 *editor = m_main->editor();
        QMenu *menu = editor->SMENU;
        QCOMPARE(menu, child<QMenu>(editor, "SMENU"));
        QCOMPARE(menu->title(), QStringLiteral("サブメニュー"));
        QStringList names, captions;
        for (QAction *action : menu->actions()) {
            names << action->objectName();
            captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QCOMPARE(names, (QStringList{"FMKIDOU", "KUBU", "FHYOUZI", "FSAKUSEI", "FSYOUKYO",
                                     "FMODOSU", "FDATA", "KUBUNN", "SYURYOU"}));
        QCOMPARE(captions,
                 (QStringList{"Pinboa起動", "-", "付箋表示・再表示", "付箋作成", "付箋消去",
                              "消した付箋を戻す…", "データフォルダ…", "-", "終了"}));

        // Tray mode: "Pinboa起動" brings the main window back as home.
        m_main->MainMode = 0;
        m_main->hide();
        child<QAction>(editor, "FMKIDOU")->trigger();
        QCOMPARE(m_main->MainMode, 1);
        QVERIFY(m_main->isVisible());

        // "付箋作成" opens the loaded editor where the main window is.
        m_main->move(140, 70);
        child<QAction>(editor, "FSAKUSEI")->trigger();
        QVERIFY(editor->isVisible());
        QVERIFY(!m_main->isVisible());
        QCOMPARE(editor->pos(), QPoint(140, 70));
    }

    void layoutFollowsTheOuterSize()
    {
        Form2 *editor = openEditor();
        // First showing: laid out from the design size, 5550 by 1245 twips with the border.
        QCOMPARE(editor->size(), QSize(370, 83));
        auto *c1 = child<QPushButton>(editor, "Command1");
        auto *c2 = child<QPushButton>(editor, "Command2");
        auto *c3 = child<QPushButton>(editor, "Command3");
        QCOMPARE(c1->geometry(), platform::toPixels(QRectF(0, 695, 5550.0f / 3 - 40, 450), 15));
        QCOMPARE(editor->Text1->geometry(),
                 platform::toPixels(QRectF(100, 143.5, 5350, 453.5), 15)); // T 747, G 193.5

        // 400 by 100 pixels is 6000 by 1500 twips.
        editor->resize(400, 100);
        QTRY_COMPARE(c1->geometry(), QRect(0, 63, 131, 30)); // 0, 950, 1960, 450
        QCOMPARE(c2->geometry(), QRect(131, 63, 131, 30));   // 1970
        QCOMPARE(c3->geometry(), QRect(262, 63, 131, 30));   // 3930
        QCOMPARE(child<QFrame>(editor, "Line1")->geometry(), QRect(0, 60, 400, 1));
        QCOMPARE(child<QFrame>(editor, "Line2")->geometry(), QRect(0, 61, 400, 1));

        // Too small: everything keeps its place.
        const QRect before = editor->Text1->geometry();
        editor->resize(66, 100); // 990 twips wide
        QTest::qWait(20);
        QCOMPARE(editor->Text1->geometry(), before);
        QCOMPARE(c3->geometry(), QRect(262, 63, 131, 30));
    }

    void createCompleteStoresTheNoteAndStartsItsWindow_data()
    {
        QTest::addColumn<QString>("typed"); // empty: keep the design text; "<empty>": clear it
        QTest::addColumn<QString>("stored");
        QTest::newRow("design text")
            << QString() << QStringLiteral("ここに表示メッセージを入力してください。");
        QTest::newRow("three letters") << QStringLiteral("abc") << QStringLiteral("abc");
        QTest::newRow("line breaks") << QStringLiteral("a\nb\n") << QStringLiteral("a\r\nb");
        QTest::newRow("two breaks at the end")
            << QStringLiteral("x\n\n") << QStringLiteral("x\r\n");
        QTest::newRow("empty") << QStringLiteral("<empty>") << QString();
        QTest::newRow("japanese, comma")
            << QStringLiteral("買い物,牛乳") << QStringLiteral("買い物,牛乳");
    }
    void createCompleteStoresTheNoteAndStartsItsWindow()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        Form2 *editor = openEditor();
        QPointer<Form2> watch(editor);
        QCOMPARE(editor->NewNoteId, 1);
        if (!typed.isEmpty()) {
            editor->Text1->clear();
            const QStringList lines = typed.split(QLatin1Char('\n'));
            for (int i = 0; i < lines.size(); ++i) {
                if (lines[i] != QStringLiteral("<empty>"))
                    type(editor->Text1, lines[i]);
                if (i + 1 < lines.size())
                    QTest::keyClick(editor->Text1, Qt::Key_Return);
            }
        }
        // The user moves and sizes the editor; the main window goes back where it was.
        editor->move(200, 150);
        editor->resize(400, 100);
        QTest::mouseClick(child<QPushButton>(editor, "Command1"), Qt::LeftButton);

        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QCOMPARE(readBytes(mdata()),
                 cp932(QStringLiteral("\"%1\",\"12632256\",\"%2\",12,2250,3000,6000,1000,0,1\r\n")
                           .arg(stored, Gothic)));
        // The window was started with the note and its entry carries the window's process id.
        const auto windows = platform::liveNoteWindows(appDir());
        QCOMPARE(windows.size(), 1);
        QCOMPARE(
            windows[0].noteArgs,
            QStringLiteral("%1/\\/12632256/\\/%2/\\/12/\\/2250/\\/3000/\\/6000/\\/1000/\\/0/\\/1")
                .arg(stored, Gothic));
        // Recorded once the window has registered, from the event loop.
        QTRY_COMPARE(readBytes(iddata()),
                     QByteArray("\"1\",") + QByteArray::number(windows[0].pid) + "\r\n");
        QCOMPARE(m_main->desktop().NoteTable().at(0).NoteTaskId, windows[0].pid);

        QVERIFY(!watch || !watch->isVisible());
        processDeletes();
        QVERIFY(!watch); // unloaded
        QVERIFY(m_main->isVisible());
        QCOMPARE(m_main->pos(), QPoint(100, 60));
    }

    void refusedTextIsKeptAndNothingHappens_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        QTest::newRow("double quote") << QStringLiteral("say \"hi\"") << QStringLiteral("「\"」");
        QTest::newRow("separator") << QStringLiteral("a/\\/b") << QStringLiteral("「/\\/」");
        QTest::newRow("hangul") << QStringLiteral("안녕") << QStringLiteral("「안」");
        QTest::newRow("emoji") << QStringLiteral("ok 😀") << QStringLiteral("「😀」");
    }
    void refusedTextIsKeptAndNothingHappens()
    {
        QFETCH(QString, text);
        QFETCH(QString, named);
        Form2 *editor = openEditor();
        QPointer<Form2> watch(editor);
        editor->Text1->setPlainText(text);
        QTest::mouseClick(child<QPushButton>(editor, "Command1"), Qt::LeftButton);

        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].text.contains(named), qPrintable(m_messages[0].text));
        QVERIFY(!QFile::exists(mdata()));
        QVERIFY(!QFile::exists(iddata()));
        QVERIFY(platform::liveNoteWindows(appDir()).isEmpty());
        processDeletes();
        QVERIFY(watch);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->Text1->toPlainText(), text);
        QVERIFY(!m_main->isVisible());

        // Corrected, the same editor registers the note.
        editor->Text1->setPlainText(QStringLiteral("fixed"));
        editor->Command1_Click();
        QVERIFY(readBytes(mdata()).startsWith("\"fixed\","));
    }

    // While create complete waits for the files, a second press and Alt+F do nothing, and
    // closing the editor drops the note before anything is written; once the files are free,
    // a single press registers exactly one note.
    void createCompleteWaitsForTheFilesOnce_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("pressed again") << false;
        QTest::newRow("cancelled meanwhile") << true;
    }
    void createCompleteWaitsForTheFilesOnce()
    {
        QFETCH(bool, cancel);
        Form2 *editor = openEditor();
        QPointer<Form2> watch(editor);
        editor->Text1->setPlainText(QStringLiteral("一度だけ"));
        testsupport::HeldLock other(m_dir->path());
        QVERIFY(other.held());
        QTest::mouseClick(child<QPushButton>(editor, "Command1"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(editor, "Command1"), Qt::LeftButton);
        QTest::keyClick(editor, Qt::Key_F, Qt::AltModifier);
        editor->Command1_Click();
        QTest::qWait(100);
        QVERIFY(watch && watch->isVisible());
        QVERIFY(!QFile::exists(mdata()));
        if (cancel) {
            QTest::mouseClick(child<QPushButton>(editor, "Command3"), Qt::LeftButton);
            processDeletes();
            QVERIFY(!watch);
            QVERIFY(m_main->isVisible());
        }
        other.release();
        if (cancel) {
            QTest::qWait(300);
            QVERIFY(!QFile::exists(mdata()));
            QVERIFY(platform::liveNoteWindows(appDir()).isEmpty());
        } else {
            QTRY_VERIFY(QFile::exists(mdata()));
            processDeletes();
            QVERIFY(!watch);
            QTest::qWait(300);
            QCOMPARE(store::countLines(readBytes(mdata())), 1);
            QCOMPARE(platform::liveNoteWindows(appDir()).size(), 1);
        }
        QVERIFY(m_messages.isEmpty());
    }

    void everyRunningEntryIsKeptWhenTheFileGrew()
    {
        writeBytes(mdata(), "\"one\",\"255\",\"x\",12,0,0,3000,300,0,1\r\n"
                            "\"two\",\"255\",\"x\",\"9\",0,0,3000,300,0,2\r\n");
        Form2 *editor = openEditor();
        QCOMPARE(editor->NewNoteId, 3);
        // Another note (two lines long) arrives while the editor is open, and more windows run
        // than the file has lines.
        QByteArray notes = readBytes(mdata()) + "\"x\r\ny\",\"255\",\"x\",12,0,0,3000,300,0,7\r\n";
        writeBytes(mdata(), notes);
        QByteArray running;
        for (int i = 20; i < 28; ++i)
            running += "\"" + QByteArray::number(i) + "\",\"0\"\r\n";
        writeBytes(iddata(), running);

        editor->Text1->setPlainText(QStringLiteral("three"));
        editor->Command1_Click();
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        const QByteArray after = readBytes(mdata());
        QVERIFY(after.startsWith(notes));
        QCOMPARE(after.mid(notes.size()), QByteArray("\"three\",\"12632256\",\"") + cp932(Gothic) +
                                              "\",12,900,1500,5550,745,0,3\r\n");
        const auto windows = platform::liveNoteWindows(appDir());
        QCOMPARE(windows.size(), 1);
        QTRY_COMPARE(readBytes(iddata()),
                     running + "\"3\"," + QByteArray::number(windows[0].pid) + "\r\n");
        // The new note takes the position of the line count at create time.
        QCOMPARE(m_main->desktop().NoteTable().size(), 5);
        QCOMPARE(m_main->desktop().NoteTable().at(4).note.NoteText.toText(),
                 QStringLiteral("three"));
        QCOMPARE(m_main->desktop().NoteTable().at(4).NoteTaskId, windows[0].pid);
    }

    // Shrunk as far as it goes, the editor still makes a note that can be seen.
    void smallestEditorMakesAVisibleNote()
    {
        Form2 *editor = openEditor();
        editor->resize(70, 23);
        const store::NoteRecord note = editor->newNote();
        const double tpp = platform::twipsPerPixel(editor);
        QVERIFY(*note.NoteHeight.toNumber() >= platform::MinimumShownSize.height() * tpp);
        QVERIFY(*note.NoteWidth.toNumber() >= platform::MinimumShownSize.width() * tpp);
    }

    // A message taller than the note would be raises the note to show every line in its font, at
    // most to the screen's height; the editor's box scrolls what it cannot show.
    void noteIsTallEnoughForEveryLine()
    {
        Form2 *editor = openEditor(); // 5550 by 1245 twips: a note 745 high
        QTest::qWait(50);
        QVERIFY(!editor->Text1->verticalScrollBar()->isVisible()); // the design text fits
        editor->FSIZE2 = QStringLiteral("18");
        auto heightFor = [editor](const QString &text) {
            editor->Text1->setPlainText(text);
            return editor->newNote().NoteHeight.toNumber().value_or(0);
        };
        QCOMPARE(heightFor(QStringLiteral("一行目")), 745.0);
        QTRY_VERIFY(!editor->Text1->verticalScrollBar()->isVisible());
        // Both lines whole below the 100 twips above the text, and not a line more.
        const QFontMetrics metrics(master::noteFont(Gothic, 18));
        const double twoLines = heightFor(QStringLiteral("一行目\n二行目\n"));
        QVERIFY2(twoLines >= 100 + (metrics.lineSpacing() + metrics.ascent()) * 15.0 &&
                     twoLines < 100 + 3 * metrics.lineSpacing() * 15.0,
                 qPrintable(QString::number(twoLines)));
        QCOMPARE(heightFor(QStringLiteral("行\n").repeated(200)),
                 editor->screen()->geometry().height() * 15.0);
        QTRY_VERIFY(editor->Text1->verticalScrollBar()->isVisible());
    }

    // 編集: the editor opens on the note, placed and sized as its window stands (500 twips
    // higher), in its look; create complete writes the record over in its line, the records around
    // it byte for byte, and the note comes back in its new look. The main window stays as it is.
    void editWritesTheNoteOverInItsPlace()
    {
        const QByteArray first = "\"one\",\"255\",\"x\",12,0,0,3000,300,0,1\r\n";
        const QByteArray last = "\"three\",\"255\",\"x\",12,45,90,3000,300,0,3\r\n";
        const QString fields = QStringLiteral("\",\"8454143\",\"IPAGothic\",\"18\",900,1500,"
                                              "3000,1050,255,2\r\n");
        writeBytes(mdata(), first + cp932(QStringLiteral("\"二行の\r\n付箋") + fields) + last);
        m_main->show();
        m_main->Command1_Click();
        QTRY_COMPARE(platform::liveNoteWindows(appDir()).size(), 3);
        QTRY_VERIFY(!m_main->desktop().busy());
        const auto before = platform::liveNoteWindows(appDir());

        m_main->editNote(*master::EditRequest::parse(QStringLiteral("2 900 1500 3000 1050")));
        Form2 *editor = m_main->editor();
        QPointer<Form2> watch(editor);
        QVERIFY(editor->isVisible() && editor->editing());
        QCOMPARE(editor->geometry(), platform::toPixels(QRectF(1500, 900, 3000, 1550), 15));
        QCOMPARE(editor->Text1->toPlainText(), QStringLiteral("二行の\n付箋"));
        QCOMPARE(editor->Text1->palette().color(QPalette::Base),
                 platform::colourFromRgbNumber(8454143));
        QCOMPARE(editor->Text1->palette().color(QPalette::Text), QColor(255, 0, 0));
        QCOMPARE(editor->Text1->font().pointSizeF(), 18.0);
        QVERIFY(m_main->isVisible());

        editor->Text1->setPlainText(QStringLiteral("書き直した\n付箋"));
        editor->Command1_Click();
        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
        QCOMPARE(readBytes(mdata()),
                 first + cp932(QStringLiteral("\"書き直した\r\n付箋") + fields) + last);
        processDeletes();
        QVERIFY(!watch);
        QVERIFY(m_main->isVisible());
        // Its window closed (with its write-back) and started again; the others stayed.
        const auto windowsNow = [this] {
            QStringList shown; // the other windows by pid, the edited one by its message
            for (const auto &window : platform::liveNoteWindows(appDir()))
                shown << (window.noteArgs.endsWith(QStringLiteral("/\\/2"))
                              ? window.noteArgs.section(QStringLiteral("/\\/"), 0, 0)
                              : QString::number(window.pid));
            shown.sort();
            return shown;
        };
        QStringList expected{QStringLiteral("書き直した\r\n付箋")};
        for (const auto &window : before) {
            if (!window.noteArgs.endsWith(QStringLiteral("/\\/2")))
                expected << QString::number(window.pid);
        }
        expected.sort();
        QTRY_COMPARE_WITH_TIMEOUT(windowsNow(), expected, 20000);
        QVERIFY(readBytes(mdata()).endsWith(last));
    }

    // A record changed or erased while the editor was open is not written over; a place that its
    // window stored meanwhile is no change. A note that is not registered opens nothing.
    void editOfAChangedNoteWritesNothing_data()
    {
        QTest::addColumn<QByteArray>("meanwhile");
        QTest::addColumn<QByteArray>("written"); // empty: refused
        const QByteArray one = testsupport::noteLine("1"), three = testsupport::noteLine("3");
        QTest::newRow("changed") << one + testsupport::noteLine("2", "other") + three
                                 << QByteArray();
        QTest::newRow("erased") << one + three << QByteArray();
        QTest::newRow("moved") << one + testsupport::noteLine("2", "t", "45,90") + three
                               << one +
                                      QByteArray(testsupport::noteLine("2", "new", "45,90"))
                                          .replace("5430,250", "5400,1495") +
                                      three;
    }
    void editOfAChangedNoteWritesNothing()
    {
        QFETCH(QByteArray, meanwhile);
        QFETCH(QByteArray, written);
        using testsupport::noteLine;
        writeBytes(mdata(), noteLine("1") + noteLine("2") + noteLine("3"));
        m_main->editNote(*master::EditRequest::parse(QStringLiteral("9 0 0 5430 250")));
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(!m_main->editor()->isVisible());
        m_messages.clear();

        m_main->editNote(*master::EditRequest::parse(QStringLiteral("2 600 1200 5430 250")));
        Form2 *editor = m_main->editor();
        QVERIFY(editor->isVisible());
        writeBytes(mdata(), meanwhile);
        editor->Text1->setPlainText(QStringLiteral("new"));
        editor->resize(360, 133); // a note of 5400 by 1495 twips
        editor->Command1_Click();
        QCOMPARE(m_messages.size(), written.isEmpty() ? 1 : 0);
        QCOMPARE(readBytes(mdata()), written.isEmpty() ? meanwhile : written);
        QCOMPARE(editor->isVisible(), written.isEmpty()); // the text stays for the user
    }

    void unreadableNoteFileStopsCreateWithAMessage()
    {
        // A record cut short: no identifier can be chosen safely, so nothing may be added.
        const QByteArray broken = "\"one\",\"255\",\"x\",12,0,0\r\n";
        writeBytes(mdata(), broken);
        Form2 *editor = openEditor();
        QCOMPARE(editor->NewNoteId, 0);
        editor->Command1_Click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(readBytes(mdata()), broken);
        QVERIFY(!QFile::exists(iddata()));
        QVERIFY(platform::liveNoteWindows(appDir()).isEmpty());
        QVERIFY(editor->isVisible());
    }

    void inTrayModeCreateAndCancelOnlyClose()
    {
        Form2 *editor = openEditor();
        m_main->MainMode = 0;
        editor->Command1_Click();
        QVERIFY(QFile::exists(mdata()));
        QVERIFY(!editor->isVisible());
        QVERIFY(!m_main->isVisible());

        editor = openEditor();
        QCOMPARE(editor->NewNoteId, 2); // a fresh editor, a fresh identifier
        m_main->MainMode = 0;
        m_main->hide();
        editor->Command3_Click();
        QVERIFY(!editor->isVisible());
        QVERIFY(!m_main->isVisible());
    }

    void cancelReturnsToTheEditorsPlace()
    {
        Form2 *editor = openEditor();
        QPointer<Form2> watch(editor);
        editor->move(230, 170);
        QTest::mouseClick(child<QPushButton>(editor, "Command3"), Qt::LeftButton);
        QVERIFY(m_main->isVisible());
        QCOMPARE(m_main->pos(), QPoint(230, 170));
        processDeletes();
        QVERIFY(!watch);
        QVERIFY(!QFile::exists(mdata()));
        QVERIFY(platform::liveNoteWindows(appDir()).isEmpty());
        // Closed by the window manager, the editor cancels too.
        editor = openEditor();
        watch = editor;
        editor->move(150, 110);
        editor->close();
        QVERIFY(m_main->isVisible());
        QCOMPARE(m_main->pos(), QPoint(150, 110));
        processDeletes();
        QVERIFY(!watch);

        // The next opening loads afresh with the default look.
        QVERIFY(m_main->editor() != nullptr);
        QCOMPARE(m_main->editor()->FSIZE2, QVariant(12));
    }

    void settingsOkWithoutChangesStoresTheSizeText()
    {
        Form2 *editor = openEditor();
        QCOMPARE(editor->FSIZE2.typeId(), QMetaType::Int);
        editor->Command2_Click();
        master::Form3 *settings = editor->settingsDialog();
        QVERIFY(settings && settings->isVisible());
        QVERIFY(editor->isVisible()); // the editor stays up beneath it
        QCOMPARE(settings->pos(), editor->pos());
        settings->Command4_Click();
        QCOMPARE(editor->FSIZE2, QVariant(QStringLiteral("14.25")));
        editor->Command1_Click();
        QCOMPARE(
            readBytes(mdata()),
            cp932(QStringLiteral("\"%1\",\"12632256\",\"%2\",\"14.25\",900,1500,5550,745,0,1\r\n")
                      .arg(InitialText.chopped(1), Gothic)));
    }

    void leftButtonAloneDragsTheEditor()
    {
        Form2 *editor = openEditor();
        QWidget *viewport = editor->Text1->viewport();
        const QPoint start = editor->pos();
        auto move = [&](QWidget *target, QPoint local, Qt::MouseButtons buttons) {
            QMouseEvent event(QEvent::MouseMove, local, target->mapToGlobal(local), Qt::NoButton,
                              buttons, Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        };
        // Right button, or both buttons: the editor stays.
        move(viewport, {20, 10}, Qt::RightButton);
        move(viewport, {40, 20}, Qt::RightButton);
        move(viewport, {20, 10}, Qt::LeftButton | Qt::RightButton);
        move(viewport, {40, 20}, Qt::LeftButton | Qt::RightButton);
        QCOMPARE(editor->pos(), start);

        // A click in the text places the caret.
        editor->Text1->setPlainText(QStringLiteral("abcdef"));
        editor->Text1->moveCursor(QTextCursor::End);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, {2, 5});
        QCOMPARE(editor->Text1->textCursor().position(), 0);

        // Left button alone on the text box drags the whole editor.
        QTest::mousePress(viewport, Qt::LeftButton, {}, {20, 10});
        move(viewport, {20, 10}, Qt::LeftButton);
        const QPoint pointer = viewport->mapToGlobal(QPoint(50, 30));
        move(viewport, {50, 30}, Qt::LeftButton);
        QMouseEvent release(QEvent::MouseButtonRelease, viewport->mapFromGlobal(pointer), pointer,
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &release);
        QTRY_COMPARE(editor->pos(), start + QPoint(30, 20));
        QVERIFY(!editor->Text1->textCursor().hasSelection());
    }
};

QTEST_MAIN(tst_Form2)
#include "tst_Form2.moc"

// The note window of memlet in-process: start-up from an argument string, look, keys, mouse, close.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "notewin/Form1.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/SingleInstance.h"
#include "platform/Twips.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using notewin::Form1;
using testsupport::cp932;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

QString args(const QStringList &fields)
{
    return fields.join(QStringLiteral("/\\/"));
}

QStringList noteFields(const QString &id = QStringLiteral("7"))
{
    return {QStringLiteral("a"),
            QStringLiteral("12632256"),
            QStringLiteral("ＭＳ Ｐゴシック"),
            QStringLiteral("12"),
            QStringLiteral("1215"),
            QStringLiteral("8910"),
            QStringLiteral("5430"),
            QStringLiteral("250"),
            QStringLiteral("255"),
            id};
}

// One twip-to-pixel rounding either way.
void compareTwips(double actual, double expected)
{
    QVERIFY2(std::abs(actual - expected) <= platform::twipsPerPixel(),
             qPrintable(QStringLiteral("%1 twips, expected %2").arg(actual).arg(expected)));
}

QRectF labelTwips(const QLabel *label)
{
    return platform::toTwips(label->geometry(), platform::twipsPerPixel());
}

// The start-up as memlet runs it: the look, the entry, then the window is up.
bool load(Form1 &form, const QString &argumentText)
{
    QSignalSpy loaded(&form, &Form1::loaded);
    const auto started = form.Form_Load(argumentText);
    if (!started || started.value() != Form1::LoadResult::Registering)
        return false;
    if (loaded.isEmpty() && !loaded.wait(10000))
        return false;
    if (!loaded.at(0).at(0).value<store::Status>().ok())
        return false;
    form.markShown();
    return true;
}

void mouse(QWidget *target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
           Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class tst_NoteWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsFromTheArgumentString();
    void lineBreaksAndMarkupShowAsWritten();
    void unusableArgumentsTouchNoFile_data();
    void unusableArgumentsTouchNoFile();
    void emptyArgumentsAreNoNote();
    void anyKeyClosesAndWritesBack_data();
    void anyKeyClosesAndWritesBack();
    void closeRunsOnceWhateverAsks();
    void failedWriteBackIsReported();
    void dragDuringTheWaitIsWhatIsStored();
    void rightButtonOpensTheMenu();
    void otherButtonsOpenNoMenu();
    void leftButtonAloneDrags();
    void offScreenNoteIsBroughtBack();
    void partlyOffScreenNoteStays();
    void placesByTwipsAt120Dpi();
    void choicesAreStoredAtOnce();
    void damagedOptionsShowTheDefaults();
    void editAsksTheMasterOrStartsOne();

private:
    QString path(const char *name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    std::unique_ptr<testsupport::ProgramFolder> m_dir;
    QList<platform::Message> m_messages;
};

void tst_NoteWindow::init()
{
    m_dir = std::make_unique<testsupport::ProgramFolder>();
    QVERIFY(m_dir->isValid());
    m_messages.clear();
    platform::setMessageHookForTesting([this](const platform::Message &message) {
        m_messages.append(message);
        return platform::MessageAnswer::Ok;
    });
    platform::setTwipsPerPixelForTesting(15);
}

void tst_NoteWindow::cleanup()
{
    platform::setMessageHookForTesting({});
    platform::setTwipsPerPixelForTesting(0);
    m_dir.reset();
}

void tst_NoteWindow::startsFromTheArgumentString()
{
    writeBytes(path("IDDATA.INI"), "\"3\",1234\r\n");
    QStringList fields = noteFields(QStringLiteral("05"));
    fields[3] = QStringLiteral("10.5");
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(fields)));

    auto *label = form.findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("a"));
    QCOMPARE(form.palette().color(QPalette::Window), QColor(192, 192, 192));
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(form.autoFillBackground());
    QVERIFY(!label->autoFillBackground());
    QCOMPARE(label->font().families().value(0), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(label->font().pointSizeF(), 10.5);

    const QRectF outer = platform::outerGeometryTwips(&form);
    compareTwips(outer.y(), 1215);
    compareTwips(outer.x(), 8910);
    compareTwips(outer.width(), 5430);
    compareTwips(outer.height(), 250);
    const QRectF labelArea = labelTwips(label);
    compareTwips(labelArea.x(), 100);
    compareTwips(labelArea.y(), 100);
    compareTwips(labelArea.width(), 5230);
    compareTwips(labelArea.height(), 150);

    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(form.minimumSize(), form.maximumSize()); // a fixed frame
    QVERIFY(!form.windowIcon().isNull());

    // "はがす" first, then the editor, then the two choices that stay checked.
    auto *menu = form.findChild<QMenu *>(QStringLiteral("KME"));
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("基本メニュー"));
    QStringList items;
    for (const QAction *action : menu->actions())
        items.append(action->isSeparator() ? QStringLiteral("-")
                                           : action->objectName() + u' ' + action->text() +
                                                 (action->isCheckable() ? u" [ ]"_qs : QString()));
    QCOMPARE(items,
             QStringList({u"OUT はがす"_qs, u"-"_qs, u"HENSYU 編集…"_qs, u"-"_qs,
                          u"MAE 常に手前に表示 [ ]"_qs, u"ZENBU すべての作業領域に表示 [ ]"_qs}));

    // The hidden text box, made once the window is up, holds the identifier's number.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_VERIFY(form.findChild<QLineEdit *>(QStringLiteral("Text1")));
    auto *text1 = form.findChild<QLineEdit *>(QStringLiteral("Text1"));
    QCOMPARE(text1->text(), QStringLiteral("5"));
    QVERIFY(text1->isHidden());
    QCOMPARE(text1->font(), label->font());

    // The identifier as received, appended after what was there.
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray("\"3\",1234\r\n\"05\",\"0\"\r\n"));
    QVERIFY(!QFile::exists(path("MDATA.INI")));
}

void tst_NoteWindow::lineBreaksAndMarkupShowAsWritten()
{
    QStringList fields = noteFields();
    fields[0] = QStringLiteral("<b>一行目</b>\r\n二行目 & \"三\"");
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(fields)));
    auto *label = form.findChild<QLabel *>(QStringLiteral("Label1"));
    QCOMPARE(label->text(), QStringLiteral("<b>一行目</b>\n二行目 & \"三\""));
    QCOMPARE(label->textFormat(), Qt::PlainText);
    // Assistive tools name the note window by its text; the text inside is the note's words.
    QCOMPARE(QAccessible::queryAccessibleInterface(&form)->text(QAccessible::Name), label->text());
    const QAccessibleInterface *words = QAccessible::queryAccessibleInterface(label);
    QCOMPARE(words->text(QAccessible::Name), QStringLiteral("付箋の文字"));
    QCOMPARE(words->text(QAccessible::Description), label->text());
}

void tst_NoteWindow::unusableArgumentsTouchNoFile_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("named");
    QTest::newRow("empty colour") << 1 << QString() << QStringLiteral("背景色");
    QTest::newRow("letters as font size")
        << 3 << QStringLiteral("abc") << QStringLiteral("フォントサイズ");
    QTest::newRow("top not a number") << 4 << QStringLiteral("1O0") << QStringLiteral("上端の位置");
    QTest::newRow("height empty") << 7 << QString() << QStringLiteral("高さ");
    QTest::newRow("text colour too large")
        << 8 << QStringLiteral("99999999999") << QStringLiteral("文字色");
    QTest::newRow("nine fields") << -1 << QString() << QString();
    QTest::newRow("separator inside the text") << 0 << QStringLiteral("x/\\/y") << QString();
}

void tst_NoteWindow::unusableArgumentsTouchNoFile()
{
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, named);
    const QByteArray running("\"1\",\"0\"\r\n");
    const QByteArray notes = cp932(QStringLiteral("\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,0,0,"
                                                  "5430,250,0,7\r\n"));
    writeBytes(path("IDDATA.INI"), running);
    writeBytes(path("MDATA.INI"), notes);

    QStringList fields = noteFields();
    if (field < 0)
        fields.removeLast();
    else
        fields[field] = value;
    Form1 form(m_dir->path());
    const auto loaded = form.Form_Load(args(fields));
    QVERIFY(!loaded.ok());
    const QString error = loaded.error();
    QVERIFY(!error.isEmpty());
    if (!named.isEmpty())
        QVERIFY2(error.contains(named), qPrintable(error));
    QCOMPARE(readBytes(path("IDDATA.INI")), running);
    QCOMPARE(readBytes(path("MDATA.INI")), notes);
}

void tst_NoteWindow::emptyArgumentsAreNoNote()
{
    Form1 form(m_dir->path());
    QCOMPARE(form.Form_Load(QString()).value(), Form1::LoadResult::NoNote);
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void tst_NoteWindow::anyKeyClosesAndWritesBack_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("toHiddenText");
    QTest::newRow("Shift alone") << int(Qt::Key_Shift) << false;
    QTest::newRow("a letter") << int(Qt::Key_A) << false;
    QTest::newRow("F10 while the text box is the target") << int(Qt::Key_F10) << true;
}

void tst_NoteWindow::anyKeyClosesAndWritesBack()
{
    QFETCH(int, key);
    QFETCH(bool, toHiddenText);
    writeBytes(path("IDDATA.INI"), "\"07\",\"0\"\r\n\"7\",555\r\n");
    writeBytes(path("MDATA.INI"),
               cp932(QStringLiteral("\"x\",\"255\",\"ＭＳ 明朝\",\"12\",0,0,100,100,0,3\r\n"
                                    "\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,0,0,5430,250,0,7\r\n"
                                    "\"b\",\"12632256\",\"ＭＳ Ｐゴシック\",12,15,30,5430,250,0,"
                                    "\"07\"\r\n")));
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields())));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy closed(&form, &Form1::closed);
    QTRY_VERIFY(form.findChild<QWidget *>(QStringLiteral("Text1")));

    QWidget *target = toHiddenText ? form.findChild<QWidget *>(QStringLiteral("Text1"))
                                   : form.findChild<QWidget *>(QStringLiteral("Label1"));
    QTest::keyClick(target, Qt::Key(key));

    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(closed.at(0).at(0).toInt(), 0);
    // The entry "07" is another note's text; the records 7 and "07" are this note's number.
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray("\"07\",\"0\"\r\n"));
    QCOMPARE(
        readBytes(path("MDATA.INI")),
        cp932(QStringLiteral("\"x\",\"255\",\"ＭＳ 明朝\",\"12\",0,0,100,100,0,3\r\n"
                             "\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,1215,8910,5430,250,0,7\r\n"
                             "\"b\",\"12632256\",\"ＭＳ Ｐゴシック\",12,1215,8910,5430,250,0,"
                             "\"07\"\r\n")));
    QVERIFY(m_messages.isEmpty());
}

void tst_NoteWindow::closeRunsOnceWhateverAsks()
{
    writeBytes(
        path("MDATA.INI"),
        cp932(QStringLiteral("\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,0,0,5430,250,0,7\r\n")));
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields())));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy closed(&form, &Form1::closed);

    form.close(); // the window manager's close
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(form.hasUnloaded());
    // A second entry after another process appended one: a later request must not remove it.
    writeBytes(path("IDDATA.INI"), "\"7\",\"0\"\r\n");
    form.move(form.pos() + QPoint(30, 30));
    QTest::keyClick(&form, Qt::Key_Escape);
    form.findChild<QAction *>(QStringLiteral("OUT"))->trigger();
    form.Form_Unload();
    QTest::qWait(50);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray("\"7\",\"0\"\r\n"));
    QVERIFY(readBytes(path("MDATA.INI")).contains(",1215,8910,"));
}

void tst_NoteWindow::failedWriteBackIsReported()
{
    // A record cut short: the file cannot be read whole, so it must stay as it is.
    const QByteArray broken = cp932(QStringLiteral("\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,0"));
    writeBytes(path("MDATA.INI"), broken);
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields())));
    QSignalSpy closed(&form, &Form1::closed);
    form.findChild<QAction *>(QStringLiteral("OUT"))->trigger();
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(closed.at(0).at(0).toInt() != 0);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.at(0).text.contains(QStringLiteral("保存できません")));
    QCOMPARE(readBytes(path("MDATA.INI")), broken);
}

// The close waits for files another program holds: the note can still be dragged, and the
// place it has when the files are free is the one stored.
void tst_NoteWindow::dragDuringTheWaitIsWhatIsStored()
{
    writeBytes(
        path("MDATA.INI"),
        cp932(QStringLiteral("\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,0,0,5430,250,0,7\r\n")));
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields())));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy closed(&form, &Form1::closed);
    testsupport::HeldLock other(m_dir->path());
    QTest::keyClick(&form, Qt::Key_A);
    QTest::qWait(100);
    QCOMPARE(closed.count(), 0);
    form.move(form.pos() + QPoint(60, 30));
    QTest::keyClick(&form, Qt::Key_B); // waits with the first
    other.release();
    QTRY_COMPARE(closed.count(), 1);
    QTest::qWait(50);
    QCOMPARE(closed.count(), 1);
    QVERIFY2(readBytes(path("MDATA.INI")).contains(",1665,9810,"),
             readBytes(path("MDATA.INI")).constData());
    QVERIFY(m_messages.isEmpty());
}

void tst_NoteWindow::rightButtonOpensTheMenu()
{
    Form1 form(m_dir->path());
    QStringList fields = noteFields();
    fields[5] = QStringLiteral("1500"); // far enough from the right edge for the whole menu
    QVERIFY(load(form, args(fields)));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy closed(&form, &Form1::closed);
    auto *menu = form.findChild<QMenu *>(QStringLiteral("KME"));
    auto *label = form.findChild<QWidget *>(QStringLiteral("Label1"));

    // Dismissed without a choice, from the label and from the strip at the left edge.
    for (QWidget *target : {label, static_cast<QWidget *>(&form)}) {
        const QPoint at = target == label ? QPoint(40, 5) : QPoint(2, 10);
        mouse(target, QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
        QTRY_COMPARE(QApplication::activePopupWidget(), menu);
        QCOMPARE(menu->pos(), target->mapToGlobal(at));
        menu->close();
        QTest::qWait(20);
        QCOMPARE(closed.count(), 0);
    }

    // "はがす" closes the note.
    mouse(label, QEvent::MouseButtonPress, QPoint(10, 5), Qt::RightButton, Qt::RightButton);
    QTRY_COMPARE(QApplication::activePopupWidget(), menu);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(readBytes(path("IDDATA.INI")), QByteArray());
}

void tst_NoteWindow::otherButtonsOpenNoMenu()
{
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields())));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QSignalSpy closed(&form, &Form1::closed);
    auto *label = form.findChild<QWidget *>(QStringLiteral("Label1"));
    QWidget *popup = nullptr;
    QTimer::singleShot(50, [&] {
        popup = QApplication::activePopupWidget();
        if (popup)
            popup->close();
    });
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        mouse(label, QEvent::MouseButtonPress, QPoint(10, 5), button, button);
        mouse(label, QEvent::MouseButtonRelease, QPoint(10, 5), button, Qt::NoButton);
    }
    QTest::qWait(100);
    QCOMPARE(popup, nullptr);
    QCOMPARE(closed.count(), 0);
}

void tst_NoteWindow::leftButtonAloneDrags()
{
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields())));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *label = form.findChild<QWidget *>(QStringLiteral("Label1"));
    const QPoint start = form.pos();

    // Both buttons, or the middle one: nothing moves.
    for (Qt::MouseButtons held :
         {Qt::MouseButtons(Qt::LeftButton | Qt::RightButton), Qt::MouseButtons(Qt::MiddleButton)}) {
        mouse(label, QEvent::MouseMove, QPoint(20, 5), Qt::NoButton, held);
        mouse(label, QEvent::MouseMove, QPoint(80, 50), Qt::NoButton, held);
        QCOMPARE(form.pos(), start);
    }

    // The left button alone, from the label and then from the strip along the top edge: the
    // window follows the pointer from its first movement and stays where it is dropped.
    struct Case
    {
        QWidget *target;
        QPoint from;
    };
    for (const Case &drag : {Case{label, QPoint(20, 5)}, Case{&form, QPoint(60, 2)}}) {
        const QPoint before = form.pos();
        const QPoint global = drag.target->mapToGlobal(drag.from);
        mouse(drag.target, QEvent::MouseButtonPress, drag.from, Qt::LeftButton, Qt::LeftButton);
        mouse(drag.target, QEvent::MouseMove, drag.from, Qt::NoButton, Qt::LeftButton);
        QMouseEvent moved(QEvent::MouseMove, drag.from + QPoint(100, 40), global + QPoint(100, 40),
                          Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(drag.target, &moved);
        QMouseEvent released(QEvent::MouseButtonRelease, drag.from + QPoint(100, 40),
                             global + QPoint(100, 40), Qt::LeftButton, Qt::NoButton,
                             Qt::NoModifier);
        QApplication::sendEvent(drag.target, &released);
        QCOMPARE(form.pos(), before + QPoint(100, 40));
        // After the release, moving on does not carry the window along.
        QMouseEvent after(QEvent::MouseMove, drag.from, global + QPoint(300, 300), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(drag.target, &after);
        QCOMPARE(form.pos(), before + QPoint(100, 40));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void tst_NoteWindow::offScreenNoteIsBroughtBack()
{
    const QByteArray notes = cp932(
        QStringLiteral("\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,300000,300000,5430,250,0,7\r\n"));
    writeBytes(path("MDATA.INI"), notes);
    QStringList fields = noteFields();
    fields[4] = QStringLiteral("300000");
    fields[5] = QStringLiteral("300000");
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(fields)));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(screen.contains(form.frameGeometry()));
    // Nearest place: the bottom-right corner.
    QCOMPARE(form.frameGeometry().bottomRight(), screen.bottomRight());
    // The record changes only when the note closes.
    QCOMPARE(readBytes(path("MDATA.INI")), notes);
}

void tst_NoteWindow::partlyOffScreenNoteStays()
{
    QStringList fields = noteFields();
    fields[4] = QStringLiteral("-150");
    fields[5] = QStringLiteral("-1500");
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(fields)));
    QCOMPARE(form.frameGeometry().topLeft(), QPoint(-100, -10));
}

void tst_NoteWindow::placesByTwipsAt120Dpi()
{
    platform::setTwipsPerPixelForTesting(12);
    QStringList fields = noteFields();
    fields[4] = QStringLiteral("1200"); // top
    fields[5] = QStringLiteral("2400"); // left
    fields[6] = QStringLiteral("4800");
    fields[7] = QStringLiteral("600");
    writeBytes(
        path("MDATA.INI"),
        cp932(QStringLiteral("\"a\",\"12632256\",\"ＭＳ Ｐゴシック\",12,0,0,4800,600,0,7\r\n")));
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(fields)));
    QCOMPARE(form.frameGeometry(), QRect(200, 100, 400, 50));
    auto *label = form.findChild<QWidget *>(QStringLiteral("Label1"));
    QCOMPARE(label->geometry(), QRect(8, 8, 383, 42)); // 8.3, 8.3, 383.3, 41.7 pixels
    form.move(203, 97);
    QSignalSpy closed(&form, &Form1::closed);
    form.Form_Unload();
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(readBytes(path("MDATA.INI")).contains(",1164,2436,4800,600,"));
}

void tst_NoteWindow::choicesAreStoredAtOnce()
{
    writeBytes(path("MDATA.INI"), cp932(u"\"a\",\"12632256\",\"x\",12,0,0,5430,250,0,7\r\n"_qs));
    writeBytes(path("pinboa-notes.ini"), "[7]\nabove=true\nworkspace=1\n[8]\nabove=true\n");
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields(u"07"_qs))));
    auto *above = form.findChild<QAction *>(QStringLiteral("MAE"));
    auto *everywhere = form.findChild<QAction *>(QStringLiteral("ZENBU"));
    QVERIFY(above->isChecked() && !everywhere->isChecked());

    everywhere->trigger();
    QTRY_VERIFY(
        readBytes(path("pinboa-notes.ini")).contains("[7]\nabove=true\nallWorkspaces=true\n"));
    // Files another program holds: the choice waits, the latest one is stored, and a close
    // meanwhile stores it with the place.
    testsupport::HeldLock other(m_dir->path());
    above->trigger();
    everywhere->trigger();
    QTest::qWait(50);
    QVERIFY(readBytes(path("pinboa-notes.ini")).contains("allWorkspaces=true"));
    QSignalSpy closed(&form, &Form1::closed);
    form.Form_Unload();
    other.release();
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(readBytes(path("MDATA.INI")).contains(",1215,8910,"));
    // Both back to the defaults; the workspace it was closed on stays (this desktop has none).
    QVERIFY(readBytes(path("pinboa-notes.ini"))
                .endsWith("[7]\nabove=false\nallWorkspaces=false\nworkspace=1\n\n"
                          "[8]\nabove=true\nallWorkspaces=false\n"));
    QVERIFY(m_messages.isEmpty());
}

void tst_NoteWindow::damagedOptionsShowTheDefaults()
{
    const QByteArray damaged("[7]\nabove=true\nsize=big\n");
    writeBytes(path("pinboa-notes.ini"), damaged);
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields())));
    QVERIFY(!form.findChild<QAction *>(QStringLiteral("MAE"))->isChecked());
    form.findChild<QAction *>(QStringLiteral("ZENBU"))->trigger();
    QTRY_COMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.at(0).text.contains(u"3 行目"_qs), qPrintable(m_messages.at(0).text));
    QCOMPARE(readBytes(path("pinboa-notes.ini")), damaged);
}

void tst_NoteWindow::editAsksTheMasterOrStartsOne()
{
    platform::setProgramFolderForTesting(m_dir->path());
    Form1 form(m_dir->path());
    QVERIFY(load(form, args(noteFields(u"07"_qs))));
    auto *edit = form.findChild<QAction *>(QStringLiteral("HENSYU"));

    // No master runs: one is started with the request.
    writeBytes(path("pinboa"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    QVERIFY(QFile::setPermissions(path("pinboa"), QFile::ReadOwner | QFile::ExeOwner));
    edit->trigger();
    QTRY_COMPARE(readBytes(path("pinboa.args")),
                 QByteArray("--edit-note\n07 1215 8910 5430 255\n"));

    // A master runs: it is asked, once however often the item is chosen meanwhile.
    platform::SingleInstance master(m_dir->path(), m_dir->path());
    QVERIFY(master.claim());
    QStringList asked;
    master.handle(platform::protocol::EditNote,
                  [&](const QString &argument) { asked.append(argument); });
    form.move(form.pos() + QPoint(2, 1));
    edit->trigger();
    edit->trigger();
    QTRY_COMPARE(asked, QStringList{u"07 1230 8940 5430 255"_qs});
    QTest::qWait(100);
    QCOMPARE(asked.size(), 1);
    QVERIFY(m_messages.isEmpty());
    platform::setProgramFolderForTesting(QString());
}

QTEST_MAIN(tst_NoteWindow)
#include "tst_NoteWindow.moc"

// Widget tests of the erase dialog (its layout, its two messages, and what erasing leaves in
// MDATA.INI and ERASED.INI) and of the dialog that puts erased notes back.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/Form1.h"
#include "master/Form2.h"
#include "master/Form4.h"
#include "master/Form6.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "tests/support/Layout.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using platform::Message;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

using testsupport::cp932;

// Three records with every kind of field: a bare and a quoted size, a text with a line break,
// a text with a comma.
const QByteArray Rec1 = cp932(
    QStringLiteral("\"買い物\",\"12632256\",\"ＭＳ Ｐゴシック\",12,1500,3000,3600,2000,0,1\r\n"));
const QByteArray Rec2 = cp932(QStringLiteral(
    "\"二行の\r\nメモ\",\"8454143\",\"ＭＳ Ｐゴシック\",\"14.25\",2000,4000,3600,2000,255,2\r\n"));
const QByteArray Rec3 =
    cp932(QStringLiteral("\"a, b\",\"16777215\",\"Arial\",9,2500,5000,3000,1500,0,3\r\n"));
const QByteArray Rec4 = cp932(
    QStringLiteral("\"後から\",\"12632256\",\"ＭＳ Ｐゴシック\",12,100,200,3600,2000,0,4\r\n"));

} // namespace

class tst_Form4 : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testsupport::ProgramFolder> m_dir;
    QList<Message> m_messages;
    QList<MessageAnswer> m_answers; // answers given in turn; Ok/No when run out

    QString dataPath() const { return m_dir->filePath(QStringLiteral("MDATA.INI")); }
    void writeData(const QByteArray &bytes) { testsupport::writeBytes(dataPath(), bytes); }
    QByteArray readData() const { return testsupport::readBytes(dataPath()); }
    QByteArray readErased() const { return m_dir->read(QStringLiteral("ERASED.INI")); }
    // The controls that Tab visits, from the first one, once round.
    static QList<QWidget *> tabChain(QWidget *window)
    {
        QList<QWidget *> chain;
        for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
            if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->window() == window &&
                w->focusProxy() == nullptr && !chain.contains(w))
                chain.append(w);
        }
        return chain;
    }
    static void choose(master::Form4 *dialog, std::initializer_list<int> lines)
    {
        for (int line : lines)
            dialog->List1->item(line)->setSelected(true);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<testsupport::ProgramFolder>();
        QVERIFY(m_dir->isValid());
        platform::setProgramFolderForTesting(m_dir->path() + QLatin1Char('/'));
        platform::setTwipsPerPixelForTesting(15);
        m_messages.clear();
        m_answers.clear();
        platform::setMessageHookForTesting([this](const Message &message) {
            m_messages.append(message);
            if (!m_answers.isEmpty())
                return m_answers.takeFirst();
            return message.buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
        });
    }
    void cleanup()
    {
        platform::setMessageHookForTesting({});
        platform::setProgramFolderForTesting(QString());
        platform::setTwipsPerPixelForTesting(0);
        m_dir.reset();
    }

    // Several notes can be chosen; the dialog goes when closed; the wrapped caption shows whole;
    // Tab visits the list, erase and cancel.
    void choosesManyAndTabsThroughListEraseCancel()
    {
        writeData(Rec1);
        QPointer<master::Form4> dialog = new master::Form4(nullptr);
        QCOMPARE(dialog->testAttribute(Qt::WA_DeleteOnClose), true);

        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("List1"));
        auto *label = dialog->findChild<QLabel *>(QStringLiteral("Label1"));
        auto *erase = dialog->findChild<QPushButton *>(QStringLiteral("Command1"));
        auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("Command2"));
        QVERIFY(list && label && erase && cancel);
        QCOMPARE(list->selectionMode(), QAbstractItemView::MultiSelection);
        QVERIFY(label->wordWrap());
        QVERIFY(label->heightForWidth(label->width()) <= label->height());
        QCOMPARE(testsupport::controlsCutOff(dialog), QStringList());
        QCOMPARE(testsupport::controlsWithoutName(dialog), QStringList());

        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        QCOMPARE(tabChain(dialog), (QList<QWidget *>{list, erase, cancel}));
        delete dialog;
    }

    void listShowsEveryRecordOnOneLine()
    {
        writeData(Rec1 + Rec2 + Rec3);
        auto *dialog = new master::Form4(nullptr);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dialog->EraseCount, 3);
        QCOMPARE(dialog->List1->count(), 3);
        QCOMPARE(dialog->List1->item(0)->text(), QStringLiteral("買い物"));
        QCOMPARE(dialog->List1->item(1)->text(), QStringLiteral("二行の メモ"));
        QCOMPARE(dialog->List1->item(2)->text(), QStringLiteral("a, b"));
        QVERIFY(dialog->List1->selectedItems().isEmpty());
        delete dialog;
    }

    void nothingChosenErasesNothing()
    {
        writeData(Rec1 + Rec2);
        auto *dialog = new master::Form4(nullptr);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("消去するデータはありません。"));
        QCOMPARE(m_messages[0].title, QStringLiteral("確認メッセージ"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(m_messages[0].buttons, MessageButtons::Ok);
        QCOMPARE(readData(), Rec1 + Rec2);
        delete dialog;
    }

    void emptyFileListsNothing()
    {
        writeData(QByteArray());
        auto *dialog = new master::Form4(nullptr);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dialog->List1->count(), 0);
        dialog->Command1_Click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("消去するデータはありません。"));
        delete dialog;
    }

    void answeringNoChangesNothing()
    {
        writeData(Rec1 + Rec2 + Rec3);
        auto *dialog = new master::Form4(nullptr);
        choose(dialog, {0, 1, 2});
        m_answers = {MessageAnswer::No};
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text,
                 QStringLiteral("これら3個の付箋を消去します。\nよろしいですか？"));
        QCOMPARE(m_messages[0].title, QStringLiteral("消去確認"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Question);
        QCOMPARE(m_messages[0].buttons, MessageButtons::YesNo);
        QCOMPARE(readData(), Rec1 + Rec2 + Rec3);
        QCOMPARE(dialog->List1->count(), 3);
        QCOMPARE(dialog->List1->selectedItems().size(), 3);
        delete dialog;
    }

    void erasingTheSecondKeepsTheOthersByteForByte()
    {
        writeData(Rec1 + Rec2 + Rec3);
        auto *dialog = new master::Form4(nullptr);
        choose(dialog, {1});
        m_answers = {MessageAnswer::Yes};
        dialog->Command1_Click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text,
                 QStringLiteral("これら1個の付箋を消去します。\nよろしいですか？"));
        QCOMPARE(readData(), Rec1 + Rec3);
        QCOMPARE(readErased(), Rec2);
        // The list is refilled from the file, nothing chosen.
        QCOMPARE(dialog->EraseCount, 2);
        QCOMPARE(dialog->List1->count(), 2);
        QCOMPARE(dialog->List1->item(1)->text(), QStringLiteral("a, b"));
        QVERIFY(dialog->List1->selectedItems().isEmpty());
        delete dialog;
    }

    // While the erase waits for the files, the button is off; closing the dialog drops the erase
    // before anything is written, and no handler runs on the dialog that is gone.
    void closingTheDialogDuringItsWaitErasesNothing()
    {
        const QByteArray before = Rec1 + Rec2 + Rec3;
        writeData(before);
        QPointer<master::Form4> dialog = new master::Form4(nullptr);
        QSignalSpy erased(dialog.data(), &master::Form4::erased);
        choose(dialog, {1});
        m_answers = {MessageAnswer::Yes};
        testsupport::HeldLock other(m_dir->path());
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QVERIFY(!dialog->Command1->isEnabled());
        QTest::qWait(100);
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        other.release();
        QTest::qWait(300);
        QCOMPARE(readData(), before);
        QCOMPARE(erased.count(), 0);
        QCOMPARE(m_messages.size(), 1); // the confirmation only
    }

    void eraseThatCannotBeKeptErasesNothing()
    {
        writeData(Rec1 + Rec2);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("ERASED.INI")));
        auto *dialog = new master::Form4(nullptr);
        choose(dialog, {0});
        m_answers = {MessageAnswer::Yes};
        dialog->Command1_Click();
        QCOMPARE(readData(), Rec1 + Rec2);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].icon, MessageIcon::Critical);
        QVERIFY2(m_messages[1].text.contains(QStringLiteral("ERASED.INI")) &&
                     m_messages[1].text.contains(QStringLiteral("何も消去していません")),
                 qPrintable(m_messages[1].text));
        QCOMPARE(dialog->List1->count(), 2);
        delete dialog;
    }

    // Newest first; the one whose number is taken again comes back with a new one.
    void putBackListsNewestFirstAndRenumbersOnlyATakenNumber()
    {
        m_dir->write(QStringLiteral("ERASED.INI"), Rec1 + Rec2 + Rec3);
        QByteArray taken = Rec4;
        taken.replace(",0,4\r\n", ",0,1\r\n");
        writeData(taken);
        auto *dialog = new master::Form6(nullptr);
        QSignalSpy putBack(dialog, &master::Form6::putBack);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("消した付箋を戻す"));
        QCOMPARE(dialog->List1->selectionMode(), QAbstractItemView::MultiSelection);
        QCOMPARE(testsupport::controlsCutOff(dialog), QStringList());
        QStringList lines;
        for (int i = 0; i < dialog->List1->count(); ++i)
            lines << dialog->List1->item(i)->text();
        QCOMPARE(lines, (QStringList{"a, b", "二行の メモ", "買い物"}));

        dialog->Command1_Click();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("戻す付箋はありません。"));
        dialog->List1->item(0)->setSelected(true);
        dialog->List1->item(2)->setSelected(true);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QByteArray renumbered = Rec1;
        renumbered.replace(",0,1\r\n", ",0,2\r\n");
        QCOMPARE(readData(), taken + renumbered + Rec3);
        QCOMPARE(readErased(), Rec2);
        QCOMPARE(putBack.count(), 1);
        QCOMPARE(dialog->List1->count(), 1);
        QCOMPARE(m_messages.size(), 1);
        delete dialog;
    }

    void putBackListsTheReadableAndNamesTheOthers()
    {
        m_dir->write(QStringLiteral("ERASED.INI"), Rec1 + "\"x\",1\r\n" + Rec3);
        auto *dialog = new master::Form6(nullptr);
        QCOMPARE(dialog->List1->count(), 2);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(
            m_messages[0].text.contains(QStringLiteral("ERASED.INI の 1 行を読めません（2 行目）")),
            qPrintable(m_messages[0].text));
        delete dialog;
    }

    void putBackMakesTheLoadedEditorChooseItsNumberAgain()
    {
        writeData(QByteArray());
        master::Form1 main;
        main.editor()->NewNoteId = 3;
        main.editor()->SMENU->findChild<QAction *>(QStringLiteral("FMODOSU"))->trigger();
        QPointer<master::Form6> dialog = testsupport::openedDialog<master::Form6>();
        QVERIFY(dialog);
        emit dialog->putBack();
        QCOMPARE(main.editor()->NewNoteId, 0);
        delete dialog;
    }

    void closingThePutBackDuringItsWaitPutsNothingBack()
    {
        m_dir->write(QStringLiteral("ERASED.INI"), Rec1);
        QPointer<master::Form6> dialog = new master::Form6(nullptr);
        dialog->List1->item(0)->setSelected(true);
        testsupport::HeldLock other(m_dir->path());
        dialog->Command1_Click();
        QVERIFY(!dialog->Command1->isEnabled());
        dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!dialog);
        other.release();
        QTest::qWait(300);
        QCOMPARE(readErased(), Rec1);
        QVERIFY(!QFile::exists(dataPath()));
        QVERIFY(m_messages.isEmpty());
    }

    void erasingEveryRecordLeavesAnEmptyFile()
    {
        writeData(Rec1 + Rec2 + Rec3);
        auto *dialog = new master::Form4(nullptr);
        choose(dialog, {0, 1, 2});
        m_answers = {MessageAnswer::Yes};
        dialog->Command1_Click();
        QCOMPARE(m_messages.size(), 1); // no message about the now empty file
        QVERIFY(QFile::exists(dataPath()));
        QCOMPARE(readData(), QByteArray());
        QCOMPARE(dialog->List1->count(), 0);
        QCOMPARE(dialog->EraseCount, 0);
        delete dialog;
    }

    void rewriteKeepsWhatChangedSinceTheListWasFilled()
    {
        writeData(Rec1 + Rec2 + Rec3);
        auto *dialog = new master::Form4(nullptr);
        // Meanwhile note 1's window closed at a new place and a note was created from the tray.
        QByteArray moved1 = Rec1;
        moved1.replace(",1500,3000,", ",4500,6000,");
        writeData(moved1 + Rec2 + Rec3 + Rec4);
        choose(dialog, {1});
        m_answers = {MessageAnswer::Yes};
        dialog->Command1_Click();
        QCOMPARE(readData(), moved1 + Rec3 + Rec4);
        QCOMPARE(dialog->List1->count(), 3);
        delete dialog;
    }

    void chosenNoteIsErasedAfterItsWindowMovedIt()
    {
        writeData(Rec1 + Rec2 + Rec3);
        auto *dialog = new master::Form4(nullptr);
        QByteArray moved2 = Rec2;
        moved2.replace(",2000,4000,", ",30,45,");
        writeData(Rec1 + moved2 + Rec3);
        choose(dialog, {1});
        m_answers = {MessageAnswer::Yes};
        dialog->Command1_Click();
        QCOMPARE(readData(), Rec1 + Rec3);
        delete dialog;
    }

    void duplicateNotesLoseOnlyTheChosenOne()
    {
        // Two identical records except their places: erasing the second keeps the first's place.
        QByteArray twin = Rec1;
        twin.replace(",1500,3000,", ",9000,9000,");
        writeData(Rec1 + twin + Rec3);
        auto *dialog = new master::Form4(nullptr);
        choose(dialog, {1});
        m_answers = {MessageAnswer::Yes};
        dialog->Command1_Click();
        QCOMPARE(readData(), Rec1 + Rec3);
        delete dialog;
    }

    void malformedFileIsNeverRewritten()
    {
        const QByteArray cut = Rec1 + Rec2 + "\"cut short\",\"0\",\"Arial\",12,1";
        writeData(cut);
        auto *dialog = new master::Form4(nullptr);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].text.contains(QStringLiteral("MDATA.INI")));
        QCOMPARE(m_messages[0].icon, MessageIcon::Critical);
        QCOMPARE(m_messages[0].buttons, MessageButtons::Ok);
        QCOMPARE(dialog->List1->count(), 0);
        QCOMPARE(dialog->EraseCount, 0);
        dialog->Command1_Click();
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].text, QStringLiteral("消去するデータはありません。"));
        QCOMPARE(readData(), cut);
        delete dialog;
    }

    void fileBrokenBeforeTheRewriteIsKept()
    {
        writeData(Rec1 + Rec2 + Rec3);
        auto *dialog = new master::Form4(nullptr);
        const QByteArray broken = Rec1 + Rec2 + "\"x\",\"0\",\"Arial\",notanumber,1,2,3,4,0,5\r\n";
        writeData(broken);
        choose(dialog, {0});
        m_answers = {MessageAnswer::Yes};
        dialog->Command1_Click();
        QCOMPARE(readData(), broken);
        QVERIFY(m_messages.size() >= 2);
        QCOMPARE(m_messages.last().icon, MessageIcon::Critical);
        QCOMPARE(dialog->List1->count(), 0);
        delete dialog;
    }

    void missingFileSaysSoAndCreatesNothing()
    {
        auto *dialog = new master::Form4(nullptr);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].text.contains(QStringLiteral("MDATA.INI")));
        QCOMPARE(dialog->List1->count(), 0);
        QVERIFY(!QFile::exists(dataPath()));
        delete dialog;
    }

    void cancelReturnsToTheMainWindowInMainMode_data()
    {
        QTest::addColumn<bool>("putBack");
        QTest::newRow("erase") << false;
        QTest::newRow("put back, from the tray menu") << true;
    }
    void cancelReturnsToTheMainWindowInMainMode()
    {
        QFETCH(bool, putBack);
        writeData(Rec1);
        master::Form1 main;
        main.show();
        main.moveTo(1500, 1500);
        QPointer<master::Form> dialog;
        QPushButton *cancel = nullptr;
        if (putBack) {
            main.editor()->SMENU->findChild<QAction *>(QStringLiteral("FMODOSU"))->trigger();
            if (auto *form = testsupport::openedDialog<master::Form6>())
                dialog = form, cancel = form->Command2;
        } else {
            main.syoukyo_Click();
            if (auto *form = testsupport::openedDialog<master::Form4>())
                dialog = form, cancel = form->Command2;
        }
        QVERIFY(dialog && dialog->isVisible() && !main.isVisible());
        dialog->moveTo(3000, 4500);
        const double top = dialog->Top(), left = dialog->Left();
        QTest::mouseClick(cancel, Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull()); // unloaded
        QVERIFY(main.isVisible());
        QCOMPARE(main.Top(), top);
        QCOMPARE(main.Left(), left);
    }

    void cancelInTrayModeLeavesTheMainWindowHidden()
    {
        writeData(Rec1);
        master::Form1 main;
        main.MainMode = 0;
        main.syoukyo_Click();
        QPointer<master::Form4> dialog = testsupport::openedDialog<master::Form4>();
        QVERIFY(dialog);
        dialog->Command2_Click();
        QTRY_VERIFY(dialog.isNull());
        QVERIFY(!main.isVisible());
        QCOMPARE(main.MainMode, 0);
    }
};

QTEST_MAIN(tst_Form4)
#include "tst_Form4.moc"

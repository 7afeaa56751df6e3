// The master and a notes folder that other programs change (a sync engine bringing another
// computer's notes), against the stand-in note window: changes taken in while notes are shown,
// the master's own writes passed by, a file that cannot be read said once, and the switch to
// another data folder.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/EditRequest.h"
#include "master/FolderWatch.h"
#include "master/Form1.h"
#include "master/Form2.h"

#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "store/DataFolder.h"
#include "store/Files.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <csignal>
#include <memory>

using master::DesktopCommand;
using master::Form1;
using testsupport::noteLine;

class tst_SyncedDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::startedProgramsSkipLeakCheck(); }
    void init()
    {
        // A chosen folder of this test's own: the other tests run beside it.
        m_xdg = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_xdg->filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_STATE_HOME", m_xdg->filePath(QStringLiteral("state")).toLocal8Bit());
        m_dir = std::make_unique<testsupport::ProgramFolder>();
        m_appDir = m_dir->path() + QLatin1Char('/');
        QVERIFY(m_dir->addProgram(QStringLiteral(FAKE_MEMLET)));
        platform::setProgramFolderForTesting(m_appDir);
        master::FolderWatch::setRescanIntervalForTesting(300);
        m_messages.clear();
        platform::setMessageHookForTesting([this](const platform::Message &message) {
            m_messages.append(message.text);
            return m_answer;
        });
    }
    void cleanup()
    {
        for (const platform::LiveNoteWindow &window : platform::liveNoteWindows(m_appDir))
            ::kill(pid_t(window.pid), SIGKILL);
        platform::setMessageHookForTesting({});
        master::FolderWatch::setRescanIntervalForTesting(0);
        platform::setProgramFolderForTesting(QString());
        m_dir.reset();
        m_xdg.reset();
    }

    // With the notes shown: the master's own edit passes by; an erase from elsewhere closes the
    // note, whose window leaves MDATA.INI alone; an added note starts, a changed one starts
    // again, a moved one stays; conflict copies (of the notes and of their options) are merged,
    // said in one message, shown and moved away.
    void changesFromElsewhereOnTheDesktop()
    {
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2") + noteLine("3"));
        Form1 form;
        form.startWatching();
        showAll(form, 3);

        // An edit here: its window closes and starts again once, by the edit alone.
        form.editNote({QStringLiteral("3"), QRectF(1200, 600, 5430, 250)});
        QTRY_VERIFY(form.editor()->isVisible());
        form.editor()->Text1->setPlainText(QStringLiteral("mine"));
        form.editor()->Command1_Click();
        QTRY_COMPARE(steps().mid(3), (QStringList{"close 3", "start 3"}));
        const QByteArray mine = m_dir->read("MDATA.INI").mid(2 * noteLine("1").size());
        QVERIFY2(mine.startsWith("\"mine\""), mine.constData());
        settle(form);
        QCOMPARE(log().size(), 5);

        replace(m_appDir + "MDATA.INI", noteLine("1") + mine);
        const store::files::Identity written = store::files::identityOf(m_appDir + "MDATA.INI");
        QTRY_VERIFY(log().contains(QStringLiteral("close 2 %{F10}")));
        settle(form);
        QCOMPARE(store::files::identityOf(m_appDir + "MDATA.INI"), written);

        replace(m_appDir + "MDATA.INI",
                noteLine("1", "t", "900,3000") + noteLine("3", "changed") + noteLine("9"));
        QTRY_COMPARE(sorted(steps().mid(6)), (QStringList{"close 3", "start 3", "start 9"}));

        const QString options = m_appDir + "pinboa-notes.sync-conflict-20240131-235959-ABCDEF2.ini";
        replace(options, "[7]\nworkspace=2\n");
        replace(m_appDir + "MDATA.sync-conflict-20240131-235959-ABCDEF2.INI",
                noteLine("1") + noteLine("7", "theirs"));
        QTRY_COMPARE(steps().mid(9), QStringList{"start 7"});
        settle(form);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(QStringLiteral("付箋 1 件")), qPrintable(m_messages[0]));
        QVERIFY(!QFile::exists(m_appDir + "MDATA.sync-conflict-20240131-235959-ABCDEF2.INI"));
        QVERIFY(!QFile::exists(options));
        QVERIFY(m_dir->read("pinboa-notes.ini").contains("[7]"));
        QVERIFY(m_dir->read("MDATA.INI").endsWith(noteLine("7", "theirs")));
        QCOMPARE(steps().size(), 10);
    }

    // A file that cannot be read whole is said once for each state of it, at the change and not
    // at every rescan, and taken in once it reads whole again.
    void unreadableFileIsSaidOnce()
    {
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2"));
        Form1 form;
        form.startWatching();
        showAll(form, 2);

        replace(m_appDir + "MDATA.INI", noteLine("1") + "\"half");
        QTRY_COMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages[0].contains(QStringLiteral("MDATA.INI")), qPrintable(m_messages[0]));
        m_dir->write("unrelated.txt", "x"); // a change of the folder, not of the file
        QTest::qWait(4 * master::FolderWatch::rescanIntervalMs());
        QCOMPARE(m_messages.size(), 1);
        replace(m_appDir + "MDATA.INI", noteLine("1") + "\"half, longer");
        QTRY_COMPARE(m_messages.size(), 2);

        replace(m_appDir + "MDATA.INI", noteLine("1") + noteLine("2") + noteLine("3"));
        QTRY_COMPARE(steps().mid(2), QStringList{"start 3"});
        settle(form);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_dir->read("MDATA.INI"), noteLine("1") + noteLine("2") + noteLine("3"));

        // The user's 表示・再表示 while a change is taken in waits for it, and then runs.
        form.runCommand(DesktopCommand::Follow);
        QVERIFY(form.desktop().busy());
        form.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(log().size(), 9, 20000);
        QCOMPARE(sorted(steps().mid(3)),
                 (QStringList{"close 1", "close 2", "close 3", "start 1", "start 2", "start 3"}));
    }

    // Another data folder that holds notes: the user is asked, the notes shown close into the
    // old folder, the claim and the choice follow, and the new folder's notes show (with this
    // computer's when the answer is yes). The running state stays out of the new folder, whose
    // changes are watched from then on.
    void switchClosesSwitchesAndShows_data()
    {
        QTest::addColumn<bool>("bringIn");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void switchClosesSwitchesAndShows()
    {
        QFETCH(bool, bringIn);
        m_answer = bringIn ? platform::MessageAnswer::Yes : platform::MessageAnswer::No;
        const QByteArray mine = noteLine("1", "mine") + noteLine("2", "mine too");
        m_dir->write("MDATA.INI", mine);
        QTemporaryDir other;
        const QString otherDir = other.path() + QLatin1Char('/');
        const QByteArray theirs = noteLine("1", "theirs") + noteLine("5", "theirs too");
        testsupport::writeBytes(otherDir + "MDATA.INI", theirs);
        Form1 form;
        QStringList claims;
        form.startWatching([&claims](const QString &state) {
            claims.append(state);
            return true;
        });
        showAll(form, 2);

        form.chooseDataFolder(other.path());
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(QStringLiteral("すでに付箋があります")));
        const int shownThere = bringIn ? 4 : 2;
        QTRY_COMPARE_WITH_TIMEOUT(log().size(), 4 + shownThere, 20000);
        QCOMPARE(sorted(steps().mid(2, 2)), (QStringList{"close 1", "close 2"}));
        QCOMPARE(store::chosenDataFolder(), otherDir);
        const QString state = store::stateFolderFor(otherDir);
        QCOMPARE(claims, QStringList{state});

        QCOMPARE(m_dir->read("MDATA.INI"), mine);
        const QByteArray there = testsupport::readBytes(otherDir + "MDATA.INI");
        if (bringIn)
            QVERIFY(there.startsWith(theirs) && there.contains("\"mine\"") &&
                    there.contains("\"mine too\""));
        else
            QCOMPARE(there, theirs);
        QTRY_COMPARE(QString::fromLatin1(testsupport::readBytes(state + "IDDATA.INI")).count(u'\n'),
                     shownThere);
        QVERIFY(!QFile::exists(otherDir + "IDDATA.INI"));

        settle(form);
        replace(otherDir + "MDATA.INI", there + noteLine("8"));
        QTRY_COMPARE(steps().mid(4 + shownThere), QStringList{"start 8"});
    }

private:
    // Shows every note and waits until `count` windows started and the master is idle.
    void showAll(Form1 &form, int count)
    {
        form.runCommand(DesktopCommand::Show);
        QTRY_COMPARE_WITH_TIMEOUT(log().size(), count, 20000);
        QTRY_VERIFY(!form.desktop().busy() && !form.desktop().registering());
    }
    // The watch has looked at what changed, and the master is idle again.
    static void settle(const Form1 &form)
    {
        QTest::qWait(3 * master::FolderWatch::rescanIntervalMs());
        QTRY_VERIFY(!form.desktop().busy() && !form.desktop().registering());
    }
    // As a sync engine writes a file: a whole new file renamed over the old one.
    static void replace(const QString &path, const QByteArray &bytes)
    {
        QSaveFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        QVERIFY(file.commit());
    }
    static QStringList sorted(QStringList list)
    {
        list.sort();
        return list;
    }
    QStringList log() const
    {
        return QString::fromUtf8(m_dir->read("fake.log"))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // "start 3", "close 3 %{F10}" as "start 3", "close 3".
    QStringList steps() const
    {
        QStringList steps;
        for (const QString &line : log())
            steps.append(line.section(QLatin1Char(' '), 0, 1));
        return steps;
    }

    std::unique_ptr<QTemporaryDir> m_xdg;
    std::unique_ptr<testsupport::ProgramFolder> m_dir;
    QString m_appDir;
    QStringList m_messages;
    platform::MessageAnswer m_answer = platform::MessageAnswer::Ok;
};

QTEST_MAIN(tst_SyncedDesktop)
#include "tst_SyncedDesktop.moc"

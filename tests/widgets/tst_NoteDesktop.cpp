// Showing all notes and closing them, against a temporary program folder whose note window is a
// stand-in that registers and answers the close request like the real one.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "master/Form1.h"
#include "master/NoteDesktop.h"

#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "store/NoteArgs.h"
#include "store/NoteStore.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <unistd.h>

using master::NoteDesktop;
using store::RunningEntry;
using store::Value;
using testsupport::note;
using testsupport::noteLine;

namespace {

// A process id that is certainly no note window: a process that has ended.
qint64 endedPid()
{
    QProcess process;
    process.start(QStringLiteral("true"), {});
    process.waitForFinished();
    const qint64 pid = process.processId();
    return pid > 0 ? pid : 999999;
}

} // namespace

class tst_NoteDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::startedProgramsSkipLeakCheck(); }
    void init()
    {
        m_dir = std::make_unique<testsupport::ProgramFolder>();
        QVERIFY(m_dir->isValid());
        m_appDir = m_dir->path() + QLatin1Char('/');
        QVERIFY(m_dir->addProgram(QStringLiteral(FAKE_MEMLET)));
        platform::setProgramFolderForTesting(m_appDir);
        qunsetenv("FAKE_MEMLET_DIE");
        qunsetenv("FAKE_MEMLET_DELAY_MS");
        qunsetenv("FAKE_MEMLET_EXIT_DELAY_MS");
        qunsetenv("FAKE_MEMLET_STUCK");
    }
    void cleanup()
    {
        for (const platform::LiveNoteWindow &window : platform::liveNoteWindows(m_appDir))
            ::kill(pid_t(window.pid), SIGKILL);
        platform::setProgramFolderForTesting(QString());
        m_dir.reset();
    }

    // Three notes and no running entry: three windows, each entry carrying its window's pid.
    void showsEveryNoteAndRecordsItsTaskId()
    {
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("12") + noteLine("3"));
        NoteDesktop desktop;
        QString error;
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        QCOMPARE(desktop.NoteLineCount(), 4);
        QCOMPARE(desktop.NoteTable().size(), 4);

        const QList<RunningEntry> entries = running();
        QCOMPARE(entries.size(), 3);
        for (int row = 1; row <= 3; ++row) {
            const qint64 pid = desktop.NoteTable()[row].NoteTaskId;
            QVERIFY(platform::isLiveNoteWindow(m_appDir, pid));
            const QString id = desktop.NoteTable()[row].note.NoteId.toText();
            QCOMPARE(taskIdsOf(entries, id), QList<qint64>{pid});
        }
        for (const RunningEntry &entry : entries)
            QVERIFY(entry.RunningTaskId.isNumber());

        // Everything shown: nothing starts and the running file is not rewritten.
        const QByteArray before = m_dir->read("IDDATA.INI");
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        QCOMPARE(m_dir->read("IDDATA.INI"), before);
        QCOMPARE(starts().size(), 3);
        for (int row = 1; row <= 3; ++row)
            QCOMPARE(desktop.NoteTable()[row].NoteTaskId, 0);
    }

    // The identifier 12 is not the entry "012"; an entry far down the file still counts.
    void comparesIdsAsTextOverAllEntries()
    {
        NoteDesktop desktop;
        QString error;
        QVERIFY(created(desktop, note(Value::text(QStringLiteral("012")))) > 0);
        QVERIFY(created(desktop, note(Value::number(20))) > 0);
        QVERIFY(created(desktop, note(Value::number(21))) > 0);
        const qint64 pid7 = created(desktop, note(Value::number(7)));
        QVERIFY2(pid7 > 0, qPrintable(error));
        waitRegistered(desktop);
        QCOMPARE(running().size(), 4);
        QCOMPARE(taskIdsOf(running(), QStringLiteral("7")), QList<qint64>{pid7});

        m_dir->write("MDATA.INI", noteLine("12") + noteLine("7"));
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        QVERIFY(desktop.NoteTable()[1].NoteTaskId > 0);
        QCOMPARE(desktop.NoteTable()[2].NoteTaskId, 0);
        QCOMPARE(starts().count(QStringLiteral("7")), 1);
        const QList<RunningEntry> entries = running();
        QCOMPARE(entries.size(), 5);
        QCOMPARE(taskIdsOf(entries, QStringLiteral("12")),
                 QList<qint64>{desktop.NoteTable()[1].NoteTaskId});
        QCOMPARE(taskIdsOf(entries, QStringLiteral("7")), QList<qint64>{pid7});
    }

    // Entries of windows that are gone stop hiding their notes; only those are dropped.
    void dropsEntriesWithoutWindow()
    {
        NoteDesktop desktop;
        QString error;
        const qint64 pid3 = created(desktop, note(Value::number(3)));
        QVERIFY2(pid3 > 0, qPrintable(error));
        QVERIFY(created(desktop, note(Value::number(99))) > 0);
        waitRegistered(desktop);
        const qint64 dead = endedPid();
        QVERIFY(store::NoteStore(m_appDir, store::LockWait::Sleep)
                    .updateRunningEntries([&](QList<RunningEntry> &entries) {
                        entries = {entry("1", Value::number(dead)), entry("2", Value::text("0")),
                                   entry("3", Value::number(pid3)),
                                   entry("4", Value::number(QCoreApplication::applicationPid())),
                                   entry("99", Value::text("0"))};
                        return true;
                    })
                    .ok());
        // A window that is still starting has no entry yet and must not get a twin.
        qputenv("FAKE_MEMLET_DELAY_MS", "2500");
        const QString args5 = store::EncodeNoteArgs(note(Value::number(5))).value();
        QVERIFY(platform::startNoteWindow(m_appDir, args5).ok());
        qunsetenv("FAKE_MEMLET_DELAY_MS");

        m_dir->write("MDATA.INI",
                     noteLine("1") + noteLine("2") + noteLine("3") + noteLine("4") + noteLine("5"));
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        const QList<RunningEntry> entries = running();
        QCOMPARE(taskIdsOf(entries, "3"), QList<qint64>{pid3});
        QCOMPARE(taskIdsOf(entries, "99"), QList<qint64>{0});
        QVERIFY(entries[1].RunningTaskId.isText()); // "99","0" is written back as it was
        for (const char *id : {"1", "2", "4"}) {
            const qint64 pid = desktop.NoteTable()[QByteArray(id).toInt()].NoteTaskId;
            QVERIFY(pid > 0);
            QCOMPARE(taskIdsOf(entries, id), QList<qint64>{pid});
        }
        QCOMPARE(desktop.NoteTable()[5].NoteTaskId, 0);
        QCOMPARE(starts().count(QStringLiteral("5")), 1);
    }

    // The refresh: windows that have written back but not yet ended do not keep their notes
    // from being shown again.
    void refreshShowsEveryClosedNoteAgain()
    {
        qputenv("FAKE_MEMLET_EXIT_DELAY_MS", "1500");
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2") + noteLine("3"));
        NoteDesktop desktop;
        QString error;
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        QList<qint64> old;
        for (int row = 1; row <= 3; ++row)
            old.append(desktop.NoteTable()[row].NoteTaskId);

        QCOMPARE(run(desktop, &NoteDesktop::UL), QString());
        QVERIFY(platform::isLiveNoteWindow(m_appDir, old[0])); // still ending
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        const QList<RunningEntry> entries = running();
        QCOMPARE(entries.size(), 3);
        for (int row = 1; row <= 3; ++row) {
            const qint64 pid = desktop.NoteTable()[row].NoteTaskId;
            QVERIFY(pid > 0 && !old.contains(pid));
            QCOMPARE(taskIdsOf(entries, QString::number(row)), QList<qint64>{pid});
        }
        QCOMPARE(starts().size(), 6);
    }

    // A window that does not answer the close in time still shows its note: the refresh that
    // follows leaves it alone instead of showing the note a second time.
    void windowThatDoesNotAnswerKeepsItsNote()
    {
        qputenv("FAKE_MEMLET_STUCK", "2");
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2"));
        NoteDesktop desktop;
        QString error;
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        const qint64 stuck = desktop.NoteTable()[2].NoteTaskId;

        QCOMPARE(run(desktop, &NoteDesktop::UL), QString());
        QVERIFY(platform::isLiveNoteWindow(m_appDir, stuck));
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        QCOMPARE(starts().count(QStringLiteral("2")), 1);
        QCOMPARE(starts().count(QStringLiteral("1")), 2);
        QCOMPARE(taskIdsOf(running(), QStringLiteral("2")), QList<qint64>{stuck});
    }

    // Show-all tidies the notes' options: the entries of notes that are gone go; a damaged file
    // is set aside, said once, and the notes show all the same.
    void showAllTidiesTheOptions()
    {
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2"));
        m_dir->write("pinboa-notes.ini", "[1]\nabove=true\n[5]\nabove=true\n");
        NoteDesktop desktop;
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        const QByteArray kept = m_dir->read("pinboa-notes.ini");
        QVERIFY2(kept.contains("\n[1]\nabove=true\n") && !kept.contains("[5]"), kept.constData());

        QVERIFY(run(desktop, &NoteDesktop::UL).isEmpty());
        m_dir->write("pinboa-notes.ini", "[1]\nabove=maybe\n");
        const QString message = run(desktop, &NoteDesktop::HYOUZI);
        QVERIFY2(message.contains(QStringLiteral("pinboa-notes.ini")), qPrintable(message));
        QVERIFY(!QFile::exists(m_appDir + QStringLiteral("pinboa-notes.ini")));
        QCOMPARE(QDir(m_appDir).entryList({QStringLiteral("pinboa-notes.ini.*.bad")}).size(), 1);
        // A show ends when the windows are started; each says so once it runs.
        QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 4, 20000);
    }

    // Files another program holds for good: the refresh waits once, at most its deadline, and
    // says so in one paragraph; nothing starts and nothing is written.
    void heldFilesAreWaitedForOnce()
    {
        m_dir->write("MDATA.INI", noteLine("1"));
        testsupport::HeldLock other(m_dir->path());
        NoteDesktop desktop;
        QElapsedTimer timer;
        timer.start();
        const QString message = run(desktop, &NoteDesktop::refresh);
        QVERIFY2(timer.elapsed() < 2 * store::FolderLock::TimeoutMs, qPrintable(message));
        QCOMPARE(message.count(store::FolderLock::lockFileName()), 1);
        QCOMPARE(message.count(QStringLiteral("\n\n")), 0);
        QVERIFY(starts().isEmpty());
        QVERIFY(!QFile::exists(m_appDir + QStringLiteral("IDDATA.INI")));
    }

    // A note file with nothing readable, or a note window program that cannot start: a message,
    // no window, and the notes as they were. Entries of windows that are gone are dropped once
    // the notes have been read.
    void failuresChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("mdata");
        QTest::addColumn<bool>("withProgram");
        QTest::addColumn<QByteArray>("iddataAfter");
        const QByteArray good = noteLine("1") + noteLine("2");
        QTest::newRow("malformed MDATA.INI")
            << QByteArray("\"a\",\"12632256\",\"Sans\",12,600,x,3000,900,0,1\r\n") << true
            << QByteArray();
        QTest::newRow("record cut short") << QByteArray("\"b\",\"1\"") << true << QByteArray();
        QTest::newRow("no note window program") << good << false << QByteArray("<dead>");
    }
    void failuresChangeNothing()
    {
        QFETCH(QByteArray, mdata);
        QFETCH(bool, withProgram);
        QFETCH(QByteArray, iddataAfter);
        const QByteArray iddata = QStringLiteral("\"1\",%1\r\n").arg(endedPid()).toLatin1();
        if (iddataAfter == "<dead>")
            iddataAfter = iddata;
        if (!withProgram)
            QVERIFY(QFile::remove(m_appDir + QStringLiteral("memlet")));
        m_dir->write("MDATA.INI", mdata);
        m_dir->write("IDDATA.INI", iddata);
        NoteDesktop desktop;
        QVERIFY(!run(desktop, &NoteDesktop::HYOUZI).isEmpty());
        QCOMPARE(m_dir->read("MDATA.INI"), mdata);
        QCOMPARE(m_dir->read("IDDATA.INI"), iddataAfter);
        QVERIFY(starts().isEmpty());
        QVERIFY(platform::liveNoteWindows(m_appDir).isEmpty());
    }

    // A note that cannot go to its window (its text is too long for one argument) and a record
    // that cannot be read are named at the end; the notes around them are shown, and their
    // entries are recorded. The identifier written "07" reaches the window as "7", and its entry
    // is recorded at once all the same.
    void oneNoteCannotStopTheOthers()
    {
        const QByteArray longText = QString(45000, QChar(u'長')).toUtf8();
        const QByteArray longNote =
            "\"" + longText + "\",\"1\",\"Sans\",12,600,900,3000,900,0,2\r\n";
        m_dir->write("MDATA.INI",
                     noteLine("1") + longNote + "\"x\",\"1\",\"Sans\",12,6,9x,30,90,0,5\r\n" +
                         QByteArray("\"n\",\"1\",\"Sans\",12,600,900,3000,900,0,07\r\n"));
        NoteDesktop desktop;
        QElapsedTimer timer;
        timer.start();
        QSignalSpy finished(&desktop, &NoteDesktop::finished);
        QVERIFY(desktop.refresh());
        QVERIFY(!desktop.refresh()); // one round of windows at a time
        QVERIFY(!desktop.HYOUZI());
        QVERIFY(finished.wait(20000));
        QVERIFY2(timer.elapsed() < 3000, "waited for an entry that was there");
        const QString message = finished.at(0).at(0).toString();
        QVERIFY2(message.contains(QStringLiteral("付箋番号 2")) &&
                     message.contains(QString::number(store::MaxNoteArgsBytes)) &&
                     message.contains(QStringLiteral("MDATA.INI の 3 行目")) &&
                     !message.contains(QStringLiteral("付箋番号 1")),
                 qPrintable(message));
        QStringList started = starts(); // started at once: they come up in any order
        started.sort();
        QCOMPARE(started, QStringList({QStringLiteral("1"), QStringLiteral("7")}));
        const QList<RunningEntry> entries = running();
        QCOMPARE(taskIdsOf(entries, "1"), QList<qint64>{desktop.NoteTable()[1].NoteTaskId});
        QCOMPARE(taskIdsOf(entries, "7"), QList<qint64>{desktop.NoteTable()[3].NoteTaskId});
    }

    // A window that dies before it registers is not waited for; the others are recorded.
    void startedWindowThatDies()
    {
        qputenv("FAKE_MEMLET_DIE", "2");
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2") + noteLine("3"));
        NoteDesktop desktop;
        QString error;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        QVERIFY2(timer.elapsed() < 4000, "waited for a window that had died");
        const QList<RunningEntry> entries = running();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(taskIdsOf(entries, "1"), QList<qint64>{desktop.NoteTable()[1].NoteTaskId});
        QCOMPARE(taskIdsOf(entries, "3"), QList<qint64>{desktop.NoteTable()[3].NoteTaskId});
    }

    // Every listed window is reached by its task identifier and closed in file order; entries
    // that reach nothing send nothing anywhere.
    void closesListedWindows()
    {
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2") + noteLine("3"));
        NoteDesktop desktop;
        QString error;
        QCOMPARE(run(desktop, &NoteDesktop::HYOUZI), QString());
        const qint64 pid10 = created(desktop, note(Value::number(10)));
        const qint64 pid9 = created(desktop, note(Value::number(9)));
        QVERIFY(pid10 > 0 && pid9 > 0);
        waitRegistered(desktop);
        const qint64 dead = endedPid();
        QVERIFY(store::NoteStore(m_appDir, store::LockWait::Sleep)
                    .updateRunningEntries([&](QList<RunningEntry> &entries) {
                        // Window 9 is not listed; window 10 lost its task identifier.
                        entries.removeIf([](const RunningEntry &e) {
                            return e.RunningId.toText() == "9" || e.RunningId.toText() == "10";
                        });
                        entries.prepend(entry("8", Value::text("0")));
                        entries.insert(2, entry("6", Value::number(dead)));
                        entries.append(entry("10", Value::text("0")));
                        // A stale entry whose number now belongs to the window of note 9.
                        entries.append(entry("5", Value::number(pid9)));
                        return true;
                    })
                    .ok());

        // In the order of the running file, which is the order in which the windows came up.
        QStringList expected;
        for (const RunningEntry &e : running()) {
            if (e.RunningId.toText() != "8" && e.RunningId.toText() != "6" &&
                e.RunningId.toText() != "5")
                expected.append(e.RunningId.toText() + QStringLiteral(" %{F10}"));
        }
        QCOMPARE(expected.size(), 4);
        QCOMPARE(expected.last(), QStringLiteral("10 %{F10}"));

        QCOMPARE(run(desktop, &NoteDesktop::UL), QString());
        QStringList closed;
        for (const QString &line : log()) {
            if (line.startsWith(QStringLiteral("close ")))
                closed.append(line.section(QLatin1Char(' '), 1));
        }
        QCOMPARE(closed, expected);
        for (int row = 1; row <= 3; ++row)
            QTRY_VERIFY(!platform::isLiveNoteWindow(m_appDir, desktop.NoteTable()[row].NoteTaskId));
        QTRY_VERIFY(!platform::isLiveNoteWindow(m_appDir, pid10));
        QVERIFY(platform::isLiveNoteWindow(m_appDir, pid9));
        const QList<RunningEntry> left = running();
        QCOMPARE(left.size(), 3);
        QCOMPARE(left[0].RunningId.toText(), QStringLiteral("8"));
        QCOMPARE(left[1].RunningId.toText(), QStringLiteral("6"));
        QCOMPARE(left[2].RunningId.toText(), QStringLiteral("5"));

        // A missing running file: UL returns and reaches nobody.
        QFile::remove(running_path());
        QCOMPARE(run(desktop, &NoteDesktop::UL), QString());
        QVERIFY(platform::isLiveNoteWindow(m_appDir, pid9));
        // One that cannot be read whole is set aside and rebuilt from the live windows, which
        // are then reached as if it had listed them; the user is told.
        const QByteArray broken = QStringLiteral("\"9\",%1\r\n\"x").arg(pid9).toLatin1();
        m_dir->write("IDDATA.INI", broken);
        const QString message = run(desktop, &NoteDesktop::UL);
        QVERIFY2(message.contains(QStringLiteral("IDDATA.INI")), qPrintable(message));
        QTRY_VERIFY(!platform::isLiveNoteWindow(m_appDir, pid9));
        QCOMPARE(running(), QList<RunningEntry>());
        const QStringList aside =
            QDir(m_appDir).entryList({QStringLiteral("IDDATA.INI.*.bad")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(m_dir->read(aside.first()), broken);
    }

    // Commands from other starts take turns with the show or close that runs: two toggles in
    // quick succession show every note, then close every one, never half of them; a third one
    // shows them all again.
    void commandsWaitForTheRunningShowOrClose()
    {
        m_dir->write("MDATA.INI", noteLine("1") + noteLine("2") + noteLine("3"));
        QStringList shown;
        platform::setMessageHookForTesting([&](const platform::Message &m) {
            shown.append(m.text);
            return platform::MessageAnswer::Ok;
        });
        master::Form1 form;
        for (int i = 0; i < 3; ++i)
            form.runCommand(master::DesktopCommand::Toggle);
        QTRY_VERIFY2_WITH_TIMEOUT(log().size() == 9, qPrintable(log().join(u'|')), 20000);
        QTRY_VERIFY(!form.desktop().busy());
        QStringList steps;
        for (const QString &line : log())
            steps.append(line.section(QLatin1Char(' '), 0, 0));
        QCOMPARE(steps, (QStringList{"start", "start", "start", "close", "close", "close", "start",
                                     "start", "start"}));
        QTRY_COMPARE(running().size(), 3);
        QCOMPARE(platform::liveNoteWindows(m_appDir).size(), 3);

        form.runCommand(master::DesktopCommand::Hide);
        form.runCommand(master::DesktopCommand::Hide); // nothing left to close
        QTRY_COMPARE(running().size(), 0);
        QTRY_VERIFY(!form.desktop().busy());
        QCOMPARE(log().size(), 12);
        platform::setMessageHookForTesting({});
        QCOMPARE(shown, QStringList());
    }

private:
    // Runs one of the desktop's operations to its end and gives its message for the user.
    static QString run(NoteDesktop &desktop, bool (NoteDesktop::*operation)())
    {
        QSignalSpy finished(&desktop, &NoteDesktop::finished);
        if (!(desktop.*operation)())
            return QStringLiteral("<did not start>");
        if (!finished.wait(60000))
            return QStringLiteral("<never ended>");
        return finished.at(0).at(0).toString();
    }
    // Waits until the windows that startNote started carry their task identifiers.
    static void waitRegistered(const NoteDesktop &desktop)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!desktop.registering(), 20000);
    }
    // A note registered as the editor does; its window's task identifier, or 0.
    static qint64 created(NoteDesktop &desktop, const store::NoteRecord &record)
    {
        QObject asker;
        std::optional<qint64> pid;
        if (!desktop.createNote(record, &asker, [&pid](const store::Result<qint64> &result) {
                pid = result ? result.value() : 0;
            }))
            return 0;
        for (int waited = 0; !pid && waited < 40000; waited += 10)
            QTest::qWait(10);
        return pid.value_or(0);
    }
    static RunningEntry entry(const char *id, const Value &taskId)
    {
        return RunningEntry{Value::text(QString::fromLatin1(id)), taskId};
    }
    QString running_path() const { return m_appDir + QStringLiteral("IDDATA.INI"); }
    QList<RunningEntry> running() const
    {
        const auto entries =
            store::NoteStore(m_appDir, store::LockWait::Sleep).readRunningEntries();
        return entries.ok() ? entries.value() : QList<RunningEntry>{};
    }
    static QList<qint64> taskIdsOf(const QList<RunningEntry> &entries, const QString &id)
    {
        QList<qint64> ids;
        for (const RunningEntry &e : entries) {
            if (e.RunningId.toText() == id)
                ids.append(qint64(e.RunningTaskId.toNumber().value_or(-1)));
        }
        return ids;
    }
    QStringList log() const
    {
        return QString::fromUtf8(m_dir->read("fake.log"))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // The identifiers of the windows started, in the order they came up.
    QStringList starts() const
    {
        QStringList ids;
        for (const QString &line : log()) {
            if (line.startsWith(QStringLiteral("start ")))
                ids.append(line.section(QLatin1Char(' '), 1, 1));
        }
        return ids;
    }

    std::unique_ptr<testsupport::ProgramFolder> m_dir;
    QString m_appDir;
};

QTEST_MAIN(tst_NoteDesktop)
#include "tst_NoteDesktop.moc"

// The folder lock across processes: concurrent writers lose nothing, killed writers break nothing.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/NoteHistory.h"
#include "store/NoteStore.h"
#include "store/Retry.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTimer>

using namespace store;

namespace {

const QString Worker = QStringLiteral(STORE_LOCK_WORKER);

// Note 1, whose top counts the rounds of every writer.
NoteRecord counterNote()
{
    return testsupport::noteAt(1, 0, 0);
}

QProcess *startWorker(QObject *parent, const QString &dir, int worker, int rounds)
{
    auto *process = new QProcess(parent);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(Worker, {dir, QString::number(worker), QString::number(rounds)});
    return process;
}

} // namespace

class tst_StoreLock : public QObject
{
    Q_OBJECT

private slots:
    void concurrentWritersLoseNothing();
    void killedWritersLeaveWholeFiles();
    void retryWaitsForTheLockAsAState();
    void fileSizeLimitFailsWritesWithTheirCause();
};

void tst_StoreLock::concurrentWritersLoseNothing()
{
    testsupport::ProgramFolder dir;
    QVERIFY(dir.isValid());
    const NoteStore store(dir.path());
    QVERIFY(store.appendNoteRecord(counterNote()));

    constexpr int Workers = 8;
    constexpr int Rounds = 10;
    QList<QProcess *> processes;
    for (int w = 0; w < Workers; ++w)
        processes.append(startWorker(this, dir.path(), w, Rounds));
    for (QProcess *process : processes) {
        QVERIFY(process->waitForFinished(60000));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
        delete process;
    }

    const auto records = store.readNoteRecords();
    QVERIFY2(records.ok(), qPrintable(records.error()));
    QSet<qint64> ids;
    double counter = -1;
    for (const NoteRecord &record : records.value()) {
        const qint64 id = qint64(*record.NoteId.toNumber());
        QVERIFY2(!ids.contains(id), "a record was written twice");
        ids.insert(id);
        if (id == 1)
            counter = *record.NoteTop.toNumber();
        // Closed windows (odd rounds) stored their worker and round as their position.
        if (id >= 100000 && id % 2 == 1) {
            QCOMPARE(*record.NoteTop.toNumber(), double((id - 100000) / 1000));
            QCOMPARE(*record.NoteLeft.toNumber(), double(id % 1000));
        }
    }
    QCOMPARE(counter, double(Workers * Rounds)); // every increment survived
    QSet<qint64> expected{1};
    for (int w = 0; w < Workers; ++w) {
        for (int i = 0; i < Rounds; ++i) {
            expected.insert(10000 + w * 1000 + i);
            expected.insert(100000 + w * 1000 + i);
        }
    }
    QCOMPARE(ids, expected);

    // Entries of even rounds stay, with their task id; odd ones were removed by their close.
    const auto entries = store.readRunningEntries();
    QVERIFY2(entries.ok(), qPrintable(entries.error()));
    QSet<QString> seen;
    for (const RunningEntry &entry : entries.value()) {
        const QString id = entry.RunningId.toText();
        const int round = id.toInt() % 1000;
        QVERIFY2(round % 2 == 0, qPrintable(id));
        QVERIFY(entry.RunningTaskId.isNumber());
        QCOMPARE(*entry.RunningTaskId.toNumber(), double(round + 1));
        seen.insert(id);
    }
    QCOMPARE(seen.size(), Workers * ((Rounds + 1) / 2));
    QCOMPARE(entries->size(), seen.size());
}

void tst_StoreLock::killedWritersLeaveWholeFiles()
{
    testsupport::ProgramFolder dir;
    QVERIFY(dir.isValid());
    const NoteStore store(dir.path());
    QVERIFY(store.appendNoteRecord(counterNote()));

    // The helper forks its writers (a fresh program would take longer to start than a write)
    // and checks both files after each of its kills.
    QProcess chaos;
    chaos.setProcessChannelMode(QProcess::ForwardedChannels);
    chaos.start(Worker, {dir.path(), QStringLiteral("chaos"), QStringLiteral("200")});
    QVERIFY(chaos.waitForFinished(120000));
    QCOMPARE(chaos.exitStatus(), QProcess::NormalExit);
    QCOMPARE(chaos.exitCode(), 0);

    const auto records = store.readNoteRecords();
    QVERIFY2(records.ok(), qPrintable(records.error()));
    QCOMPARE(*records->first().NoteId.toNumber(), 1.0);
    // Some writes went through between the kills, so the kills did cut real rewrites.
    QVERIFY2(*records->first().NoteTop.toNumber() > 0, "the writers never wrote");
    QVERIFY(store.readRunningEntries().ok());
    // Beside the data files, the lock and the record history, at most a rewrite's temporary file
    // that a kill cut off between its link and its rename (the data file itself is whole, checked
    // above).
    const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QVERIFY(files.contains(u"MDATA.INI"_qs));
    QVERIFY(files.contains(u"IDDATA.INI"_qs));
    const QRegularExpression leftover(u"^(MDATA|IDDATA)\\.INI\\.[A-Za-z0-9]{6}$"_qs);
    for (const QString &file : files) {
        QVERIFY2(file == u".pinboa.lock"_qs || file == u"MDATA.INI"_qs ||
                     file == u"IDDATA.INI"_qs || file == NoteHistory::fileName() ||
                     leftover.match(file).hasMatch(),
                 qPrintable(file));
    }
}

// A held lock makes an operation wait with the event loop running and nothing of it done; it
// completes once the lock is free, gives up once at its deadline, and a cancelled one never runs.
void tst_StoreLock::retryWaitsForTheLockAsAState()
{
    testsupport::ProgramFolder dir;
    testsupport::HeldLock other(dir.path());
    QVERIFY(other.held());
    const NoteStore store(dir.path());
    QObject owner;
    int attempts = 0, expired = 0;
    bool done = false;
    const auto attempt = [&] {
        ++attempts;
        const Status appended = store.appendRunningEntry(QStringLiteral("1"));
        if (appended.busy())
            return Retry::Busy;
        done = appended.ok();
        return Retry::Over;
    };
    QPointer<Retry> waiting = Retry::start(&owner, attempt, [&] { ++expired; });
    QVERIFY(waiting);
    bool otherEventsRan = false;
    QTimer::singleShot(100, [&] {
        otherEventsRan = true;
        QVERIFY(!done);
        QVERIFY(attempts > 1);
        QCOMPARE(dir.read(QStringLiteral("IDDATA.INI")), QByteArray("<missing>"));
        other.release();
    });
    QTRY_VERIFY(done);
    QVERIFY(otherEventsRan);
    QCOMPARE(expired, 0);
    QCOMPARE(dir.read(QStringLiteral("IDDATA.INI")), QByteArray("\"1\",\"0\"\r\n"));

    testsupport::HeldLock stuck(dir.path());
    attempts = 0;
    Retry::start(
        &owner, attempt, [&] { ++expired; }, 200);
    QTRY_COMPARE(expired, 1);
    const int triedUntilExpiry = attempts;
    QPointer<Retry> cancelled = Retry::start(
        &owner, attempt, [&] { ++expired; }, 200);
    cancelled->cancel();
    QTest::qWait(400);
    QCOMPARE(expired, 1);
    QCOMPARE(attempts, triedUntilExpiry + 1); // the first try only
    QVERIFY(!cancelled);
}

void tst_StoreLock::fileSizeLimitFailsWritesWithTheirCause()
{
    // With SIGXFSZ at its default the worker would die between a partial append and its
    // cut-back; as the programs set it, each write fails and says why.
    testsupport::ProgramFolder dir;
    QVERIFY(dir.isValid());
    const QByteArray notes = testsupport::noteLine("1") + testsupport::noteLine("2");
    const QByteArray entries = "\"1\",77\r\n\"2\",\"0\"\r\n";
    dir.write(u"MDATA.INI"_qs, notes);
    dir.write(u"IDDATA.INI"_qs, entries);
    QProcess worker;
    worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    worker.start(Worker, {dir.path(), QStringLiteral("filesize"), QStringLiteral("0")});
    QVERIFY(worker.waitForFinished(30000));
    const QString report = QString::fromUtf8(worker.readAllStandardOutput());
    QCOMPARE(worker.exitStatus(), QProcess::NormalExit);
    QVERIFY2(worker.exitCode() == 0, qPrintable(report));
    QCOMPARE(report.count(u"ファイルが大きすぎます"_qs), 3);
    QCOMPARE(dir.read(u"MDATA.INI"_qs), notes);
    QCOMPARE(dir.read(u"IDDATA.INI"_qs), entries);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({FolderLock::lockFileName(), u"IDDATA.INI"_qs, u"MDATA.INI"_qs}));
}

QTEST_GUILESS_MAIN(tst_StoreLock)
#include "tst_StoreLock.moc"

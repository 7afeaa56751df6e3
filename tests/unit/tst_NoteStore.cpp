// The store's operations on the two files of a temporary program folder.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/NoteStore.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace store;
using namespace testsupport;

class tst_NoteStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFilesReadEmpty();
    void appendsWholeRecords();
    void appendsAfterUnterminatedLastLine();
    void refusesUnstorableRecordWithoutWriting();
    void matchesFileNamesInAnyCase();
    void recordsTaskIdInEveryMatchingEntry();
    void closeRemovesEntriesAndStoresPosition();
    void closeComparesIdentifiersEachInItsWay();
    void closeWritesExactlyTheRecordsRead();
    void closeKeepsOtherBytes();
    void closeStoresPlacesInSinglePrecision();
    void closeWithoutRunningFileStoresThePosition();
    void closeWithoutNoteFileRemovesTheEntry();
    void closeLeavesMalformedNoteFile();
    void closeStoresPositionDespiteMalformedRunningFile();
    void neverRewritesMalformedFile_data();
    void neverRewritesMalformedFile();
    void showingReadsAroundDamagedRecords();
    void updateWritesOnlyWhenAsked();
    void replacesOneRecordInPlace();
    void heldLockFailsInTimeAndTouchesNothing();
    void setsAsideUnreadableRunningFile();
    void optionsReadWholeAndWrittenWhole();
    void damagedOptionsAreNeverRewritten_data();
    void damagedOptionsAreNeverRewritten();
    void optionsRemovedAndKeptByNoteNumber();
    void closeNotesTheWorkspaceOfRecordedNotesOnly();

private:
    QString mdata() const { return m_dir->filePath(u"MDATA.INI"_qs); }
    QString iddata() const { return m_dir->filePath(u"IDDATA.INI"_qs); }
    QString options() const { return m_dir->filePath(u"pinboa-notes.ini"_qs); }

    std::unique_ptr<ProgramFolder> m_dir;
    std::unique_ptr<NoteStore> m_store;
};

void tst_NoteStore::init()
{
    m_dir = std::make_unique<ProgramFolder>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<NoteStore>(m_dir->path());
}

void tst_NoteStore::missingFilesReadEmpty()
{
    QCOMPARE(m_store->appDir(), m_dir->path() + u"/"_qs);
    QCOMPARE(m_store->countNoteLines().value(), 0);
    QVERIFY(m_store->readNoteRecords().value().isEmpty());
    QVERIFY(m_store->readRunningEntries().value().isEmpty());
    QVERIFY(!QFile::exists(mdata()));
    QVERIFY(!QFile::exists(iddata()));
}

void tst_NoteStore::appendsWholeRecords()
{
    QVERIFY(m_store->appendNoteRecord(note(1, u"一行目\r\n二行目"_qs)));
    QVERIFY(m_store->appendNoteRecord(note(2, u"a, b"_qs)));
    QVERIFY(m_store->appendRunningEntry(u"05"_qs));

    const auto notes = m_store->readNoteRecords();
    QVERIFY2(notes.ok(), qPrintable(notes.error()));
    QCOMPARE(notes.value(),
             QList<NoteRecord>({note(1, u"一行目\r\n二行目"_qs), note(2, u"a, b"_qs)}));
    QCOMPARE(m_store->countNoteLines().value(), 3); // the line break inside the text counts
    QCOMPARE(readBytes(iddata()), QByteArray("\"05\",\"0\"\r\n"));
}

void tst_NoteStore::appendsAfterUnterminatedLastLine()
{
    writeBytes(mdata(), noteLine("1").chopped(2));
    writeBytes(iddata(), "\"1\",4711");
    QVERIFY(m_store->appendNoteRecord(note(2, u"x"_qs)));
    QVERIFY(m_store->appendRunningEntry(u"2"_qs));
    QCOMPARE(m_store->readNoteRecords().value().size(), 2);
    QCOMPARE(readBytes(iddata()), QByteArray("\"1\",4711\r\n\"2\",\"0\"\r\n"));
    QVERIFY(readBytes(mdata()).startsWith(noteLine("1") + "\"x\","));
}

void tst_NoteStore::refusesUnstorableRecordWithoutWriting()
{
    const Status missing = m_store->appendNoteRecord(note(1, u"say \"hi\""_qs));
    QVERIFY(!missing.ok());
    QVERIFY(!QFile::exists(mdata()));

    writeBytes(mdata(), noteLine("1"));
    NoteRecord emoji = note(2, u"寿司🍣"_qs);
    const Status refused = m_store->appendNoteRecord(emoji);
    QVERIFY(!refused.ok());
    QVERIFY2(refused.error().contains(u"🍣"_qs), qPrintable(refused.error()));
    QCOMPARE(readBytes(mdata()), noteLine("1"));

    // A rewrite that would hold such a text is refused as a whole.
    const Status update = m_store->updateNoteRecords([](QList<NoteRecord> &records) {
        records.append(note(3, u"100¥"_qs));
        return true;
    });
    QVERIFY(!update.ok());
    QCOMPARE(readBytes(mdata()), noteLine("1"));

    QVERIFY(!m_store->appendRunningEntry(u"5\""_qs).ok());
    QVERIFY(!QFile::exists(iddata()));
}

void tst_NoteStore::matchesFileNamesInAnyCase()
{
    const QString lowerNotes = m_dir->filePath(u"mdata.ini"_qs);
    const QString mixedRunning = m_dir->filePath(u"IDdata.INI"_qs);
    writeBytes(lowerNotes, noteLine("1") + noteLine("2"));
    writeBytes(mixedRunning, "\"1\",\"0\"\r\n\"2\",\"0\"\r\n");
    QCOMPARE(m_store->noteFilePath(), lowerNotes);
    QCOMPARE(m_store->runningFilePath(), mixedRunning);
    QCOMPARE(m_store->readNoteRecords().value().size(), 2);

    QVERIFY(m_store->closeNoteWindow(u"1"_qs, 15, 30));
    QVERIFY(m_store->appendRunningEntry(u"3"_qs));
    QVERIFY(m_store->appendNoteRecord(note(3, u"n"_qs)));
    QCOMPARE(readBytes(mixedRunning), QByteArray("\"2\",\"0\"\r\n\"3\",\"0\"\r\n"));
    QVERIFY(readBytes(lowerNotes).startsWith(noteLine("1", "t", "15,30") + noteLine("2")));
    QCOMPARE(QDir(m_dir->path()).entryList({u"*.ini"_qs}, QDir::Files, QDir::Name),
             QStringList({u"IDdata.INI"_qs, u"mdata.ini"_qs}));

    // With several in different case, the exact name is the file.
    writeBytes(mdata(), noteLine("9"));
    QCOMPARE(m_store->noteFilePath(), mdata());
    QCOMPARE(m_store->readNoteRecords().value().size(), 1);
}

void tst_NoteStore::recordsTaskIdInEveryMatchingEntry()
{
    const QByteArray before = "\"5\",\"0\"\r\n\"6\",\"0\"\r\n\"5\",\"0\"\r\n\"05\",\"0\"\r\n";
    writeBytes(iddata(), before);
    QVERIFY(m_store->recordTaskIds({{u"7"_qs, 999}}));
    QCOMPARE(readBytes(iddata()), before); // nothing matched: same content
    const auto after = m_store->recordTaskIds({{u"5"_qs, 4711}, {u"6"_qs, 12}});
    QVERIFY(after);
    QCOMPARE(after->size(), 4);
    QCOMPARE(readBytes(iddata()),
             QByteArray("\"5\",4711\r\n\"6\",12\r\n\"5\",4711\r\n\"05\",\"0\"\r\n"));

    // Recording before the window wrote its entry leaves no file behind.
    QFile::remove(iddata());
    QVERIFY(m_store->recordTaskIds({{u"5"_qs, 1}}));
    QVERIFY(!QFile::exists(iddata()));
}

void tst_NoteStore::closeRemovesEntriesAndStoresPosition()
{
    writeBytes(mdata(), noteLine("1") + noteLine("2") + noteLine("3"));
    writeBytes(iddata(), "\"2\",\"0\"\r\n\"1\",77\r\n\"2\",4711\r\n");
    const CloseResult closed = m_store->closeNoteWindow(u"2"_qs, -150, -30);
    QVERIFY2(closed.ok(), qPrintable(closed.running.error() + closed.notes.error()));
    QCOMPARE(readBytes(iddata()), QByteArray("\"1\",77\r\n"));
    QCOMPARE(readBytes(mdata()), noteLine("1") + noteLine("2", "t", "-150,-30") + noteLine("3"));
}

void tst_NoteStore::closeComparesIdentifiersEachInItsWay()
{
    // The window of "5": its entry text is compared exactly, the records by number.
    writeBytes(mdata(), noteLine("5") + noteLine("\"05\"") + noteLine("50"));
    writeBytes(iddata(), "\"05\",\"0\"\r\n\"5\",\"0\"\r\n");
    QVERIFY(m_store->closeNoteWindow(u"5"_qs, 100, 200));
    QCOMPARE(readBytes(iddata()), QByteArray("\"05\",\"0\"\r\n"));
    QCOMPARE(readBytes(mdata()),
             noteLine("5", "t", "100,200") + noteLine("\"05\"", "t", "100,200") + noteLine("50"));
}

void tst_NoteStore::closeWritesExactlyTheRecordsRead()
{
    // More lines than records (a text with line breaks), and the window's own record erased.
    const QByteArray notes = noteLine("1", "a\r\nb\r\nc") + noteLine("3");
    writeBytes(mdata(), notes);
    QVERIFY(m_store->closeNoteWindow(u"2"_qs, 1, 1));
    QCOMPARE(readBytes(mdata()), notes);
    // Its number now names another note (written elsewhere with the same number, shown
    // elsewhere): left alone. The same text, or a text edited here at the place the window was
    // shown at, is the window's note.
    const auto fields = [](const QString &text, const QString &top) {
        return QStringList{text,       u"12632256"_qs, u"f"_qs,   u"12"_qs, top,
                           u"1200"_qs, u"5430"_qs,     u"250"_qs, u"0"_qs,  u"3"_qs};
    };
    QVERIFY(m_store->closeNoteWindow(u"3"_qs, 99, 99, {}, fields(u"another"_qs, u"9"_qs)));
    QCOMPARE(readBytes(mdata()), notes);
    for (const QStringList &own : {fields(u"t"_qs, u"9"_qs), fields(u"edited"_qs, u"600"_qs)}) {
        writeBytes(mdata(), notes);
        QVERIFY(m_store->closeNoteWindow(u"3"_qs, 14.25, 0, {}, own));
        QCOMPARE(readBytes(mdata()), noteLine("1", "a\r\nb\r\nc") + noteLine("3", "t", "14.25,0"));
    }
    writeBytes(mdata(), notes);
    QVERIFY(m_store->closeNoteWindow(u"3"_qs, 14.25, 0));
    QCOMPARE(readBytes(mdata()), noteLine("1", "a\r\nb\r\nc") + noteLine("3", "t", "14.25,0"));
    // A window closed where it was stored leaves the file itself alone: no rewrite, no new file.
    const auto inode = [this] {
        struct stat st = {};
        return ::stat(QFile::encodeName(mdata()).constData(), &st) == 0 ? st.st_ino : 0;
    };
    const auto before = inode();
    QVERIFY(m_store->closeNoteWindow(u"3"_qs, 14.25, 0));
    QCOMPARE(inode(), before);
    QVERIFY(m_store->closeNoteWindow(u"3"_qs, 14.5, 0));
    QVERIFY(inode() != before);

    writeBytes(mdata(), "");
    QVERIFY(m_store->closeNoteWindow(u"1"_qs, 1, 1));
    QCOMPARE(readBytes(mdata()), QByteArray());
}

void tst_NoteStore::closeKeepsOtherBytes()
{
    // Characters with two codes keep the code they were stored with; a quoted size stays quoted.
    const QByteArray other = "\"\x87\x40\x87\x8A\x87\x56\xFA\x4C\xFB\xFC\xEE\xE0\x81\xCA\xEE\xF9"
                             "\",\"255\",\"\x82\x6C\x82\x72 \x96\xBE\x92\xA9\",\"12\",1E+3,"
                             "12.50,5430,250,0,1\r\n";
    writeBytes(mdata(), other + noteLine("2", "\xFA\x54"));
    QVERIFY(m_store->closeNoteWindow(u"2"_qs, 0, 0));
    QCOMPARE(readBytes(mdata()), other + noteLine("2", "\xFA\x54", "0,0"));
}

void tst_NoteStore::closeStoresPlacesInSinglePrecision()
{
    // 142 and 1 pixels at 168 DPI: at most 7 significant digits reach the file.
    writeBytes(mdata(), noteLine("1"));
    QVERIFY(m_store->closeNoteWindow(u"1"_qs, 142 * 1440.0 / 168, 1440.0 / 168));
    QCOMPARE(readBytes(mdata()), noteLine("1", "t", "1217.143,8.571429"));
}

void tst_NoteStore::closeWithoutRunningFileStoresThePosition()
{
    writeBytes(mdata(), noteLine("1"));
    QVERIFY(m_store->closeNoteWindow(u"1"_qs, 45, 90));
    QCOMPARE(readBytes(mdata()), noteLine("1", "t", "45,90"));
    QVERIFY(!QFile::exists(iddata()));
}

void tst_NoteStore::closeWithoutNoteFileRemovesTheEntry()
{
    writeBytes(iddata(), "\"1\",\"0\"\r\n");
    QVERIFY(m_store->closeNoteWindow(u"1"_qs, 45, 90));
    QCOMPARE(readBytes(iddata()), QByteArray());
    QVERIFY(!QFile::exists(mdata()));
}

void tst_NoteStore::closeLeavesMalformedNoteFile()
{
    const QByteArray broken = noteLine("1") + "\"cut\",\"1\",\"f\",12,1,2";
    writeBytes(mdata(), broken);
    writeBytes(iddata(), "\"1\",\"0\"\r\n\"2\",\"0\"\r\n");
    const CloseResult closed = m_store->closeNoteWindow(u"1"_qs, 1, 1);
    QVERIFY(closed.running);
    QVERIFY(!closed.notes);
    QVERIFY2(closed.notes.error().contains(u"MDATA.INI の 2 行目"_qs),
             qPrintable(closed.notes.error()));
    QCOMPARE(readBytes(mdata()), broken);
    QCOMPARE(readBytes(iddata()), QByteArray("\"2\",\"0\"\r\n")); // the close order holds
}

void tst_NoteStore::closeStoresPositionDespiteMalformedRunningFile()
{
    // The entries are runtime state; the position is the user's and is stored all the same.
    const QByteArray broken = "\"1\",\"0\"\r\n\"2\",";
    writeBytes(mdata(), noteLine("1"));
    writeBytes(iddata(), broken);
    const CloseResult closed = m_store->closeNoteWindow(u"1"_qs, 1, 1);
    QVERIFY(!closed.running);
    QVERIFY2(closed.running.error().contains(u"IDDATA.INI"_qs), qPrintable(closed.running.error()));
    QVERIFY(closed.notes);
    QCOMPARE(readBytes(iddata()), broken);
    QCOMPARE(readBytes(mdata()), noteLine("1", "t", "1,1"));
}

void tst_NoteStore::neverRewritesMalformedFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("last record cut short") << noteLine("1") + noteLine("2").left(30);
    QTest::newRow("not a number") << noteLine("1") + noteLine("x");
    QTest::newRow("invalid bytes") << noteLine("1") + noteLine("2", "\x82\xA0\xFF");
    QTest::newRow("quote inside a text") << noteLine("1", "a\"b");
}

void tst_NoteStore::neverRewritesMalformedFile()
{
    QFETCH(QByteArray, bytes);
    writeBytes(mdata(), bytes);
    bool called = false;
    const Status status = m_store->updateNoteRecords([&](QList<NoteRecord> &) {
        called = true;
        return true;
    });
    QVERIFY(!status.ok());
    QVERIFY(!called);
    QVERIFY(!m_store->readNoteRecords().ok());
    QVERIFY(!m_store->closeNoteWindow(u"1"_qs, 0, 0).ok());
    QCOMPARE(readBytes(mdata()), bytes);
}

void tst_NoteStore::showingReadsAroundDamagedRecords()
{
    const QByteArray bytes = noteLine("1") + noteLine("x") + noteLine("3") + "\x1A";
    writeBytes(mdata(), bytes);
    const auto readout = m_store->readNoteRecordsSkippingDamaged();
    QVERIFY2(readout.ok(), qPrintable(readout.error()));
    QCOMPARE(readout->records.size(), 2);
    QCOMPARE(readout->records.at(1).NoteId.toNumber(), 3.0);
    QCOMPARE(readout->badLines, QList<int>{2});
    // A rewrite still refuses the file and names the line.
    const Status update = m_store->updateNoteRecords([](QList<NoteRecord> &) { return true; });
    QVERIFY2(update.error().contains(u"MDATA.INI の 2 行目"_qs), qPrintable(update.error()));
    QCOMPARE(readBytes(mdata()), bytes);
}

void tst_NoteStore::updateWritesOnlyWhenAsked()
{
    writeBytes(mdata(), noteLine("1") + noteLine("2"));
    QVERIFY(m_store->updateNoteRecords([](QList<NoteRecord> &records) {
        records.clear();
        return false;
    }));
    QCOMPARE(readBytes(mdata()), noteLine("1") + noteLine("2"));

    QVERIFY(m_store->updateNoteRecords([](QList<NoteRecord> &records) {
        records.removeAt(0);
        return true;
    }));
    QCOMPARE(readBytes(mdata()), noteLine("2"));

    QVERIFY(m_store->updateNoteRecords([](QList<NoteRecord> &records) {
        records.clear();
        return true;
    }));
    QCOMPARE(readBytes(mdata()), QByteArray()); // every note erased: an empty file
    QCOMPARE(m_store->countNoteLines().value(), 0);
}

void tst_NoteStore::replacesOneRecordInPlace()
{
    // Around it: a text over two lines, and characters with two codes, a quoted size, numbers
    // written as another program wrote them.
    const QByteArray before = noteLine("1", "a\r\nb");
    const QByteArray odd = "\"\x87\x40\xFA\x4C\",\"255\",\"\x82\x6C\x82\x72\",\"12\",1E+3,12.50,"
                           "5430,250,0,2\r\n";
    const QByteArray after = noteLine("3");
    writeBytes(mdata(), before + odd + after);
    const QList<NoteRecord> read = m_store->readNoteRecords().value();

    // A record changed or erased since it was read is left alone, and so is every other.
    NoteRecord edited = read.at(1);
    edited.NoteText = Value::text(u"新しい\r\n内容"_qs);
    NoteRecord stale = read.at(1);
    stale.NoteWidth = Value::number(5000);
    for (const auto &[index, expected] :
         {std::pair{qsizetype(1), stale}, std::pair{qsizetype(3), read.at(1)},
          std::pair{qsizetype(0), read.at(1)}}) {
        const Status refused = m_store->replaceNoteRecord(index, expected, edited);
        QVERIFY(!refused.ok() && !refused.busy());
        QVERIFY2(refused.error().contains(u"MDATA.INI"_qs), qPrintable(refused.error()));
        QCOMPARE(readBytes(mdata()), before + odd + after);
    }
    // So is a text that cannot be stored.
    NoteRecord unstorable = edited;
    unstorable.NoteText = Value::text(u"寿司🍣"_qs);
    QVERIFY(!m_store->replaceNoteRecord(1, read.at(1), unstorable).ok());
    QCOMPARE(readBytes(mdata()), before + odd + after);

    // Only the changed field takes new bytes; the record keeps its line.
    QVERIFY(m_store->replaceNoteRecord(1, read.at(1), edited));
    QCOMPARE(readBytes(mdata()), before + "\"" + cp932(u"新しい\r\n内容"_qs) + odd.mid(5) + after);
}

void tst_NoteStore::heldLockFailsInTimeAndTouchesNothing()
{
    writeBytes(mdata(), noteLine("1"));
    writeBytes(iddata(), "\"1\",\"0\"\r\n");
    // Another holder: its own open file, so the kernel lock is not this store's.
    const int fd = ::open(QFile::encodeName(m_dir->filePath(FolderLock::lockFileName())),
                          O_RDWR | O_CREAT, 0666);
    QVERIFY(fd >= 0);
    QVERIFY(::flock(fd, LOCK_EX) == 0);
    // The programs' stores never wait; a store that may sleep waits a bounded time.
    QElapsedTimer timer;
    timer.start();
    const CloseResult closed = m_store->closeNoteWindow(u"1"_qs, 5, 5);
    const Status appended = m_store->appendRunningEntry(u"2"_qs);
    const qint64 atOnce = timer.restart();
    const Status slept = NoteStore(m_dir->path(), LockWait::Sleep).appendRunningEntry(u"2"_qs);
    const qint64 waited = timer.elapsed();
    ::close(fd);
    QVERIFY(closed.busy());
    QVERIFY(appended.busy());
    QVERIFY(slept.busy());
    QVERIFY2(appended.error().contains(FolderLock::lockFileName()), qPrintable(appended.error()));
    QVERIFY2(atOnce < 1000, qPrintable(QString::number(atOnce)));
    QVERIFY2(waited >= FolderLock::TimeoutMs - 100 && waited < FolderLock::TimeoutMs + 2000,
             qPrintable(QString::number(waited)));
    QCOMPARE(readBytes(mdata()), noteLine("1"));
    QCOMPARE(readBytes(iddata()), QByteArray("\"1\",\"0\"\r\n"));
    QVERIFY(m_store->appendRunningEntry(u"2"_qs)); // released: at once again
}

void tst_NoteStore::setsAsideUnreadableRunningFile()
{
    const QByteArray broken = "\"1\",\"0\"\r\n\"2\",\"0";
    writeBytes(iddata(), broken);
    const QList<RunningEntry> rebuilt{{Value::text(u"1"_qs), Value::number(4711)}};
    const auto aside = m_store->replaceRunningFile(rebuilt);
    QVERIFY2(aside.ok(), qPrintable(aside.error()));
    QVERIFY(aside->startsWith(m_dir->path()));
    QCOMPARE(readBytes(*aside), broken);
    QCOMPARE(readBytes(iddata()), QByteArray("\"1\",4711\r\n"));
    // A file that reads whole is left alone.
    const auto again = m_store->replaceRunningFile({});
    QVERIFY(again.ok() && again->isEmpty());
    QCOMPARE(readBytes(iddata()), QByteArray("\"1\",4711\r\n"));
}

// The file's own first line, which every save writes.
const QByteArray OptionsHeader =
    "# pinboa: 付箋ごとの設定（[付箋番号] ごと）。付箋そのものは MDATA.INI にあります。\n";

void tst_NoteStore::optionsReadWholeAndWrittenWhole()
{
    const auto missing = m_store->readNoteOptions();
    QCOMPARE(missing->state, NoteOptionsReadout::State::Missing);
    QCOMPARE(missing->of(7), NoteOptions{});
    // Only the defaults: no file is made.
    QVERIFY(m_store->updateNoteOptions([](NoteOptionsTable &table) {
        table[7] = NoteOptions{};
        return true;
    }));
    QVERIFY(!QFile::exists(options()));

    // As a user's editor may leave it: a byte order mark, CR LF, comments, blanks, keys left out.
    writeBytes(options(), "\xEF\xBB\xBF; mine\r\n[7]\r\n above = true \r\n\n# x\n[ 12 ]\n"
                          "workspace=2\nallWorkspaces=false\n[3]\nabove=false\n");
    const auto read = m_store->readNoteOptions();
    QVERIFY2(read->state == NoteOptionsReadout::State::Whole, qPrintable(read->problem));
    QCOMPARE(read->options.keys(), QList<qint64>({7, 12})); // [3] holds the defaults only
    QCOMPARE(read->of(7), (NoteOptions{true, false, std::nullopt}));
    QCOMPARE(read->of(12), (NoteOptions{false, false, 2}));

    QVERIFY(m_store->updateNoteOptions([](NoteOptionsTable &table) {
        table[12].allWorkspaces = true;
        table[7] = NoteOptions{};
        return true;
    }));
    QCOMPARE(readBytes(options()),
             OptionsHeader + "\n[12]\nabove=false\nallWorkspaces=true\nworkspace=2\n");
}

void tst_NoteStore::damagedOptionsAreNeverRewritten_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("named");
    QTest::newRow("unknown key") << QByteArray("[7]\nabove=true\ncolour=red\n") << u"3 行目"_qs;
    QTest::newRow("not true or false") << QByteArray("[7]\nabove=yes\n") << u"2 行目"_qs;
    QTest::newRow("negative workspace") << QByteArray("[7]\nworkspace=-1\n") << u"2 行目"_qs;
    QTest::newRow("Shift-JIS bytes") << QByteArray("[7]\n# \x95\x74\x91\x83\n") << u"2 行目"_qs;
    QTest::newRow("no equals sign") << QByteArray("[7]\nabove\n") << u"2 行目"_qs;
    QTest::newRow("before any section") << QByteArray("above=true\n[7]\n") << u"1 行目"_qs;
    QTest::newRow("header not a number") << QByteArray("[seven]\nabove=true\n") << u"1 行目"_qs;
    QTest::newRow("note given twice") << QByteArray("[7]\n[07]\n") << u"2 行目"_qs;
    QTest::newRow("key given twice") << QByteArray("[7]\nabove=true\nabove=true\n") << u"3 行目"_qs;
    QTest::newRow("a folder in its place") << QByteArray() << u"pinboa-notes.ini"_qs;
}

void tst_NoteStore::damagedOptionsAreNeverRewritten()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, named);
    const bool folder = bytes.isEmpty();
    if (folder)
        QVERIFY(QDir(m_dir->path()).mkdir(u"pinboa-notes.ini"_qs));
    else
        writeBytes(options(), bytes);
    writeBytes(mdata(), noteLine("7"));

    const auto read = m_store->readNoteOptions();
    QCOMPARE(read->state,
             folder ? NoteOptionsReadout::State::Unreadable : NoteOptionsReadout::State::Damaged);
    QVERIFY2(read->problem.contains(named), qPrintable(read->problem));
    QCOMPARE(read->of(7), NoteOptions{}); // the note shows with the defaults
    QVERIFY(!m_store->updateNoteOptions([](NoteOptionsTable &) { return true; }));
    QVERIFY(!m_store->removeNoteOptions({7}));
    // The place is stored all the same.
    const CloseResult closed =
        m_store->closeNoteWindow(u"7"_qs, 30, 45, [](NoteOptions &note) { note.workspace = 1; });
    QVERIFY(closed.notes && !closed.options);
    QCOMPARE(readBytes(mdata()), noteLine("7", "t", "30,45"));
    if (!folder)
        QCOMPARE(readBytes(options()), bytes);

    // Set aside, never deleted; then every note has its defaults and a choice can be stored.
    const auto aside = m_store->setAsideNoteOptions();
    QVERIFY2(aside.ok(), qPrintable(aside.error()));
    QVERIFY2(aside->startsWith(options() + u"."_qs) && aside->endsWith(u".bad"_qs),
             qPrintable(*aside));
    if (!folder)
        QCOMPARE(readBytes(*aside), bytes);
    QCOMPARE(m_store->readNoteOptions()->state, NoteOptionsReadout::State::Missing);
    QCOMPARE(m_store->setAsideNoteOptions().value(), QString());
}

void tst_NoteStore::optionsRemovedAndKeptByNoteNumber()
{
    QVERIFY(m_store->keepOnlyNoteOptions({}));
    QVERIFY(!QFile::exists(options()));
    writeBytes(options(), "[2]\nabove=true\n[5]\nworkspace=1\n[9]\nallWorkspaces=true\n");
    QVERIFY(m_store->removeNoteOptions({5, 4}));
    QCOMPARE(m_store->readNoteOptions()->options.keys(), QList<qint64>({2, 9}));
    QVERIFY(m_store->keepOnlyNoteOptions({9, 11}));
    QCOMPARE(readBytes(options()), OptionsHeader + "\n[9]\nabove=false\nallWorkspaces=true\n");
    // The numbers records and windows go by.
    QCOMPARE(recordNoteNumber(Value::text(u"05"_qs)), 5);
    QCOMPARE(recordNoteNumber(Value::number(2.5)), std::nullopt);
    QCOMPARE(windowNoteNumber(u"07"_qs), 7);
}

void tst_NoteStore::closeNotesTheWorkspaceOfRecordedNotesOnly()
{
    writeBytes(mdata(), noteLine("7"));
    const auto onTwo = [](NoteOptions &note) { note.workspace = 2; };
    QVERIFY(m_store->closeNoteWindow(u"07"_qs, 15, 15, onTwo).ok());
    QCOMPARE(m_store->readNoteOptions()->of(7), (NoteOptions{false, false, 2}));
    // The window of an erased note leaves no entry behind.
    QVERIFY(m_store->closeNoteWindow(u"8"_qs, 15, 15, onTwo).ok());
    QCOMPARE(m_store->readNoteOptions()->options.keys(), QList<qint64>{7});
}

QTEST_APPLESS_MAIN(tst_NoteStore)
#include "tst_NoteStore.moc"

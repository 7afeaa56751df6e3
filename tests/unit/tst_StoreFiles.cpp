// The file primitives under the store: failed writes, odd things in a data file's place, what
// older tools and killed saves leave behind.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/Files.h"
#include "store/NoteStore.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace store;
using namespace testsupport;

namespace {

// Every write of this process that would take a file past `bytes` more than `path` holds now
// fails (as on a full disk, after the bytes that still fit), until the object goes.
class FailingWrites
{
public:
    FailingWrites(const QString &path, qint64 bytes)
    {
        files::ignoreFileSizeSignal(); // as both programs do
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limit{rlim_t(QFileInfo(path).size() + bytes), m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FailingWrites() { ::setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old;
};

} // namespace

class tst_StoreFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void failedWritesLeaveFilesWhole_data();
    void failedWritesLeaveFilesWhole();
    void readOnlyFolderNamesTheCause();
    void folderInAFilesPlaceNamesTheCause_data();
    void folderInAFilesPlaceNamesTheCause();
    void appendsAfterTheEndOfFileMark_data();
    void appendsAfterTheEndOfFileMark();
    void removesStaleTemporariesOnly();

private:
    QString mdata() const { return m_dir->filePath(u"MDATA.INI"_qs); }
    QString iddata() const { return m_dir->filePath(u"IDDATA.INI"_qs); }

    std::unique_ptr<ProgramFolder> m_dir;
    std::unique_ptr<NoteStore> m_store;
};

void tst_StoreFiles::init()
{
    m_dir = std::make_unique<ProgramFolder>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<NoteStore>(m_dir->path());
}

void tst_StoreFiles::failedWritesLeaveFilesWhole_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<qint64>("bytesThatFit");
    for (const char *operation : {"append entry", "append record", "close", "replace"}) {
        for (qint64 fit : {0, 3, 9})
            QTest::addRow("%s, %lld bytes fit", operation, fit)
                << QString::fromLatin1(operation) << fit;
    }
}

void tst_StoreFiles::failedWritesLeaveFilesWhole()
{
    QFETCH(QString, operation);
    QFETCH(qint64, bytesThatFit);
    // The last line has no line break: the append must also take back the one it adds.
    const QByteArray notes = noteLine("1") + noteLine("2").chopped(2);
    const QByteArray entries = "\"1\",77\r\n\"2\",\"0\"";
    writeBytes(mdata(), notes);
    writeBytes(iddata(), entries);
    Status status;
    {
        const NoteRecord first = m_store->readNoteRecords().value().at(0);
        NoteRecord edited = first;
        edited.NoteText = Value::text(u"書き直した付箋"_qs);
        const bool ofNotes = operation == u"append record"_qs || operation == u"replace"_qs;
        const FailingWrites full(ofNotes ? mdata() : iddata(), bytesThatFit);
        if (operation == u"append entry"_qs)
            status = m_store->appendRunningEntry(u"3"_qs);
        else if (operation == u"append record"_qs)
            status = m_store->appendNoteRecord(note(3, u"新しい付箋"_qs));
        else if (operation == u"replace"_qs)
            status = m_store->replaceNoteRecord(0, first, edited);
        else
            status = m_store->closeNoteWindow(u"2"_qs, 30, 45).notes;
    }
    QVERIFY(!status.ok());
    QVERIFY2(status.error().contains(u"ファイルが大きすぎます"_qs), qPrintable(status.error()));
    QCOMPARE(readBytes(mdata()), notes);
    if (operation != u"close"_qs)
        QCOMPARE(readBytes(iddata()), entries);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
             QStringList({u"IDDATA.INI"_qs, u"MDATA.INI"_qs}));
    // Both files still read whole, and the next close stores its position.
    QVERIFY(m_store->readRunningEntries().ok());
    QVERIFY(m_store->closeNoteWindow(u"2"_qs, 30, 45));
    QCOMPARE(readBytes(mdata()), noteLine("1") + noteLine("2", "t", "30,45"));
}

void tst_StoreFiles::readOnlyFolderNamesTheCause()
{
    // A folder without a lock file that its user may only read. The check runs as a user
    // without privileges, as a privileged one may write anywhere.
    QVERIFY(QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner |
                                                     QFile::ReadOther | QFile::ExeOther));
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0)
            ::_exit(3);
        const Status status = m_store->appendRunningEntry(u"1"_qs);
        const bool named = !status.ok() && status.error().contains(u"書き込めない"_qs) &&
                           !status.error().contains(u"No such file"_qs);
        ::_exit(named ? 0 : 1);
    }
    int wstatus = 0;
    QCOMPARE(::waitpid(child, &wstatus, 0), child);
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(WIFEXITED(wstatus));
    QCOMPARE(WEXITSTATUS(wstatus), 0);
}

void tst_StoreFiles::folderInAFilesPlaceNamesTheCause_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("operation");
    for (const char *operation : {"read notes", "update notes", "append record", "close"})
        QTest::addRow("MDATA.INI, %s", operation)
            << u"MDATA.INI"_qs << QString::fromLatin1(operation);
    for (const char *operation : {"read entries", "append entry", "close"})
        QTest::addRow("IDDATA.INI, %s", operation)
            << u"IDDATA.INI"_qs << QString::fromLatin1(operation);
    QTest::newRow("lock file") << FolderLock::lockFileName() << u"read notes"_qs;
}

void tst_StoreFiles::folderInAFilesPlaceNamesTheCause()
{
    QFETCH(QString, folder);
    QFETCH(QString, operation);
    QVERIFY(QDir(m_dir->path()).mkdir(folder));
    QString error;
    if (operation == u"read notes"_qs)
        error = m_store->readNoteRecords().error();
    else if (operation == u"update notes"_qs)
        error = m_store->updateNoteRecords([](QList<NoteRecord> &) { return true; }).error();
    else if (operation == u"append record"_qs)
        error = m_store->appendNoteRecord(note(1)).error();
    else if (operation == u"close"_qs)
        error = [&] {
            const CloseResult closed = m_store->closeNoteWindow(u"1"_qs, 0, 0);
            return closed.running.error() + closed.notes.error();
        }();
    else if (operation == u"read entries"_qs)
        error = m_store->readRunningEntries().error();
    else
        error = m_store->appendRunningEntry(u"1"_qs).error();
    // The cause of the call that failed, never a stale one ("File exists", "Resource
    // temporarily unavailable").
    QVERIFY2(error.contains(folder) && error.contains(u"ファイルではなくフォルダーです"_qs),
             qPrintable(error));
    QVERIFY2(!error.contains(u"エラー番号"_qs), qPrintable(error));
    QVERIFY(QFileInfo(m_dir->filePath(folder)).isDir());
}

void tst_StoreFiles::appendsAfterTheEndOfFileMark_data()
{
    QTest::addColumn<bool>("notes");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray record = noteLine("1");
    const QByteArray added = recordBytes(note(2, u"x"_qs));
    QTest::newRow("notes, after the last CR LF") << true << record + "\x1A" << record + added;
    QTest::newRow("notes, right after the last record")
        << true << record.chopped(2) + "\x1A" << record + added;
    QTest::newRow("entries, after the last CR LF")
        << false << QByteArray("\"1\",77\r\n\x1A") << QByteArray("\"1\",77\r\n\"2\",\"0\"\r\n");
    QTest::newRow("entries, right after the last entry")
        << false << QByteArray("\"1\",77\x1A") << QByteArray("\"1\",77\r\n\"2\",\"0\"\r\n");
}

void tst_StoreFiles::appendsAfterTheEndOfFileMark()
{
    // A record after the mark would be lost to every reader: it takes the mark's place.
    QFETCH(bool, notes);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QString path = notes ? mdata() : iddata();
    writeBytes(path, before);
    if (notes) {
        QCOMPARE(m_store->countNoteLines().value(), 1);
        QCOMPARE(m_store->readNoteRecords().value().size(), 1);
        QVERIFY(m_store->appendNoteRecord(note(2, u"x"_qs)));
        QCOMPARE(m_store->readNoteRecords().value().size(), 2);
    } else {
        QCOMPARE(m_store->readRunningEntries().value().size(), 1);
        QVERIFY(m_store->appendRunningEntry(u"2"_qs));
    }
    QCOMPARE(readBytes(path), after);
}

void tst_StoreFiles::removesStaleTemporariesOnly()
{
    writeBytes(mdata(), noteLine("1"));
    writeBytes(iddata(), "\"1\",\"0\"\r\n");
    // Left by saves killed between their link and their rename, full size.
    const QStringList stale{u"MDATA.INI.kajlgP"_qs, u"MDATA.INI.QwErTy"_qs};
    // The user's, or another file's.
    const QStringList kept{u"MDATA.INI.backup"_qs,  u"MDATA.INI.Backup"_qs,  u"MDATA.INI.BEFORE"_qs,
                           u"MDATA.INI.kajlg1"_qs,  u"MDATA.INI.kajlgPQ"_qs, u"mdata.ini.kajlgP"_qs,
                           u"IDDATA.INI.kajlgP"_qs, u"MDATA.INI.LnKxYz"_qs};
    for (const QString &name : stale + kept.mid(0, kept.size() - 1))
        writeBytes(m_dir->filePath(name), noteLine("1") + noteLine("2"));
    QVERIFY(QFile::link(m_dir->filePath(stale[0]), m_dir->filePath(kept.last())));
    auto exists = [&](const QString &name) { return QFile::exists(m_dir->filePath(name)); };

    QVERIFY(m_store->readNoteRecords());
    QVERIFY(exists(stale[0])); // a read removes nothing
    QVERIFY(m_store->updateNoteRecords([](QList<NoteRecord> &) { return true; }));
    for (const QString &name : stale)
        QVERIFY2(!exists(name), qPrintable(name));
    for (const QString &name : kept)
        QVERIFY2(QFileInfo(m_dir->filePath(name)).isSymLink() || exists(name), qPrintable(name));

    // An append clears them too, each file its own.
    writeBytes(m_dir->filePath(u"MDATA.INI.ZyXwVu"_qs), noteLine("1"));
    QVERIFY(m_store->appendNoteRecord(note(2)));
    QVERIFY(!exists(u"MDATA.INI.ZyXwVu"_qs));
    QVERIFY(exists(u"IDDATA.INI.kajlgP"_qs));
    QVERIFY(m_store->appendRunningEntry(u"2"_qs));
    QVERIFY(!exists(u"IDDATA.INI.kajlgP"_qs));
    QCOMPARE(readBytes(m_dir->filePath(u"MDATA.INI.backup"_qs)), noteLine("1") + noteLine("2"));
}

QTEST_APPLESS_MAIN(tst_StoreFiles)
#include "tst_StoreFiles.moc"

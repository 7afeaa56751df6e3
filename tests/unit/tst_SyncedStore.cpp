// The store in a folder that a sync engine writes to: rewrites that meet a replaced file,
// conflict copies merged and moved out, overwritten notes put back, the record history.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/Files.h"
#include "store/NoteHistory.h"
#include "store/NoteStore.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdio>

using namespace store;
using namespace testsupport;

namespace {

const QString Copy = u"MDATA.sync-conflict-20240131-235959-ABCDEF2.INI"_qs;

// MDATA.INI as another computer wrote it.
QByteArray elsewhere()
{
    return noteLine("1") + noteLine("2") + noteLine("3", "elsewhere");
}

// Replaces `path` whole by a rename, as a sync engine does.
void replace(const QString &path, const QByteArray &bytes)
{
    writeBytes(path + u".engine"_qs, bytes);
    QCOMPARE(std::rename(QFile::encodeName(path + u".engine"_qs).constData(),
                         QFile::encodeName(path).constData()),
             0);
}

} // namespace

class tst_SyncedStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { files::setBeforeCommitForTesting({}); }
    void rewriteMeetsReplacedFile_data();
    void rewriteMeetsReplacedFile();
    void appendNeverLandsTwiceInOneFile();
    void conflictCopyMovesToThisComputer();
    void overwrittenNotesComeBackUnlessErased();
    void historyIsBoundedAndKeepsTheCurrentFile();

private:
    QString mdata() const { return m_notes->filePath(u"MDATA.INI"_qs); }

    std::unique_ptr<ProgramFolder> m_notes;
    std::unique_ptr<ProgramFolder> m_state;
    std::unique_ptr<NoteStore> m_store;
};

void tst_SyncedStore::init()
{
    m_notes = std::make_unique<ProgramFolder>();
    m_state = std::make_unique<ProgramFolder>();
    QVERIFY(m_notes->isValid() && m_state->isValid());
    m_store = std::make_unique<NoteStore>(Folders(m_notes->path(), m_state->path()));
}

void tst_SyncedStore::rewriteMeetsReplacedFile_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("always");      // replaced before every rename, not only the first
    QTest::addColumn<QByteArray>("after"); // the file from elsewhere with the change made
    const QByteArray three = noteLine("3", "elsewhere");
    const QList<std::pair<QString, QByteArray>> changes = {
        {u"update"_qs, noteLine("1") + noteLine("2", "x") + three},
        {u"close"_qs, noteLine("1") + noteLine("2", "t", "30,45") + three},
        {u"append"_qs, elsewhere() + recordBytes(note(4))},
        {u"merge"_qs, elsewhere() + noteLine("5", "five")}};
    for (const auto &[operation, after] : changes) {
        QTest::newRow(qPrintable(operation)) << operation << false << after;
        QTest::newRow(qPrintable(operation + u", always"_qs)) << operation << true << elsewhere();
    }
}

void tst_SyncedStore::rewriteMeetsReplacedFile()
{
    QFETCH(QString, operation);
    QFETCH(bool, always);
    QFETCH(QByteArray, after);
    m_notes->write(u"MDATA.INI"_qs, noteLine("1") + noteLine("2"));
    m_notes->write(Copy, noteLine("1") + noteLine("5", "five"));
    int rounds = 0;
    files::setBeforeCommitForTesting([&](const QString &path) {
        QCOMPARE(path, mdata());
        if (rounds++ == 0 || always)
            replace(path, elsewhere());
    });

    Status status;
    if (operation == u"update"_qs) {
        status = m_store->updateNoteRecords([](QList<NoteRecord> &records) {
            for (NoteRecord &record : records) {
                if (record.NoteId.toText() == u"2"_qs)
                    record.NoteText = Value::text(u"x"_qs);
            }
            return true;
        });
    } else if (operation == u"close"_qs) {
        status = m_store->closeNoteWindow(u"2"_qs, 30, 45).notes;
    } else if (operation == u"append"_qs) {
        status = m_store->appendNoteRecord(note(4));
    } else {
        const auto merged = m_store->mergeConflictCopy(m_notes->filePath(Copy));
        status = merged ? Status() : Status(Error{merged.error()});
        QCOMPARE(QFile::exists(m_notes->filePath(Copy)), always);
    }
    // Each round reads the file again; one that is replaced every time is not written at all.
    QCOMPARE(rounds, always ? files::RewriteRounds : 2);
    QCOMPARE(status.ok(), !always);
    QVERIFY2(always == status.error().contains(u"置き換え"_qs), qPrintable(status.error()));
    QCOMPARE(m_notes->read(u"MDATA.INI"_qs), after);
}

void tst_SyncedStore::appendNeverLandsTwiceInOneFile()
{
    // The file appended to is moved away and another put in its place, which takes the record
    // too; then the first comes back.
    m_notes->write(u"MDATA.INI"_qs, noteLine("1"));
    const QString away = m_notes->filePath(u"away"_qs);
    int rounds = 0;
    files::setBeforeCommitForTesting([&](const QString &path) {
        if (rounds++ == 0) {
            QCOMPARE(std::rename(QFile::encodeName(path), QFile::encodeName(away)), 0);
            writeBytes(path, noteLine("1"));
        } else {
            QCOMPARE(std::rename(QFile::encodeName(away), QFile::encodeName(path)), 0);
        }
    });
    QVERIFY(m_store->appendNoteRecord(note(2)));
    QCOMPARE(rounds, 2);
    QCOMPARE(m_notes->read(u"MDATA.INI"_qs), noteLine("1") + recordBytes(note(2)));
}

void tst_SyncedStore::conflictCopyMovesToThisComputer()
{
    m_notes->write(u"MDATA.INI"_qs, noteLine("1"));
    m_notes->write(Copy, noteLine("1") + noteLine("5", "five"));
    m_notes->write(u"IDDATA.sync-conflict-20240131-235959-ABCDEF2.INI"_qs, "");
    const QList<ConflictCopy> copies = m_store->conflictCopies();
    QCOMPARE(copies.size(), 1);
    QCOMPARE(copies[0].path, m_notes->filePath(Copy));

    const auto merged = m_store->mergeConflictCopy(copies[0].path);
    QVERIFY2(merged.ok(), qPrintable(merged.error()));
    QCOMPARE(merged->added.size(), 1);
    QCOMPARE(merged->movedTo, m_state->filePath(u"conflicts/"_qs + Copy));
    QCOMPARE(readBytes(merged->movedTo), noteLine("1") + noteLine("5", "five"));
    QCOMPARE(m_notes->read(u"MDATA.INI"_qs), noteLine("1") + noteLine("5", "five"));
    QVERIFY(!QFile::exists(m_notes->filePath(Copy)));
    // The same name again is kept beside the first; nothing new is added twice.
    m_notes->write(Copy, noteLine("5", "five"));
    const auto again = m_store->mergeConflictCopy(m_notes->filePath(Copy));
    QVERIFY(again.ok() && again->added.isEmpty());
    QCOMPARE(again->movedTo, merged->movedTo + u"~2"_qs);
    QCOMPARE(m_notes->read(u"MDATA.INI"_qs), noteLine("1") + noteLine("5", "five"));

    // A copy or a main file that cannot be read whole is left alone, and so is the other file.
    for (const bool copyDamaged : {true, false}) {
        const QByteArray main = copyDamaged ? noteLine("1") : noteLine("1").chopped(6);
        const QByteArray copy = copyDamaged ? noteLine("7").chopped(6) : noteLine("7");
        m_notes->write(u"MDATA.INI"_qs, main);
        m_notes->write(Copy, copy);
        const auto refused = m_store->mergeConflictCopy(m_notes->filePath(Copy));
        QVERIFY(!refused.ok());
        QVERIFY2(refused.error().contains(copyDamaged ? Copy : u"MDATA.INI"_qs),
                 qPrintable(refused.error()));
        QCOMPARE(m_notes->read(u"MDATA.INI"_qs), main);
        QCOMPARE(m_notes->read(Copy), copy);
    }
    // Erased notes are never merged into the notes.
    const QString erased = u"ERASED.sync-conflict-20240131-235959-ABCDEF2.INI"_qs;
    m_notes->write(erased, noteLine("8"));
    QVERIFY(!m_store->mergeConflictCopy(m_notes->filePath(erased)).ok());
    QVERIFY(QFile::exists(m_notes->filePath(erased)));

    // They join this computer's erased notes, each once; options join this computer's, which
    // win. Both copies move out. A copy that cannot be read whole stays, and so does the file.
    m_notes->write(u"ERASED.INI"_qs, noteLine("6"));
    m_notes->write(erased, noteLine("6") + noteLine("8"));
    const auto erases = m_store->mergeSideFileCopy(m_notes->filePath(erased));
    QVERIFY2(erases.ok(), qPrintable(erases.error()));
    QCOMPARE(erases->movedTo, m_state->filePath(u"conflicts/"_qs + erased));
    QCOMPARE(m_notes->read(u"ERASED.INI"_qs), noteLine("6") + noteLine("8"));
    const QString options = u"pinboa-notes.sync-conflict-20240131-235959-ABCDEF2.ini"_qs;
    m_notes->write(u"pinboa-notes.ini"_qs, "[1]\nabove=true\n");
    m_notes->write(options, "[1]\nabove=false\nworkspace=3\n[5]\nworkspace=2\n");
    const auto joined = m_store->mergeSideFileCopy(m_notes->filePath(options));
    QVERIFY2(joined.ok() && !joined->movedTo.isEmpty(), qPrintable(joined.error()));
    QVERIFY(!QFile::exists(m_notes->filePath(options)));
    const auto table = m_store->readNoteOptions();
    QVERIFY(table.ok());
    QVERIFY(table->of(1) == (NoteOptions{true, false, std::nullopt}));
    QCOMPARE(table->of(5).workspace, std::optional<int>(2));
    m_notes->write(options, "[1]\nabove=perhaps\n");
    const QByteArray kept = m_notes->read(u"pinboa-notes.ini"_qs);
    QVERIFY(!m_store->mergeSideFileCopy(m_notes->filePath(options)).ok());
    QCOMPARE(m_notes->read(u"pinboa-notes.ini"_qs), kept);
    QVERIFY(QFile::exists(m_notes->filePath(options)));
    QVERIFY(!m_store->mergeSideFileCopy(m_notes->filePath(Copy)).ok());
}

void tst_SyncedStore::overwrittenNotesComeBackUnlessErased()
{
    QVERIFY(m_store->appendNoteRecord(note(1)));
    QVERIFY(m_store->appendNoteRecord(note(2, u"ここで書いた"_qs)));
    const auto previous = m_store->readNoteRecords();
    QVERIFY(previous.ok());

    // Another computer's file without note 2, and no erase of it recorded: it comes back.
    replace(mdata(), recordBytes(note(1)));
    const auto back = m_store->putBackOverwrittenNotes(previous.value());
    QVERIFY2(back.ok(), qPrintable(back.error()));
    QCOMPARE(back.value(), QList<NoteRecord>{note(2, u"ここで書いた"_qs)});
    QCOMPARE(m_notes->read(u"MDATA.INI"_qs), recordBytes(previous.value()));

    // Erased there, the erase in a conflict copy of the erased notes: it stays erased.
    replace(mdata(), recordBytes(note(1)));
    m_notes->write(u"ERASED (Hanako's conflicted copy 2024-01-31).INI"_qs,
                   recordBytes(note(2, u"ここで書いた"_qs)));
    const auto kept = m_store->putBackOverwrittenNotes(previous.value());
    QVERIFY(kept.ok() && kept->isEmpty());
    // Erased notes that cannot be read whole cannot tell an erase: nothing is put back.
    m_notes->write(u"ERASED.INI"_qs, "\"cut");
    QVERIFY(!m_store->putBackOverwrittenNotes(previous.value()).ok());
    QCOMPARE(m_notes->read(u"MDATA.INI"_qs), recordBytes(note(1)));

    // This computer's notes brought into the folder: equal notes once.
    const auto brought = m_store->bringInNotes({note(1), note(1, u"別の付箋"_qs)});
    QVERIFY(brought.ok());
    QCOMPARE(brought.value(), QList<NoteRecord>{note(2, u"別の付箋"_qs)});
}

void tst_SyncedStore::historyIsBoundedAndKeepsTheCurrentFile()
{
    const QList<NoteRecord> current = {note(1), note(2)};
    NoteHistory history;
    history.addRead(current);
    QList<NoteRecord> versions;
    for (int i = 0; i < 5 * NoteHistory::Bound; ++i)
        versions.append(note(9, QString::number(i)));
    history.addWritten(versions);
    QVERIFY(history.save(m_state->path() + u'/', &current));
    QCOMPARE(history.size(), NoteHistory::Bound + current.size());

    // Lines that cannot be read are passed over.
    const QString file = m_state->filePath(NoteHistory::fileName());
    writeBytes(file, readBytes(file) + "w 9 nothex\nnonsense\n");
    const NoteHistory loaded = NoteHistory::load(m_state->path() + u'/');
    QCOMPARE(loaded.size(), history.size());
    QVERIFY(loaded.seen(current[1]) && !loaded.wrote(current[1]));
    QVERIFY(!loaded.seen(versions.first()));
    // The order of the steps survives: the current file was read before the last write.
    QVERIFY(*loaded.firstSeen(current[0]) < *loaded.lastWritten(versions.last()));
}

QTEST_MAIN(tst_SyncedStore)
#include "tst_SyncedStore.moc"

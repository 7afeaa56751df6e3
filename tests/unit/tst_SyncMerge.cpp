// The merge rules for notes from another computer, and the names of conflict copies.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/ConflictNames.h"
#include "store/Merge.h"
#include "tests/support/Notes.h"

#include <QTest>

using namespace store;

namespace {

// "2b" is note 2 with the text "b" at the editor's place; "2b*" the same note moved.
QList<NoteRecord> notes(const QString &tokens)
{
    QList<NoteRecord> records;
    for (const QString &token : tokens.split(u' ', Qt::SkipEmptyParts)) {
        NoteRecord record = testsupport::note(token.left(1).toInt(), token.mid(1).remove(u'*'));
        if (token.endsWith(u'*'))
            record.NoteTop = Value::number(9000);
        records.append(record);
    }
    return records;
}

// Steps in order: "r2b" note 2b read here, "w2c" note 2c written here.
NoteHistory history(const QString &tokens)
{
    NoteHistory h;
    for (const QString &token : tokens.split(u' ', Qt::SkipEmptyParts)) {
        if (token.startsWith(u'w'))
            h.addWritten(notes(token.mid(1)));
        else
            h.addRead(notes(token.mid(1)));
    }
    return h;
}

// Equal records, places and all, in order.
void compareNotes(const QList<NoteRecord> &actual, const QString &expected)
{
    QCOMPARE(actual.size(), notes(expected).size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        QVERIFY2(actual[i] == notes(expected)[i], qPrintable(expected));
}

} // namespace

class tst_SyncMerge : public QObject
{
    Q_OBJECT

private slots:
    void conflictCopy_data();
    void conflictCopy();
    void bringingIn();
    void overwritten_data();
    void overwritten();
    void conflictNames_data();
    void conflictNames();
};

// A row: the records and steps of its columns, separated by "|".
QStringList columns(const QString &row)
{
    QStringList parts = row.split(u'|');
    for (QString &part : parts)
        part = part.trimmed();
    return parts;
}

void tst_SyncMerge::conflictCopy_data()
{
    QTest::addColumn<QString>("row"); // main | copy | seen | merged
    QTest::newRow("equal but for the place: main's place") << "1a 2b | 1a* 2b | | 1a 2b";
    QTest::newRow("never seen: added") << "1a | 1a 2b | r1a | 1a 2b";
    QTest::newRow("number taken: after the largest of both")
        << "1a 2b | 2c 5e | r1a r2b | 1a 2b 6c 5e";
    QTest::newRow("seen, number gone: stays erased") << "1a | 1a 2b | r1a r2b | 1a";
    QTest::newRow("seen, changed here later: stays changed") << "1a 2c | 2b | r1a r2b w2c | 1a 2c";
    QTest::newRow("seen, changed elsewhere: both kept") << "1a 2c | 2b | r1a r2b r2c | 1a 2c 3b";
    QTest::newRow("changed here, older in main: both kept") << "2b | 2c | r2b w2c | 2b 3c";
    QTest::newRow("missing from the copy: kept") << "1a 2b | | r1a r2b | 1a 2b";
    QTest::newRow("merged before under another number") << "1a 3b | 2b | r1a | 1a 3b";
}

void tst_SyncMerge::conflictCopy()
{
    QFETCH(QString, row);
    const QStringList c = columns(row);
    const Merged result = mergeConflictCopy(notes(c[0]), notes(c[1]), history(c[2]));
    compareNotes(result.records, c[3]);
    // A merge only adds: main's records first, as they were, then what was added.
    compareNotes(result.added, c[3].mid(c[0].size()).trimmed());
}

void tst_SyncMerge::bringingIn()
{
    // Equal notes once (number and place aside), the rest under a free number.
    const Merged result = mergeBringingIn(notes("1a 2b"), notes("1a* 2c 3b 1d"));
    compareNotes(result.records, "1a 2b 4c 5d");
    compareNotes(result.added, "4c 5d");
    compareNotes(mergeBringingIn({}, notes("1a 2b")).records, "1a 2b");
}

void tst_SyncMerge::overwritten_data()
{
    QTest::addColumn<QString>("row"); // previous | incoming | erased | seen | after
    QTest::newRow("written here, gone: back") << "1a 2b | 1a | | r1a w2b | 1a 2b";
    QTest::newRow("only read here") << "1a 2b | 1a | | r1a r2b | 1a";
    QTest::newRow("erased there") << "1a 2b | 1a | 2b | r1a w2b | 1a";
    QTest::newRow("changed there, then erased") << "2b | | 2x | w2b | ";
    QTest::newRow("an older note of the number erased") << "2b | | 2z | r2z w2b | 2b";
    QTest::newRow("an older version came back") << "1a 2c | 1a 2b | | r1a r2b w2c | 1a 2c";
    QTest::newRow("changed there") << "2b | 2c | | w2b | 2c";
    QTest::newRow("moved there") << "2b | 2b* | | w2b | 2b*";
}

void tst_SyncMerge::overwritten()
{
    QFETCH(QString, row);
    const QStringList c = columns(row);
    const Merged result = putBackOverwritten(notes(c[0]), notes(c[1]), notes(c[2]), history(c[3]));
    compareNotes(result.records, c[4]);
    QCOMPARE(result.added.isEmpty(), c[4] == c[1]);
}

void tst_SyncMerge::conflictNames_data()
{
    QTest::addColumn<QString>("row"); // name | original | engine; a name alone is no copy
    QTest::newRow("syncthing") << "MDATA.sync-conflict-20240131-235959-ABCDEF2.INI | MDATA.INI | 0";
    QTest::newRow("any case") << "mdata.sync-conflict-20240131-000000-ZZ2ZZ7Z.ini | MDATA.INI | 0";
    QTest::newRow("erased") << "ERASED.sync-conflict-20240229-120000-ABCDEF2.INI | ERASED.INI | 0";
    QTest::newRow("options") << "pinboa-notes.sync-conflict-20240131-235959-ABCDEF2.ini | "
                                "pinboa-notes.ini | 0";
    QTest::newRow("nextcloud") << "MDATA (conflicted copy 2024-01-31 235959).INI | MDATA.INI | 1";
    QTest::newRow("dropbox") << "MDATA (Hanako's conflicted copy 2024-01-31).INI | MDATA.INI | 2";
    QTest::newRow("dropbox’s") << "pinboa-notes (山田’s conflicted copy 2024-02-29).ini | "
                                  "pinboa-notes.ini | 2";
    for (const char *lookalike : {
             "MDATA.INI",
             "MDATA.sync-conflict-20240131-235959-abcdef2.INI", // device in small letters
             "MDATA.sync-conflict-20240131-235959-ABCDEF.INI",  // six characters
             "MDATA.sync-conflict-20241331-235959-ABCDEF2.INI", // month 13
             "MDATA.sync-conflict-20240131-246000-ABCDEF2.INI", // hour 24
             "MDATA.sync-conflict-20240131-235959-ABCDEF2.INI.bak",
             "MDATA.INI.sync-conflict-20240131-235959-ABCDEF2",
             "XMDATA.sync-conflict-20240131-235959-ABCDEF2.INI",
             "IDDATA.sync-conflict-20240131-235959-ABCDEF2.INI", // not a file of the notes
             "MDATA (conflicted copy 2024-01-31).INI",           // no time
             "MDATA (conflicted copy 2023-02-29 120000).INI",    // no such day
             "MDATA (Hanako's conflicted copy 2024-01-31 120000).INI",
         })
        QTest::newRow(lookalike) << QString::fromUtf8(lookalike);
}

void tst_SyncMerge::conflictNames()
{
    QFETCH(QString, row);
    const QStringList c = columns(row);
    const auto found = conflictCopyOf(c[0]);
    QCOMPARE(found.has_value(), c.size() > 1);
    if (found) {
        QCOMPARE(found->original, c[1]);
        QCOMPARE(int(found->engine), c[2].toInt()); // Syncthing, Nextcloud, Dropbox
    }
}

QTEST_APPLESS_MAIN(tst_SyncMerge)
#include "tst_SyncMerge.moc"

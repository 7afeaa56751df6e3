// The field syntax of MDATA.INI and IDDATA.INI: reading, kinds kept on rewrite, refusals.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/Records.h"
#include "tests/support/Notes.h"

#include <QTest>

using namespace store;
using testsupport::note;

namespace {

// Two notes as the editor writes them: the font size bare (default) and quoted (settings
// dialog confirmed), a text with commas, one with a line break, NEC/IBM characters.
const QByteArray SampleNotes =
    "\"a, b, c\",\"12632256\",\"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E\","
    "12,600,-15,5430,250,0,1\r\n"
    "\"\x87\x40\x87\x8A\x87\x56\xFA\x4C\xFB\xFC\xEE\xE0\r\n2\x8D\x73\x96\xDA\",\"255\","
    "\"\x82\x6C\x82\x72 \x96\xBE\x92\xA9\",\"12\",14.25,1E+3,12.50,.5,65535,2\r\n";

} // namespace

class tst_Records : public QObject
{
    Q_OBJECT

private slots:
    void readsFieldsAndKinds();
    void rewritesUnchangedBytes();
    void writesReplacedValuesInTheirKind();
    void recordsSpanLines();
    void countsLines_data();
    void countsLines();
    void readsLooseSyntax();
    void readsFullWidthSize();
    void skipsDamagedRecords_data();
    void skipsDamagedRecords();
    void runningEntriesKeepKinds();
    void refusesMalformedFiles_data();
    void refusesMalformedFiles();
    void refusesUnstorableText_data();
    void refusesUnstorableText();
};

void tst_Records::readsFieldsAndKinds()
{
    const auto notes = parseNoteRecords(SampleNotes);
    QVERIFY2(notes.ok(), qPrintable(notes.error()));
    QCOMPARE(notes->size(), 2);
    const NoteRecord &first = notes->at(0);
    const NoteRecord &second = notes->at(1);

    QCOMPARE(first.NoteText.toText(), u"a, b, c"_qs);
    QVERIFY(first.NoteText.isText());
    QCOMPARE(first.NoteBackColor.toNumber(), 12632256.0);
    QCOMPARE(first.NoteFontName.toText(), u"ＭＳ Ｐゴシック"_qs);
    QVERIFY(first.NoteFontSize.isNumber());
    QVERIFY(second.NoteFontSize.isText());
    QCOMPARE(first.NoteFontSize.toNumber(), 12.0);
    QCOMPARE(second.NoteFontSize.toNumber(), 12.0);
    QCOMPARE(first.NoteLeft.toNumber(), -15.0);
    QCOMPARE(first.NoteId.toNumber(), 1.0);

    QCOMPARE(second.NoteText.toText(), u"①㈱ⅢⅢ髙髙\r\n2行目"_qs);
    QCOMPARE(second.NoteTop.toNumber(), 14.25);
    QCOMPARE(second.NoteLeft.toNumber(), 1000.0);
    QCOMPARE(second.NoteWidth.toNumber(), 12.5);
    QCOMPARE(second.NoteHeight.toNumber(), 0.5);
    QCOMPARE(second.NoteWidth.toText(), u"12.50"_qs);
}

void tst_Records::rewritesUnchangedBytes()
{
    const auto notes = parseNoteRecords(SampleNotes);
    QVERIFY(notes.ok());
    const auto bytes = serializeNoteRecords(notes.value());
    QVERIFY2(bytes.ok(), qPrintable(bytes.error()));
    QCOMPARE(bytes.value(), SampleNotes);

    // Equal in meaning to the same note made in memory, though the bytes may differ.
    QCOMPARE(notes->at(0).NoteText, Value::text(u"a, b, c"_qs));
    QVERIFY(!(notes->at(0).NoteFontSize == notes->at(1).NoteFontSize)); // 12 is not "12"
}

void tst_Records::writesReplacedValuesInTheirKind()
{
    auto notes = parseNoteRecords(SampleNotes);
    QVERIFY(notes.ok());
    notes.value()[1].NoteTop = Value::number(-120.5);
    notes.value()[1].NoteLeft = Value::number(3000);
    const auto bytes = serializeNoteRecords(notes.value());
    QVERIFY(bytes.ok());
    QByteArray expected = SampleNotes;
    expected.replace("14.25,1E+3,", "-120.5,3000,");
    QCOMPARE(bytes.value(), expected);

    const auto made = serializeNoteRecord(note(7, u"メモ"_qs));
    QVERIFY(made.ok());
    QCOMPARE(made.value(), QByteArray("\"\x83\x81\x83\x82\",\"12632256\",\"\x82\x6C\x82\x72 "
                                      "\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E\",12,600,1200,"
                                      "5430,250,0,7\r\n"));
    NoteRecord quotedSize = note(8, u""_qs);
    quotedSize.NoteFontSize = Value::text(u"10.5"_qs);
    QVERIFY(serializeNoteRecord(quotedSize).value().contains(",\"10.5\",600,"));
    QVERIFY(serializeNoteRecord(quotedSize).value().startsWith("\"\",")); // empty text quoted
}

void tst_Records::recordsSpanLines()
{
    // A record is its number of fields, whatever lines they take; empty lines between records
    // are skipped, and lone CR or LF end lines too.
    const QByteArray bytes = "\r\n\"x\"\r\n\"1\",\"f\",12,1,2,3,4,5\r\n6\n\n"
                             "\"y\",,\"f\",12,1,2,3,4,5,7\r";
    const auto notes = parseNoteRecords(bytes);
    QVERIFY2(notes.ok(), qPrintable(notes.error()));
    QCOMPARE(notes->size(), 2);
    QCOMPARE(notes->at(0).NoteText.toText(), u"x"_qs);
    QCOMPARE(notes->at(0).NoteId.toNumber(), 6.0);
    QCOMPARE(notes->at(1).NoteBackColor.toText(), u""_qs);
    QVERIFY(notes->at(1).NoteBackColor.isNumber()); // an empty bare field stays bare
    QCOMPARE(notes->at(1).NoteId.toNumber(), 7.0);
    QCOMPARE(serializeNoteRecords(notes.value()).value(),
             QByteArray("\"x\",\"1\",\"f\",12,1,2,3,4,5,6\r\n\"y\",,\"f\",12,1,2,3,4,5,7\r\n"));

    // A comma ends a field and so does a line end: ",<CR LF>" leaves an empty field between.
    QVERIFY(!parseNoteRecords("\"x\",\"1\",\"f\",12,1,2,3,4,5,\r\n6\r\n").ok());
}

void tst_Records::countsLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lines");
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one terminated") << QByteArray("a\r\n") << 1;
    QTest::newRow("unterminated last") << QByteArray("a\r\nb") << 2;
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n") << 2;
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc") << 3;
    QTest::newRow("sample: a line break inside a text") << SampleNotes << 3;
    QTest::newRow("0x1A after the last CR LF") << QByteArray("a\r\nb\r\n\x1A") << 2;
    QTest::newRow("0x1A right after the last line") << QByteArray("a\r\nb\x1A") << 2;
    QTest::newRow("lines after 0x1A") << QByteArray("a\r\n\x1A\r\nb\r\n") << 1;
}

void tst_Records::countsLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lines);
    QCOMPARE(countLines(bytes), lines);
}

void tst_Records::readsLooseSyntax()
{
    // Blanks around fields are dropped; the values keep their meaning, a rewrite is tidy.
    const QByteArray bytes = "  \"t\" , \"1\",\"f\", \"12\" ,\t1 ,2,3,4,5, 6 \r\n";
    const auto notes = parseNoteRecords(bytes);
    QVERIFY2(notes.ok(), qPrintable(notes.error()));
    QCOMPARE(notes->size(), 1);
    QCOMPARE(notes->at(0).NoteFontSize.toText(), u"12"_qs);
    QCOMPARE(notes->at(0).NoteId.toNumber(), 6.0);
    QCOMPARE(serializeNoteRecords(notes.value()).value(),
             QByteArray("\"t\",\"1\",\"f\",\"12\",1,2,3,4,5,6\r\n"));
}

void tst_Records::readsFullWidthSize()
{
    // "１２" bare and quoted, as a Japanese input method types it: the size 12, bytes kept.
    const QByteArray bytes = "\"a\",\"1\",\"f\",\x82\x50\x82\x51,1,2,3,4,5,1\r\n"
                             "\"b\",\"1\",\"f\",\"\x82\x50\x82\x51\",1,2,3,4,5,2\r\n";
    const auto notes = parseNoteRecords(bytes);
    QVERIFY2(notes.ok(), qPrintable(notes.error()));
    QCOMPARE(notes->at(0).NoteFontSize.toNumber(), 12.0);
    QCOMPARE(notes->at(1).NoteFontSize.toNumber(), 12.0);
    QCOMPARE(serializeNoteRecords(notes.value()).value(), bytes);
}

void tst_Records::skipsDamagedRecords_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<double>>("ids");
    QTest::addColumn<QList<int>>("badLines");
    auto line = [](const char *id, const char *text = "t") {
        return "\"" + QByteArray(text) + "\",\"1\",\"f\",12,1,2,3,4,5," + id + "\r\n";
    };
    QTest::newRow("all whole") << line("1") + line("2") << QList<double>{1, 2} << QList<int>();
    QTest::newRow("anything after the end mark")
        << line("1") + line("2").chopped(2) + "\x1A\"x\x80" << QList<double>{1, 2} << QList<int>();
    QTest::newRow("a number that is not one")
        << line("1") + line("x") + line("3") << QList<double>{1, 3} << QList<int>{2};
    QTest::newRow("short of a field: the next record stays")
        << line("1") + "\"b\",\"1\",\"f\",12,1,2,3,4,5\r\n" + line("3") << QList<double>{1, 3}
        << QList<int>{2};
    QTest::newRow("damage after a line break in the text")
        << line("1") + line("x", "a\r\nb") + line("4") << QList<double>{1, 4} << QList<int>{2};
    QTest::newRow("bytes that are not code page 932")
        << line("1") + line("2", "\x80") + line("3") + line("4", "\x82\xA0\xFF")
        << QList<double>{1, 3} << QList<int>{2, 4};
    QTest::newRow("a double quote inside a text")
        << line("1", "say \"hi\"") + line("2") << QList<double>{2} << QList<int>{1};
    QTest::newRow("last record cut short")
        << line("1") + line("2").left(20) << QList<double>{1} << QList<int>{2};
}

void tst_Records::skipsDamagedRecords()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<double>, ids);
    QFETCH(QList<int>, badLines);
    const NoteReadout readout = parseNoteRecordsSkippingDamaged(bytes);
    QList<double> read;
    for (const NoteRecord &record : readout.records)
        read.append(*record.NoteId.toNumber());
    QCOMPARE(read, ids);
    QCOMPARE(readout.badLines, badLines);
    // The strict read, which every rewrite uses, refuses the same file.
    QCOMPARE(parseNoteRecords(bytes).ok(), badLines.isEmpty());
}

void tst_Records::runningEntriesKeepKinds()
{
    const QByteArray bytes = "\"5\",\"0\"\r\n\"05\",4711\r\n\"7\",\" 0 \"\r\n";
    auto entries = parseRunningEntries(bytes);
    QVERIFY2(entries.ok(), qPrintable(entries.error()));
    QCOMPARE(entries->size(), 3);
    QCOMPARE(entries->at(1).RunningId.toText(), u"05"_qs);
    QVERIFY(entries->at(0).RunningTaskId.isText());
    QVERIFY(entries->at(1).RunningTaskId.isNumber());
    QCOMPARE(serializeRunningEntries(entries.value()).value(), bytes);

    entries.value()[0].RunningTaskId = Value::number(123456);
    QCOMPARE(serializeRunningEntries(entries.value()).value(),
             QByteArray("\"5\",123456\r\n\"05\",4711\r\n\"7\",\" 0 \"\r\n"));
}

void tst_Records::refusesMalformedFiles_data()
{
    QTest::addColumn<bool>("notes");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    const QByteArray good = "\"a\",\"1\",\"f\",12,1,2,3,4,5,1\r\n";
    QTest::newRow("last record cut short")
        << true << good + "\"b\",\"1\",\"f\",12,1,2,3,4,5" << u"MDATA.INI の 2 行目"_qs;
    QTest::newRow("cut short after a comma")
        << true << good + "\"b\",\"1\",\"f\",12,1,2,3,4,5," << u"2 行目"_qs;
    QTest::newRow("unclosed quote") << true << good + good + "\"text\r\nmore, and more\r\n"
                                    << u"3 行目"_qs;
    QTest::newRow("position not a number")
        << true << good + "\"b\",\"1\",\"f\",12,abc,2,3,4,5,2\r\n"
        << u"上端の位置"_qs;
    QTest::newRow("quoted size not a number")
        << true << QByteArray("\"b\",\"1\",\"f\",\"large\",1,2,3,4,5,2\r\n")
        << u"フォントサイズ"_qs;
    QTest::newRow("empty id") << true << good + "\"b\",\"1\",\"f\",12,1,2,3,4,5,\r\n"
                              << u"2 行目"_qs;
    QTest::newRow("a double quote inside a text")
        << true << good + "\"say \"hi\"\",\"1\",\"f\",12,1,2,3,4,5,2\r\n"
        << u"2 行目"_qs;
    QTest::newRow("more fields than a record holds")
        << true << good + "\"b\",\"1\",\"f\",12,1,2,3,4,5,2,\"c\"\r\n"
        << u"2 行目"_qs;
    QTest::newRow("bytes that are not code page 932")
        << true << good + "\"\x80\",\"1\",\"f\",12,1,2,3,4,5,2\r\n"
        << u"2 行目"_qs;
    QTest::newRow("undefined pair on a continued line")
        << true << QByteArray("\"a\r\nb\x85\x40\",\"1\",\"f\",12,1,2,3,4,5,2\r\n") << u"2 行目"_qs;
    QTest::newRow("entry cut short")
        << false << QByteArray("\"5\",\"0\"\r\n\"6\"\r\n") << u"IDDATA.INI の 2 行目"_qs;
    QTest::newRow("task id not a number")
        << false << QByteArray("\"5\",\"zero\"\r\n") << u"タスク番号"_qs;
}

void tst_Records::refusesMalformedFiles()
{
    QFETCH(bool, notes);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    const QString error =
        notes ? parseNoteRecords(bytes).error() : parseRunningEntries(bytes).error();
    QVERIFY2(!error.isEmpty(), "a malformed file was read as whole");
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY2(error.contains(notes ? u"MDATA.INI"_qs : u"IDDATA.INI"_qs), qPrintable(error));
}

void tst_Records::refusesUnstorableText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("double quote") << u"say \"hi\""_qs << u"\""_qs;
    QTest::newRow("yen") << u"100¥"_qs << u"U+00A5"_qs;
    QTest::newRow("emoji") << u"🍣"_qs << u"🍣"_qs;
}

void tst_Records::refusesUnstorableText()
{
    QFETCH(QString, text);
    QFETCH(QString, named);
    const NoteRecord inText = note(1, text);
    NoteRecord inFont = note(2, u"ok"_qs);
    inFont.NoteFontName = Value::text(text);
    for (const NoteRecord &bad : {inText, inFont}) {
        const auto one = serializeNoteRecord(bad);
        QVERIFY(!one.ok());
        QVERIFY2(one.error().contains(named), qPrintable(one.error()));
        QVERIFY(!serializeNoteRecords({note(3, u"fine"_qs), bad}).ok());
    }
    QVERIFY(!serializeRunningEntries({RunningEntry{Value::text(text), Value::text(u"0"_qs)}}).ok());
}

QTEST_APPLESS_MAIN(tst_Records)
#include "tst_Records.moc"

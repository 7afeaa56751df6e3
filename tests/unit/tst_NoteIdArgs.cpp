// Note identifiers (choosing and comparing) and the note argument string.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "tests/support/Notes.h"

#include <QTest>

using namespace store;

namespace {

NoteRecord noteWithId(const Value &id)
{
    NoteRecord r;
    r.NoteId = id;
    return r;
}

QList<NoteRecord> notesWithIds(std::initializer_list<double> ids)
{
    QList<NoteRecord> records;
    for (double id : ids)
        records.append(noteWithId(Value::number(id)));
    return records;
}

// The example note: text "a" at 100, 100 twips, 5430 by 250, identifier 7.
NoteRecord exampleNote()
{
    NoteRecord r = testsupport::noteAt(7, 100, 100);
    r.NoteText = Value::text(u"a"_qs);
    return r;
}

const QString ExampleArgs =
    u"a/\\/12632256/\\/ＭＳ Ｐゴシック/\\/12/\\/100/\\/100/\\/5430/\\/250/\\/0/\\/7"_qs;

} // namespace

class tst_NoteIdArgs : public QObject
{
    Q_OBJECT

private slots:
    void choosesTheNextUnusedId();
    void matchesRecordAgainstEntry();
    void matchesOwnIdAgainstRecord_data();
    void matchesOwnIdAgainstRecord();
    void takesNumericValue_data();
    void takesNumericValue();
    void roundsHalfToEven_data();
    void roundsHalfToEven();
    void encodesExampleNote();
    void refusesSeparatorInField();
    void decodesArgumentStrings();
    void refusesTooFewFields();
    void convertsFullWidthSize();
};

void tst_NoteIdArgs::choosesTheNextUnusedId()
{
    QCOMPARE(chooseNewNoteId(0, {}), qint64(1));
    QCOMPARE(chooseNewNoteId(3, notesWithIds({1, 2, 3})), qint64(4));
    QCOMPARE(chooseNewNoteId(2, notesWithIds({1, 3})), qint64(4)); // note 2 was erased
    QCOMPARE(chooseNewNoteId(1, notesWithIds({3, 2})), qint64(4)); // restarts each pass
    QCOMPARE(chooseNewNoteId(4, notesWithIds({1, 2})), qint64(5)); // a text spans two lines
    // A quoted identifier counts by its number; one that is no number blocks nothing.
    QList<NoteRecord> mixed{noteWithId(Value::text(u"2"_qs)), noteWithId(Value::text(u"x"_qs))};
    QCOMPARE(chooseNewNoteId(1, mixed), qint64(3));
}

void tst_NoteIdArgs::matchesRecordAgainstEntry()
{
    QVERIFY(recordMatchesEntry(Value::number(10), u"10"_qs));
    QVERIFY(!recordMatchesEntry(Value::number(10), u"1"_qs));
    QVERIFY(!recordMatchesEntry(Value::number(1), u"10"_qs));
    QVERIFY(!recordMatchesEntry(Value::number(12), u"012"_qs));
    QVERIFY(!recordMatchesEntry(Value::number(5), u"05"_qs));
    QVERIFY(!recordMatchesEntry(Value::number(5), u" 5"_qs));
    // A bare number read as "5.0" is the number 5, whose text is "5".
    QVERIFY(recordMatchesEntry(Value::fromFile(Kind::Number, u"5.0"_qs, "5.0"), u"5"_qs));
    // A quoted identifier is compared as the text it is.
    QVERIFY(recordMatchesEntry(Value::text(u"05"_qs), u"05"_qs));
    QVERIFY(!recordMatchesEntry(Value::text(u"05"_qs), u"5"_qs));

    QVERIFY(ownIdMatchesEntry(u"05"_qs, u"05"_qs));
    QVERIFY(!ownIdMatchesEntry(u"05"_qs, u"5"_qs));
    QVERIFY(!ownIdMatchesEntry(u"5"_qs, u"05"_qs));
}

void tst_NoteIdArgs::matchesOwnIdAgainstRecord_data()
{
    QTest::addColumn<QString>("ownId");
    QTest::addColumn<Value>("noteId");
    QTest::addColumn<bool>("matches");
    QTest::newRow("05 vs 5") << u"05"_qs << Value::number(5) << true;
    QTest::newRow("05 vs \"5\"") << u"05"_qs << Value::text(u"5"_qs) << true;
    QTest::newRow("5 vs \"05\"") << u"5"_qs << Value::text(u"05"_qs) << true;
    QTest::newRow("5 vs 6") << u"5"_qs << Value::number(6) << false;
    QTest::newRow("7abc vs 7") << u"7abc"_qs << Value::number(7) << true;
    QTest::newRow("2.5 vs 2") << u"2.5"_qs << Value::number(2) << true;
    QTest::newRow("3.5 vs 4") << u"3.5"_qs << Value::number(4) << true;
    QTest::newRow("2.6 vs 3") << u"2.6"_qs << Value::number(3) << true;
    QTest::newRow("x vs 0") << u"x"_qs << Value::number(0) << true;
    QTest::newRow("x vs 1") << u"x"_qs << Value::number(1) << false;
    QTest::newRow("no number in the record") << u"1"_qs << Value::text(u"one"_qs) << false;
    QTest::newRow("fractional record") << u"2.5"_qs << Value::number(2.5) << false;
}

void tst_NoteIdArgs::matchesOwnIdAgainstRecord()
{
    QFETCH(QString, ownId);
    QFETCH(Value, noteId);
    QFETCH(bool, matches);
    QCOMPARE(ownIdMatchesRecord(ownId, noteId), matches);
}

void tst_NoteIdArgs::takesNumericValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("05") << u"05"_qs << 5.0;
    QTest::newRow("7abc") << u"7abc"_qs << 7.0;
    QTest::newRow("2.5") << u"2.5"_qs << 2.5;
    QTest::newRow("blanks") << u"  12"_qs << 12.0;
    QTest::newRow("sign") << u"-3"_qs << -3.0;
    QTest::newRow("x") << u"x"_qs << 0.0;
    QTest::newRow("empty") << u""_qs << 0.0;
    QTest::newRow("sign alone") << u"-"_qs << 0.0;
    QTest::newRow("two points") << u"1.2.3"_qs << 1.2;
}

void tst_NoteIdArgs::takesNumericValue()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(idNumericValue(text), value);
}

void tst_NoteIdArgs::roundsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("rounded");
    QTest::newRow("0.5") << 0.5 << qint64(0);
    QTest::newRow("1.5") << 1.5 << qint64(2);
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4);
    QTest::newRow("2.4999") << 2.4999 << qint64(2);
    QTest::newRow("2.5001") << 2.5001 << qint64(3);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("-3.5") << -3.5 << qint64(-4);
    QTest::newRow("-1.2") << -1.2 << qint64(-1);
    QTest::newRow("7") << 7.0 << qint64(7);
}

void tst_NoteIdArgs::roundsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(qint64, rounded);
    QCOMPARE(roundHalfEven(value), rounded);
}

void tst_NoteIdArgs::encodesExampleNote()
{
    const auto args = EncodeNoteArgs(exampleNote());
    QVERIFY2(args.ok(), qPrintable(args.error()));
    QCOMPARE(args.value(), ExampleArgs);

    // Line breaks and double quotes travel unchanged; numbers read from a file go in plain
    // decimal; an empty message leaves the string starting with the separator.
    NoteRecord note = exampleNote();
    note.NoteText = Value::text(u""_qs);
    note.NoteFontSize = Value::fromFile(Kind::Number, u"10.50"_qs, "10.50");
    note.NoteTop = Value::fromFile(Kind::Number, u"1E+3"_qs, "1E+3");
    note.NoteLeft = Value::number(-15);
    QCOMPARE(EncodeNoteArgs(note).value(),
             u"/\\/12632256/\\/ＭＳ Ｐゴシック/\\/10.5/\\/1000/\\/-15/\\/5430/\\/250/\\/0/\\/7"_qs);
    note.NoteText = Value::text(u"say \"hi\"\r\nbye"_qs);
    QVERIFY(EncodeNoteArgs(note).value().startsWith(u"say \"hi\"\r\nbye/\\/"_qs));
}

void tst_NoteIdArgs::refusesSeparatorInField()
{
    NoteRecord note = exampleNote();
    note.NoteText = Value::text(u"path a/\\/b"_qs);
    auto args = EncodeNoteArgs(note);
    QVERIFY(!args.ok());
    QVERIFY2(args.error().contains(u"メッセージ"_qs), qPrintable(args.error()));

    note = exampleNote();
    note.NoteFontName = Value::text(u"/\\/"_qs);
    args = EncodeNoteArgs(note);
    QVERIFY(!args.ok());
    QVERIFY2(args.error().contains(u"フォント名"_qs), qPrintable(args.error()));

    // Near misses are not the separator.
    note = exampleNote();
    note.NoteText = Value::text(u"/\\ / \\/\\"_qs);
    QVERIFY(EncodeNoteArgs(note).ok());

    // A string the system would not pass as one argument: named with its limit. Japanese
    // characters count three bytes each there.
    note.NoteText = Value::text(QString(43000, QChar(u'付')));
    QVERIFY(EncodeNoteArgs(note).ok());
    note.NoteText = Value::text(QString(45000, QChar(u'付')));
    args = EncodeNoteArgs(note);
    QVERIFY(!args.ok());
    QVERIFY2(args.error().contains(QString::number(MaxNoteArgsBytes)), qPrintable(args.error()));
}

void tst_NoteIdArgs::decodesArgumentStrings()
{
    auto decoded = DecodeNoteArgs(ExampleArgs);
    QVERIFY2(decoded.ok(), qPrintable(decoded.error()));
    QVERIFY(decoded->has_value());
    QCOMPARE(**decoded,
             QStringList({u"a"_qs, u"12632256"_qs, u"ＭＳ Ｐゴシック"_qs, u"12"_qs, u"100"_qs,
                          u"100"_qs, u"5430"_qs, u"250"_qs, u"0"_qs, u"7"_qs}));

    // Empty: there is no note.
    decoded = DecodeNoteArgs(QString());
    QVERIFY(decoded.ok());
    QVERIFY(!decoded->has_value());

    // An empty message, a line break inside it.
    decoded = DecodeNoteArgs(u"/\\/1/\\/f/\\/12/\\/1/\\/2/\\/3/\\/4/\\/0/\\/05"_qs);
    QVERIFY(decoded.ok());
    QCOMPARE((**decoded).first(), QString());
    QCOMPARE((**decoded).last(), u"05"_qs);
    decoded = DecodeNoteArgs(u"x\r\ny/\\/1/\\/f/\\/12/\\/1/\\/2/\\/3/\\/4/\\/0/\\/5"_qs);
    QCOMPARE((**decoded).first(), u"x\r\ny"_qs);

    // Eleven or more fields: the first ten.
    decoded = DecodeNoteArgs(ExampleArgs + u"/\\/extra/\\/more"_qs);
    QVERIFY(decoded.ok());
    QCOMPARE((**decoded).size(), 10);
    QCOMPARE((**decoded).last(), u"7"_qs);

    // Occurrences are taken from the left without overlap: "/\/\/" is one separator then "\/".
    decoded = DecodeNoteArgs(u"a/\\/\\/b/\\/c/\\/d/\\/e/\\/f/\\/g/\\/h/\\/i/\\/j"_qs);
    QVERIFY(decoded.ok());
    QCOMPARE((**decoded).at(1), u"\\/b"_qs);
}

void tst_NoteIdArgs::refusesTooFewFields()
{
    // Nine fields: eight separators.
    const QString nine = ExampleArgs.left(ExampleArgs.lastIndexOf(u"/\\/"_qs));
    const auto decoded = DecodeNoteArgs(nine);
    QVERIFY(!decoded.ok());
    QVERIFY2(decoded.error().contains(u"9 個"_qs), qPrintable(decoded.error()));
    QVERIFY(!DecodeNoteArgs(u"just a text"_qs).ok());
}

void tst_NoteIdArgs::convertsFullWidthSize()
{
    // A size typed with full-width digits and read from the file as it stands.
    QStringList fields = **DecodeNoteArgs(ExampleArgs);
    fields[NoteRecord::FontSize] = u"１０．５"_qs;
    const auto note = convertNoteFields(fields);
    QVERIFY2(note.ok(), qPrintable(note.error()));
    QCOMPARE(note->fontSize, 10.5f);
    fields[NoteRecord::FontSize] = u"１２ｐｔ"_qs;
    QVERIFY(convertNoteFields(fields).error().contains(u"フォントサイズ"_qs));
}

QTEST_APPLESS_MAIN(tst_NoteIdArgs)
#include "tst_NoteIdArgs.moc"

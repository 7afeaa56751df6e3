// Code page 932 text and the number forms of the data files.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/Cp932.h"
#include "store/Value.h"

#include <QTest>

using namespace store;

namespace {

// The bytes decoded as a reader decodes a field.
std::optional<QString> decodeWhole(const QByteArray &bytes)
{
    cp932::Decoder decoder;
    return decoder.decode(bytes.constData(), bytes.size());
}

} // namespace

class tst_Codec : public QObject
{
    Q_OBJECT

private slots:
    void encodesWindowsBestFit_data();
    void encodesWindowsBestFit();
    void encodesOrdinaryCharacters();
    void decodesBothCodesOfDoubleCodedCharacters();
    void refusesCharactersThatWouldChange_data();
    void refusesCharactersThatWouldChange();
    void refusesInvalidBytes_data();
    void refusesInvalidBytes();
    void formatsShortestPlainDecimal_data();
    void formatsShortestPlainDecimal();
    void parsesNumberForms_data();
    void parsesNumberForms();
    void writesPlacesInSinglePrecision_data();
    void writesPlacesInSinglePrecision();
};

void tst_Codec::encodesWindowsBestFit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wave dash") << QString(QChar(0x301C)) << QByteArray("\x81\x60");
    QTest::newRow("double vertical line") << QString(QChar(0x2016)) << QByteArray("\x81\x61");
    QTest::newRow("minus sign") << QString(QChar(0x2212)) << QByteArray("\x81\x7C");
    QTest::newRow("cent") << QString(QChar(0x00A2)) << QByteArray("\x81\x91");
    QTest::newRow("pound") << QString(QChar(0x00A3)) << QByteArray("\x81\x92");
    QTest::newRow("not sign") << QString(QChar(0x00AC)) << QByteArray("\x81\xCA");
}

void tst_Codec::encodesWindowsBestFit()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const auto encoded = cp932::encode(u"a"_qs + text + u"b"_qs);
    QVERIFY2(encoded.ok(), qPrintable(encoded.error()));
    QCOMPARE(encoded.value(), "a" + bytes + "b");
}

void tst_Codec::encodesOrdinaryCharacters()
{
    const auto encoded = cp932::encode(u"あ①㈱ｱ\\~ＭＳ Ｐゴシック\r\n"_qs);
    QVERIFY2(encoded.ok(), qPrintable(encoded.error()));
    QCOMPARE(encoded.value(), QByteArray("\x82\xA0\x87\x40\x87\x8A\xB1\\~"
                                         "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62"
                                         "\x83\x4E\r\n"));
    const auto back = decodeWhole(encoded.value());
    QVERIFY(back);
    QCOMPARE(*back, u"あ①㈱ｱ\\~ＭＳ Ｐゴシック\r\n"_qs);
}

void tst_Codec::decodesBothCodesOfDoubleCodedCharacters()
{
    // NEC row 13 and IBM extension codes of the same characters, as Windows files hold them.
    const QByteArray bytes("\x87\x56\xFA\x4C"           // Ⅲ Ⅲ
                           "\xFB\xFC\xEE\xE0"           // 髙 髙
                           "\x81\xCA\xEE\xF9\xFA\x54"); // ￢ ￢ ￢
    const auto text = decodeWhole(bytes);
    QVERIFY(text);
    QCOMPARE(*text, u"ⅢⅢ髙髙￢￢￢"_qs);
}

void tst_Codec::refusesCharactersThatWouldChange_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("code");
    // glibc best-fits these onto "\" and "~"; stored, they would come back as other characters.
    QTest::newRow("yen") << QString(QChar(0x00A5)) << u"U+00A5"_qs;
    QTest::newRow("overline") << QString(QChar(0x203E)) << u"U+203E"_qs;
    QTest::newRow("emoji") << u"😀"_qs << u"U+1F600"_qs;
    QTest::newRow("hangul") << u"한"_qs << u"U+D55C"_qs;
}

void tst_Codec::refusesCharactersThatWouldChange()
{
    QFETCH(QString, character);
    QFETCH(QString, code);
    const auto encoded = cp932::encode(u"メモ"_qs + character + u"です"_qs);
    QVERIFY(!encoded.ok());
    QVERIFY2(encoded.error().contains(code), qPrintable(encoded.error()));
    QVERIFY2(encoded.error().contains(character), qPrintable(encoded.error()));
    // The first one is named.
    QVERIFY(!cp932::encode(u"ok"_qs + character + u"😀"_qs).error().contains(u"U+1F600"_qs) ||
            code == u"U+1F600"_qs);
}

void tst_Codec::refusesInvalidBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("offset");
    QTest::newRow("80") << QByteArray("ab\x80") << qsizetype(2);
    QTest::newRow("A0") << QByteArray("\xA0") << qsizetype(0);
    QTest::newRow("FD") << QByteArray("x\xFD") << qsizetype(1);
    QTest::newRow("FF") << QByteArray("\x82\xA0\xFF") << qsizetype(2);
    QTest::newRow("undefined pair") << QByteArray("ab\x85\x40") << qsizetype(2);
    QTest::newRow("cut-off lead byte") << QByteArray("\x82\xA0\x82") << qsizetype(2);
    QTest::newRow("lead byte before comma") << QByteArray("\x82,") << qsizetype(0);
}

void tst_Codec::refusesInvalidBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, offset);
    QCOMPARE(cp932::firstInvalidOffset(bytes), offset);
    QVERIFY(!decodeWhole(bytes));
    QCOMPARE(cp932::firstInvalidOffset("abc\x82\xA0"), qsizetype(-1));
}

void tst_Codec::formatsShortestPlainDecimal_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("600") << 600.0 << u"600"_qs;
    QTest::newRow("14.25") << 14.25 << u"14.25"_qs;
    QTest::newRow("-15") << -15.0 << u"-15"_qs;
    QTest::newRow("10.5") << 10.5 << u"10.5"_qs;
    QTest::newRow("colour") << 12632256.0 << u"12632256"_qs;
    QTest::newRow("single 0.1") << double(0.1f) << u"0.1"_qs;
    QTest::newRow("double 0.1") << 0.1 << u"0.1"_qs;
    QTest::newRow("no exponent") << 1e20 << u"100000000000000000000"_qs;
    QTest::newRow("small") << double(1e-7f) << u"0.0000001"_qs;
    QTest::newRow("minus zero") << -0.0 << u"0"_qs;
}

void tst_Codec::formatsShortestPlainDecimal()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatNumber(value), text);
}

void tst_Codec::parsesNumberForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::newRow("600") << u"600"_qs << true << 600.0;
    QTest::newRow("-15") << u"-15"_qs << true << -15.0;
    QTest::newRow("14.25") << u"14.25"_qs << true << 14.25;
    QTest::newRow(".5") << u".5"_qs << true << 0.5;
    QTest::newRow("-.5") << u"-.5"_qs << true << -0.5;
    QTest::newRow("5.") << u"5."_qs << true << 5.0;
    QTest::newRow("1E+3") << u"1E+3"_qs << true << 1000.0;
    QTest::newRow("2.5e-1") << u"2.5e-1"_qs << true << 0.25;
    QTest::newRow("blanks") << u" \t12 "_qs << true << 12.0;
    QTest::newRow("leading zero") << u"012"_qs << true << 12.0;
    QTest::newRow("empty") << u""_qs << false << 0.0;
    QTest::newRow("blank") << u"  "_qs << false << 0.0;
    QTest::newRow("letters") << u"abc"_qs << false << 0.0;
    QTest::newRow("trailing letters") << u"12abc"_qs << false << 0.0;
    QTest::newRow("lone point") << u"."_qs << false << 0.0;
    QTest::newRow("lone sign") << u"-"_qs << false << 0.0;
    QTest::newRow("bare exponent") << u"1E"_qs << false << 0.0;
    QTest::newRow("two points") << u"1.2.3"_qs << false << 0.0;
    QTest::newRow("thousands") << u"1,000"_qs << false << 0.0;
    QTest::newRow("inner blank") << u"1 2"_qs << false << 0.0;
    QTest::newRow("overflow") << u"1E+999"_qs << false << 0.0;
    QTest::newRow("full-width digits") << u"１２"_qs << true << 12.0;
    QTest::newRow("full-width fraction, sign") << u" －１０．５"_qs << true << -10.5;
    QTest::newRow("full-width and letters") << u"１２ｐｔ"_qs << false << 0.0;
}

void tst_Codec::parsesNumberForms()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const auto parsed = parseNumber(text);
    QCOMPARE(parsed.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*parsed, value);
}

void tst_Codec::writesPlacesInSinglePrecision_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<QString>("text");
    // 142 and 1 pixels at 168 DPI (8.571428... twips each), 183 at 144 DPI.
    QTest::newRow("168 DPI") << 142 * 1440.0 / 168 << u"1217.143"_qs;
    QTest::newRow("168 DPI, one pixel") << 1440.0 / 168 << u"8.571429"_qs;
    QTest::newRow("negative") << -1440.0 / 168 * 7 << u"-60"_qs;
    QTest::newRow("large") << 123456789.0 << u"123456800"_qs;
}

void tst_Codec::writesPlacesInSinglePrecision()
{
    QFETCH(double, twips);
    QFETCH(QString, text);
    const Value place = Value::single(twips);
    QCOMPARE(place.toText(), text);
    QCOMPARE(*place.toNumber(), double(float(*place.toNumber()))); // a single-precision value
}

QTEST_APPLESS_MAIN(tst_Codec)
#include "tst_Codec.moc"

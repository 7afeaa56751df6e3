// A field value of MDATA.INI or IDDATA.INI: quoted text or a bare number, kept in the kind it was
// read with.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <optional>

namespace store {

enum class Kind
{
    Text,
    Number
};

class Value
{
public:
    Value() = default;

    static Value text(const QString &text);
    static Value number(double number);
    // A place or size of a note record: single precision, as the older tool held it, and so never
    // more than 7 significant digits in the file (1217.143 where 1440 / 168 DPI gives
    // 1217.142857142857). Every position or size stored in a record is made with this.
    static Value single(double number);
    // A value as the reader found it: `raw` is the field's bytes in the file (without the quotes
    // of a text), written back unchanged as long as the value is not replaced, so that a rewrite
    // keeps every byte of what it did not change (a code page 932 character with two codes, a
    // number written "12.50").
    static Value fromFile(Kind kind, const QString &text, const QByteArray &raw);
    // The same for a field of ASCII bytes only, whose text is those bytes: the text is made
    // only when asked for, which keeps reading a large file quick.
    static Value fromAsciiFile(Kind kind, const QByteArray &raw);

    bool isText() const { return m_kind == Kind::Text; }
    bool isNumber() const { return m_kind == Kind::Number; }

    // The text form: the text of a text value, the number's text of a bare number (as read, or
    // the shortest plain decimal for a number made in memory).
    QString toText() const;
    // The number a value holds: a bare number, or a text that has the form of a number
    // (" 12 ", "14.25", "-15"). Nothing for any other text.
    std::optional<double> toNumber() const;

    // Bytes as read from the file; empty for a value made in memory.
    const QByteArray &raw() const { return m_raw; }
    // True when the value is written back from raw() rather than from its text or number.
    bool keepsRaw() const { return m_fromFile; }

    bool operator==(const Value &other) const;

private:
    Kind m_kind = Kind::Text;
    QString m_text;
    double m_number = 0;
    QByteArray m_raw;
    bool m_hasNumber = false; // a bare value that has the form of a number
    bool m_fromFile = false;
    bool m_textIsRaw = false; // the text is the ASCII bytes of m_raw
};

} // namespace store

Q_DECLARE_TYPEINFO(store::Value, Q_RELOCATABLE_TYPE);

namespace store {

// The shortest plain decimal text that reads back to the same single-precision value, or the same
// double when the value is not a single-precision one: no exponent, no "+", no trailing ".0"
// (600, 14.25, -15, 12632256).
QString formatNumber(double value);

// Parses the number form of a field ("600", "-15", "14.25", ".5", "1E+3", blanks around it
// allowed). Full-width digits, point and signs, as a Japanese input method types them, are the
// characters they stand for ("１２" is 12). Nothing when the text is not wholly a number.
std::optional<double> parseNumber(QStringView text);
std::optional<double> parseNumber(QLatin1StringView text);

} // namespace store

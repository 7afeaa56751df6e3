// A field value of the data files, kept in the kind and with the bytes it was read with.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Value.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace store {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The ASCII form of a full-width digit, point or sign ("１" -> "1"); any other character as it is.
QChar narrow(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= u'０' && u <= u'９') || u == u'．' || u == u'＋' || u == u'－')
        return QChar(char16_t(u - (u'０' - u'0')));
    return c;
}

} // namespace

Value Value::text(const QString &text)
{
    Value v;
    v.m_kind = Kind::Text;
    v.m_text = text;
    return v;
}

Value Value::number(double number)
{
    Value v;
    v.m_kind = Kind::Number;
    v.m_number = number;
    v.m_hasNumber = true;
    v.m_text = formatNumber(number);
    return v;
}

Value Value::single(double number)
{
    if (!std::isfinite(number) || std::abs(number) > std::numeric_limits<float>::max())
        return Value::number(number);
    // 7 significant digits first, then the nearest single: that single's shortest form, which is
    // what is written, has at most those 7 digits.
    char buffer[32];
    const auto printed =
        std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific, 6);
    double rounded = number;
    std::from_chars(buffer, printed.ptr, rounded);
    return Value::number(double(float(rounded)));
}

Value Value::fromFile(Kind kind, const QString &text, const QByteArray &raw)
{
    Value v;
    v.m_kind = kind;
    v.m_text = text;
    v.m_raw = raw;
    // A caller that hands text without its bytes gets the text encoded when it is written.
    v.m_fromFile = !(raw.isEmpty() && !text.isEmpty());
    if (kind == Kind::Number) {
        if (const auto n = parseNumber(text)) {
            v.m_number = *n;
            v.m_hasNumber = true;
        }
    }
    return v;
}

Value Value::fromAsciiFile(Kind kind, const QByteArray &raw)
{
    Value v;
    v.m_kind = kind;
    v.m_raw = raw;
    v.m_fromFile = true;
    v.m_textIsRaw = true;
    if (kind == Kind::Number) {
        if (const auto n = parseNumber(QLatin1StringView(raw))) {
            v.m_number = *n;
            v.m_hasNumber = true;
        }
    }
    return v;
}

QString Value::toText() const
{
    return m_textIsRaw ? QString::fromLatin1(m_raw) : m_text;
}

std::optional<double> Value::toNumber() const
{
    if (m_kind == Kind::Number)
        return m_hasNumber ? std::optional<double>(m_number) : std::nullopt;
    if (m_textIsRaw)
        return parseNumber(QLatin1StringView(m_raw));
    return parseNumber(m_text);
}

bool Value::operator==(const Value &other) const
{
    if (m_kind != other.m_kind)
        return false;
    if (m_kind == Kind::Number && m_hasNumber && other.m_hasNumber)
        return m_number == other.m_number;
    return m_hasNumber == other.m_hasNumber && toText() == other.toText();
}

QString formatNumber(double value)
{
    if (!std::isfinite(value) || value == 0)
        return QStringLiteral("0"); // also turns -0 into 0
    // Large enough for the longest fixed form of a double (about 330 digits before the point,
    // 1075 after it).
    char buffer[1500];
    std::to_chars_result result;
    const float single = static_cast<float>(value);
    if (std::isfinite(single) && static_cast<double>(single) == value)
        result = std::to_chars(buffer, buffer + sizeof buffer, single, std::chars_format::fixed);
    else
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QStringLiteral("0");
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

namespace {

template <typename Text> std::optional<double> parseNumberText(Text text)
{
    auto at = [&](qsizetype i) { return narrow(QChar(text[i])); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(at(begin)))
        ++begin;
    while (end > begin && isBlank(at(end - 1)))
        --end;

    // [sign] (digits [. digits] | . digits) [E [sign] digits], copied without a "+" for
    // from_chars; a number too long for the buffer is no number a writer would make.
    char plain[128];
    int length = 0;
    auto put = [&](QChar c) {
        if (length < int(sizeof plain))
            plain[length] = char(c.unicode());
        ++length;
    };
    qsizetype i = begin;
    if (i < end && (at(i) == u'+' || at(i) == u'-')) {
        if (at(i) == u'-')
            put(u'-');
        ++i;
    }
    int mantissaDigits = 0;
    while (i < end && isDigit(at(i))) {
        put(at(i++));
        ++mantissaDigits;
    }
    if (i < end && at(i) == u'.') {
        put(at(i++));
        while (i < end && isDigit(at(i))) {
            put(at(i++));
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < end && (at(i) == u'E' || at(i) == u'e')) {
        put(u'e');
        ++i;
        if (i < end && (at(i) == u'+' || at(i) == u'-'))
            put(at(i++));
        int exponentDigits = 0;
        while (i < end && isDigit(at(i))) {
            put(at(i++));
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != end || length > int(sizeof plain))
        return std::nullopt;

    double value = 0;
    const auto result = std::from_chars(plain, plain + length, value);
    if (result.ec != std::errc() || result.ptr != plain + length || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<double> parseNumber(QStringView text)
{
    return parseNumberText(text);
}

std::optional<double> parseNumber(QLatin1StringView text)
{
    return parseNumberText(text);
}

} // namespace store

// Code page 932 through glibc's iconv, which applies Windows' best-fit where we want it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Cp932.h"

#include <QList>
#include <cerrno>
#include <iconv.h>

namespace store::cp932 {

namespace {

const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

// The best-fit mappings that Windows applies and that we accept: the JIS-variant code points that
// Linux input methods type for characters code page 932 holds under another code point.
bool isAcceptedBestFit(char32_t c)
{
    switch (c) {
    case 0x301C: // wave dash -> 8160
    case 0x2016: // double vertical line -> 8161
    case 0x2212: // minus sign -> 817C
    case 0x00A2: // cent -> 8191
    case 0x00A3: // pound -> 8192
    case 0x00AC: // not sign -> 81CA
        return true;
    default:
        return false;
    }
}

class Converter
{
public:
    Converter(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (m_cd != NoConverter)
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Converts all of `in`; on failure returns false and sets `badOffset` to where the input stopped.
bool convert(iconv_t cd, const char *data, size_t size, QByteArray &out, size_t outFactor,
             qsizetype *badOffset = nullptr)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(qsizetype(size * outFactor + 8));
    char *in = const_cast<char *>(data);
    size_t inLeft = size;
    char *o = out.data();
    size_t outLeft = size_t(out.size());
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == size_t(-1)) {
            if (errno == E2BIG) {
                const qsizetype used = o - out.data();
                out.resize(out.size() * 2);
                o = out.data() + used;
                outLeft = size_t(out.size() - used);
                continue;
            }
            if (badOffset)
                *badOffset = in - data;
            return false;
        }
    }
    if (iconv(cd, nullptr, nullptr, &o, &outLeft) == size_t(-1)) {
        if (badOffset)
            *badOffset = in - data;
        return false;
    }
    out.resize(o - out.data());
    return true;
}

} // namespace

QString describe(char32_t c)
{
    const QString hex = QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
    if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF))
        return QStringLiteral("U+%1").arg(hex);
    return QStringLiteral("「%1」（U+%2）").arg(QString::fromUcs4(&c, 1), hex);
}

namespace {

struct EncodeOutcome
{
    QByteArray bytes;
    bool ok = true;
    char32_t bad = 0;
};

EncodeOutcome encodeText(const QString &text)
{
    EncodeOutcome outcome;
    outcome.bytes.reserve(text.size() * 2);
    Converter toCp932("CP932", "UTF-8");
    Converter fromCp932("UTF-8", "CP932");
    if (toCp932.get() == NoConverter || fromCp932.get() == NoConverter) {
        outcome.ok = false;
        return outcome;
    }
    const QList<uint> codePoints = text.toUcs4();
    for (const uint cp : codePoints) {
        const char32_t c = cp;
        if (c < 0x80) { // ASCII is the same in code page 932
            outcome.bytes += char(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) { // a lone surrogate
            outcome.ok = false;
            outcome.bad = c;
            return outcome;
        }
        const QByteArray utf8 = QString::fromUcs4(&c, 1).toUtf8();
        QByteArray encoded;
        QByteArray back;
        bool ok = convert(toCp932.get(), utf8.constData(), size_t(utf8.size()), encoded, 2);
        if (ok && !isAcceptedBestFit(c)) {
            // glibc also best-fits characters such as the yen sign onto ASCII; a character that
            // does not come back as itself would change the user's text, so it is refused.
            ok = convert(fromCp932.get(), encoded.constData(), size_t(encoded.size()), back, 3) &&
                 back == utf8;
        }
        if (!ok) {
            outcome.ok = false;
            outcome.bad = c;
            return outcome;
        }
        outcome.bytes += encoded;
    }
    return outcome;
}

} // namespace

Result<QByteArray> encode(const QString &text)
{
    EncodeOutcome outcome = encodeText(text);
    if (outcome.ok)
        return std::move(outcome.bytes);
    if (outcome.bad == 0)
        return Error{QStringLiteral("文字コードの変換機能（CP932）を使えません。")};
    return Error{QStringLiteral("%1 は Shift_JIS（コードページ 932）で保存できない文字です。")
                     .arg(describe(outcome.bad))};
}

qsizetype firstInvalidOffset(const QByteArray &bytes)
{
    // Pure ASCII is always valid; most files are mostly ASCII.
    qsizetype firstHigh = 0;
    while (firstHigh < bytes.size() && uchar(bytes[firstHigh]) < 0x80)
        ++firstHigh;
    if (firstHigh == bytes.size())
        return -1;
    Converter fromCp932("UTF-8", "CP932");
    if (fromCp932.get() == NoConverter)
        return 0;
    QByteArray out;
    qsizetype bad = -1;
    if (convert(fromCp932.get(), bytes.constData() + firstHigh, size_t(bytes.size() - firstHigh),
                out, 3, &bad))
        return -1;
    return firstHigh + bad;
}

Decoder::Decoder() : m_cd(iconv_open("UTF-8", "CP932")) {}

Decoder::~Decoder()
{
    if (static_cast<iconv_t>(m_cd) != NoConverter)
        iconv_close(static_cast<iconv_t>(m_cd));
}

std::optional<QString> Decoder::decode(const char *data, qsizetype size)
{
    qsizetype i = 0;
    while (i < size && uchar(data[i]) < 0x80)
        ++i;
    if (i == size)
        return QString::fromLatin1(data, size);
    if (static_cast<iconv_t>(m_cd) == NoConverter)
        return std::nullopt;
    QByteArray out;
    if (!convert(static_cast<iconv_t>(m_cd), data, size_t(size), out, 3))
        return std::nullopt;
    return QString::fromUtf8(out);
}

} // namespace store::cp932

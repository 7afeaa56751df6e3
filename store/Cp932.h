// Code page 932 (Shift-JIS as Windows writes it), the encoding of both data files.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace store::cp932 {

// Encodes as Windows does, including its best-fit for the JIS-variant code points that Linux
// input methods type (U+301C -> 8160, U+2016 -> 8161, U+2212 -> 817C, U+00A2 -> 8191,
// U+00A3 -> 8192, U+00AC -> 81CA). Fails with a message naming the first character that code
// page 932 cannot hold.
Result<QByteArray> encode(const QString &text);

// A character as messages name it: 「あ」（U+3042）, or U+0009 for one that does not show.
QString describe(char32_t character);

// The offset of the first byte that is not code page 932 (a lone or cut-off lead byte, an
// undefined pair, 0x80, 0xA0, 0xFD to 0xFF), or -1 when every byte is valid.
qsizetype firstInvalidOffset(const QByteArray &bytes);

// Decodes, NEC and IBM extension characters included; many short pieces with one converter, as
// a reader does field by field.
class Decoder
{
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Nothing when the bytes are not code page 932.
    std::optional<QString> decode(const char *data, qsizetype size);

private:
    void *m_cd;
};

} // namespace store::cp932

// The programs' log category.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Log.h"

Q_LOGGING_CATEGORY(lcPinboa, "pinboa")

namespace platform {

QByteArray logExcerpt(const QByteArray &bytes)
{
    constexpr qsizetype Shown = 40;
    QByteArray text;
    for (const char c : bytes.left(Shown)) {
        const auto byte = uchar(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\')
            text += c;
        else
            text += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
    }
    if (bytes.size() > Shown)
        text += "... (" + QByteArray::number(bytes.size()) + " bytes)";
    return text;
}

} // namespace platform

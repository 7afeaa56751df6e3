// RGB colour numbers (red in the low byte, 12632256 is silver) and Qt colours.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>

namespace platform {

inline QColor colourFromRgbNumber(qint64 number)
{
    return QColor(int(number & 0xFF), int((number >> 8) & 0xFF), int((number >> 16) & 0xFF));
}

inline qint64 rgbNumber(const QColor &colour)
{
    return qint64(colour.red()) | (qint64(colour.green()) << 8) | (qint64(colour.blue()) << 16);
}

} // namespace platform

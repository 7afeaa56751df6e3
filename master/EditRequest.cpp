// What asks the master to edit a note.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "EditRequest.h"

#include <QStringList>

#include <cmath>

namespace master {

namespace {

// Beyond the window system's 16-bit coordinates at any DPI: no window stands there.
constexpr double MaxTwips = 1e7;

} // namespace

std::optional<EditRequest> EditRequest::parse(const QString &argument)
{
    QStringList parts = argument.split(QLatin1Char(' '));
    if (parts.size() < 5)
        return std::nullopt;
    double numbers[4];
    for (int i = 3; i >= 0; --i) {
        bool ok = false;
        numbers[i] = parts.takeLast().toDouble(&ok);
        if (!ok || !std::isfinite(numbers[i]) || std::abs(numbers[i]) > MaxTwips)
            return std::nullopt;
    }
    const QString id = parts.join(QLatin1Char(' '));
    if (id.trimmed().isEmpty() || numbers[2] <= 0 || numbers[3] <= 0)
        return std::nullopt;
    return EditRequest{id, QRectF(numbers[1], numbers[0], numbers[2], numbers[3])};
}

} // namespace master

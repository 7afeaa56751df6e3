// What asks the master to edit a note: the note window's identifier and its place on the screen.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QRectF>
#include <QString>

#include <optional>

namespace master {

struct EditRequest
{
    QString idText; // the identifier as the note window received it
    QRectF outer;   // the window's outer frame in twips: x = Left, y = Top

    // "<identifier> <top> <left> <width> <height>", single spaces, the numbers in twips. The
    // identifier is everything before the last four numbers, so it may hold a space itself.
    // Nothing for any other text, and for a size of none.
    static std::optional<EditRequest> parse(const QString &argument);
};

} // namespace master

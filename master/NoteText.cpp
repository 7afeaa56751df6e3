// How a note window lays out its message.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteText.h"

#include "platform/Twips.h"
#include "platform/WindowSystem.h"

#include <QFontMetrics>

namespace master {

namespace {

// The text's place inside the window, in twips: left, top, and how much narrower.
constexpr double TextLeft = 100;
constexpr double TextTop = 100;
constexpr double TextNarrower = 200;
constexpr int UnboundedHeight = 1 << 20; // pixels

} // namespace

QFont noteFont(const QString &face, double points)
{
    QFont font = platform::designFont(14.25);
    font.setFamilies({face});
    if (points > 0)
        font.setPointSizeF(points);
    return font;
}

double neededNoteHeight(const QString &message, const QFont &font, double outerWidth, double tpp)
{
    // In whole pixels, as the window stands on the screen and places its text.
    const double shownWidth = platform::toPixels(outerWidth, tpp) * tpp;
    const QRect text = platform::toPixels(
        QRectF(TextLeft, TextTop, shownWidth - TextNarrower, UnboundedHeight), tpp);
    // The flags the window's label paints its plain text with.
    const QRect laidOut =
        QFontMetrics(font).boundingRect(QRect(0, 0, qMax(1, text.width()), UnboundedHeight),
                                        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, message);
    return platform::toTwips(text.y() + laidOut.height(), tpp);
}

} // namespace master

// WrappingButton: a push button whose caption breaks into lines where it is wider than the button.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "WrappingButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextBoundaryFinder>

namespace master {

namespace {

// The caption as drawn: "&X" underlines X, "&&" is one "&".
QString withoutMnemonics(const QString &text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

// How good a place to break a caption is: the break before `position`.
int breakRank(const QString &caption, qsizetype position)
{
    const QChar before = caption[position - 1];
    if (before.isSpace())
        return 0;
    if (QStringLiteral("・、。，．").contains(before))
        return 1;
    return 2;
}

} // namespace

QStringList wrapCaption(const QString &caption, qreal width,
                        const std::function<qreal(const QString &)> &advance)
{
    QList<qsizetype> breaks; // positions a line may start at
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, caption);
    for (qsizetype p = finder.toNextBoundary(); p > 0 && p < caption.size();
         p = finder.toNextBoundary())
        breaks.append(p);

    const auto fits = [&](qsizetype from, qsizetype to) {
        return advance(withoutMnemonics(caption.mid(from, to - from).trimmed())) <= width;
    };
    QStringList lines;
    qsizetype start = 0;
    while (start < caption.size()) {
        qsizetype end = caption.size();
        if (!fits(start, end)) {
            // The furthest break that fits, of the best rank that has one; else the first break.
            qsizetype chosen = -1;
            for (int rank = 0; rank <= 2 && chosen < 0; ++rank) {
                for (qsizetype p : breaks) {
                    if (p > start && breakRank(caption, p) <= rank && fits(start, p))
                        chosen = p;
                }
            }
            if (chosen < 0) {
                for (qsizetype p : breaks) {
                    if (p > start) {
                        chosen = p;
                        break;
                    }
                }
            }
            if (chosen > 0)
                end = chosen;
        }
        lines.append(caption.mid(start, end - start).trimmed());
        start = end;
    }
    return lines;
}

void WrappingButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QFontMetricsF metrics(font());
    const QStringList lines = wrapCaption(caption, area.width(), [&](const QString &line) {
        return metrics.horizontalAdvance(line);
    });
    style()->drawItemText(&painter, area, Qt::AlignCenter | Qt::TextShowMnemonic, option.palette,
                          isEnabled(), lines.join(QLatin1Char('\n')), QPalette::ButtonText);
}

} // namespace master

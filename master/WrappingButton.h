// WrappingButton: a push button whose caption breaks into lines where it is wider than the button.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>
#include <QStringList>

#include <functional>

namespace master {

// The lines of a caption `width` wide, `advance` measuring a line as it is drawn. Breaks at the
// caption's spaces first, then after "・" and Japanese punctuation, then wherever Japanese line
// breaking allows it (never before "・" or a closing bracket); each line holds as much as fits.
// Mnemonic marks ("&") are drawn as underlines, so `advance` is asked without them.
QStringList wrapCaption(const QString &caption, qreal width,
                        const std::function<qreal(const QString &)> &advance);

// The master's captions were laid out for a narrower face; where the stand-in face makes one
// wider than its button, it wraps instead of being cut off.
class WrappingButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override;
};

} // namespace master

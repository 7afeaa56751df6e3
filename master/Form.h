// Form: what every window of the master has in common, its place as the forms give it: Top and
// Left of its outer frame, in twips.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

namespace master {

class Form : public QWidget
{
public:
    using QWidget::QWidget;

    double Top() const;
    double Left() const;
    // Moves the outer frame's top-left corner there, keeping the size. The place is asked for
    // even when the window stands there already: a hidden window whose place was never asked
    // for is placed anew by the window manager when it is shown again.
    void moveTo(double top, double left);
};

} // namespace master

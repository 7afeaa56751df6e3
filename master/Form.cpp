// Form: the place of a master's window in twips.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form.h"

#include "platform/Twips.h"

namespace master {

double Form::Top() const
{
    return platform::outerGeometryTwips(this).y();
}

double Form::Left() const
{
    return platform::outerGeometryTwips(this).x();
}

void Form::moveTo(double top, double left)
{
    QRectF frame = platform::outerGeometryTwips(this);
    frame.moveTo(left, top);
    platform::setOuterGeometryTwips(this, frame);
}

} // namespace master

// Twips (1/1440 inch) and pixels: the one place where the two units meet.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QRectF>

class QWidget;

namespace platform {

// 1440 / the screen's logical DPI: 15 at 96 DPI, 12 at 120 DPI.
double twipsPerPixel(const QWidget *widget = nullptr);
// Test seam: a fixed factor instead of the screen's (0 restores the screen's).
void setTwipsPerPixelForTesting(double factor);

int toPixels(double twips, double twipsPerPixel); // nearest pixel
double toTwips(int pixels, double twipsPerPixel); // exact
QRect toPixels(const QRectF &twips, double twipsPerPixel);
QRectF toTwips(const QRect &pixels, double twipsPerPixel);

// A top-level window's outer frame (frame included) in twips: x = Left, y = Top.
QRectF outerGeometryTwips(const QWidget *window);
// Places a top-level window so that its outer frame is `twips` (Left, Top, Width, Height).
void setOuterGeometryTwips(QWidget *window, const QRectF &twips);
// A child widget's geometry relative to its parent's client area, in twips.
void setGeometryTwips(QWidget *child, double left, double top, double width, double height);

} // namespace platform

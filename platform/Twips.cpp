// Twips and pixels through the screen's logical DPI.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {
double s_testFactor = 0;
} // namespace

double twipsPerPixel(const QWidget *widget)
{
    if (s_testFactor > 0)
        return s_testFactor;
    const QScreen *screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void setTwipsPerPixelForTesting(double factor)
{
    s_testFactor = factor;
}

int toPixels(double twips, double tpp)
{
    return int(std::lround(twips / tpp));
}

double toTwips(int pixels, double tpp)
{
    return pixels * tpp;
}

QRect toPixels(const QRectF &twips, double tpp)
{
    return QRect(toPixels(twips.x(), tpp), toPixels(twips.y(), tpp),
                 std::max(0, toPixels(twips.width(), tpp)),
                 std::max(0, toPixels(twips.height(), tpp)));
}

QRectF toTwips(const QRect &pixels, double tpp)
{
    return QRectF(toTwips(pixels.x(), tpp), toTwips(pixels.y(), tpp), toTwips(pixels.width(), tpp),
                  toTwips(pixels.height(), tpp));
}

namespace {

// What the window manager's frame adds around the window, per side. A window without decoration
// has none. While a window manager is still framing a window that was just shown, Qt can take the
// frame's first, 1 x 1 pixel placeholder for the frame and keeps that for good: a side that would
// make the frame smaller than the window it holds is unknown and counts as none.
QMargins frameMargins(const QWidget *window)
{
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return {};
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return QMargins(
        std::max(0, client.left() - frame.left()), std::max(0, client.top() - frame.top()),
        std::max(0, frame.right() - client.right()), std::max(0, frame.bottom() - client.bottom()));
}

} // namespace

QRectF outerGeometryTwips(const QWidget *window)
{
    return toTwips(window->geometry().marginsAdded(frameMargins(window)), twipsPerPixel(window));
}

void setOuterGeometryTwips(QWidget *window, const QRectF &twips)
{
    const QRect outer = toPixels(twips, twipsPerPixel(window));
    // The frame's share of the size is known once the window system has framed the window;
    // before that it counts as none.
    const QMargins margins = frameMargins(window);
    const QSize frame(margins.left() + margins.right(), margins.top() + margins.bottom());
    window->move(outer.topLeft()); // a top-level window's position is its frame's
    // Moving a window to where it already stands asks the window system for nothing, and a
    // hidden window whose place was never asked for is placed anew when it is shown again
    // (after the user moved it, say): ask for the place explicitly.
    if (QWindow *handle = window->windowHandle())
        handle->setFramePosition(outer.topLeft());
    window->resize(std::max(0, outer.width() - frame.width()),
                   std::max(0, outer.height() - frame.height()));
}

void setGeometryTwips(QWidget *child, double left, double top, double width, double height)
{
    child->setGeometry(toPixels(QRectF(left, top, width, height), twipsPerPixel(child)));
}

} // namespace platform

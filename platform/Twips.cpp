// Twips and pixels through the screen's logical DPI.
#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
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

QRectF outerGeometryTwips(const QWidget *window)
{
    return toTwips(window->frameGeometry(), twipsPerPixel(window));
}

void setOuterGeometryTwips(QWidget *window, const QRectF &twips)
{
    const QRect outer = toPixels(twips, twipsPerPixel(window));
    // The frame's share of the size is known once the window system has framed the window;
    // before that it counts as none.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->move(outer.topLeft()); // a top-level window's position is its frame's
    window->resize(std::max(0, outer.width() - frame.width()),
                   std::max(0, outer.height() - frame.height()));
}

void setGeometryTwips(QWidget *child, double left, double top, double width, double height)
{
    child->setGeometry(toPixels(QRectF(left, top, width, height), twipsPerPixel(child)));
}

} // namespace platform

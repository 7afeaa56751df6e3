// Window-system details a plain Qt window cannot ask for: staying out of the task bar, and
// Japanese fonts for the face names the notes were written with.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

namespace platform {

// On a Wayland desktop, asks Qt for its X11 platform (through the desktop's X11 compatibility
// layer), since a Wayland client cannot place its own windows. Call before the application object
// is created; an explicit QT_QPA_PLATFORM is left as it is.
void preferX11OnWayland();

// Marks a top-level window as one the task bar and the pager leave out. Call before the window
// is first shown. Does nothing on platforms without such a notion (offscreen).
void keepOutOfTaskBar(QWidget *window);

// Where a window of `rect` (pixels) can be reached: `rect` itself when it overlaps any of the
// `screens`, else moved to the nearest place wholly on the nearest screen (a monitor it was
// left on has gone). No screens: `rect` as it is.
QRect reachablePlace(const QRect &rect, const QList<QRect> &screens);
// The same against the screens of the running desktop.
QRect reachablePlace(const QRect &rect);

// The smallest size a window is shown at: a line of a small font, and a place to grab.
inline constexpr QSize MinimumShownSize(32, 16);
// The size a window of `wanted` pixels is shown at: at least MinimumShownSize, at most the
// desktop. A size of none (or below none) would never be mapped by the window system, and one
// beyond the window system's 16-bit coordinates wraps round.
QSize showableSize(const QSize &wanted, const QSize &desktop);
// The same against the running desktop (all screens together).
QSize showableSize(const QSize &wanted);

// Lets the usual Japanese face names of the notes ("ＭＳ Ｐゴシック", "ＭＳ 明朝", ...) fall back
// on the installed Japanese fonts instead of a Latin default.
void installFontSubstitutes();

} // namespace platform

// Window-system details a plain Qt window cannot ask for: staying out of the task bar, and
// Japanese fonts for the face names the notes were written with.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class QFont;
class QWidget;

namespace platform {

// Chooses Qt's X11 platform wherever an X display can be reached (on a Wayland desktop, its X11
// compatibility layer), whatever QT_QPA_PLATFORM says of Wayland: a Wayland client cannot place
// its own windows, and a note must stand where it was left. False when the programs would need an
// X display and none can be reached. A platform other than Wayland's or X11's that is asked for
// explicitly (offscreen, say) is left as it is. Call before the application object is created.
bool chooseX11();
// Says that there is no X display: on the error stream, and in a dialog where a Wayland display
// can show one. Returns the exit status. Call instead of creating the application object.
int reportNoX11(const QString &title);

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
// Installs Qt's own Japanese translation, so that Qt's dialogs and context menus speak the
// language of the rest of the programs. False when the translation is not installed.
bool installQtTranslation();

// The face the windows and the notes were designed with, "ＭＳ Ｐゴシック", at `points`. The
// installed Japanese faces stand in for it where it is missing (the stand-ins are installed on
// first use).
QFont designFont(double points);
QString designFontName();

// Lets the usual Japanese face names of the notes ("ＭＳ Ｐゴシック", "ＭＳ 明朝", ...) fall back
// on the installed Japanese fonts instead of a Latin default.
void installFontSubstitutes();

} // namespace platform

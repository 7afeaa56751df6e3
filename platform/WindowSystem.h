// Window-system details a plain Qt window cannot ask for: staying out of the task bar, staying
// above other windows and on workspaces, and Japanese fonts for the face names of the notes.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QtGlobal>

#include <optional>

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

// What a window asks of the window manager beyond its place: to stay above normal windows, to
// show on every workspace, or to show on one workspace. Each is asked through the X11 connection
// (the EWMH state and desktop of the window) and does nothing where there is no X11 connection
// (offscreen) or the window manager does not know the notion; none of them takes the focus.
struct WindowManagerState
{
    bool above = false;
    bool allWorkspaces = false;
    std::optional<int> workspace; // when not on all of them; kept only when the desktop has it
};
// Before the window is first shown, after keepOutOfTaskBar: the window manager maps it so. A
// window with none of these asks nothing (no round trip to the X server).
void setInitialWindowManagerState(QWidget *window, const WindowManagerState &state);
// Once the window is shown.
void setKeptAbove(QWidget *window, bool above);
// Off: the window stays on the workspace the user is on.
void setOnAllWorkspaces(QWidget *window, bool all);

// How many workspaces the desktop has (0 when it says nothing of them), and the one the window is
// on: none when it is on all of them or the window manager does not say.
struct WorkspacePlace
{
    int count = 0;
    std::optional<int> workspace;
};
WorkspacePlace workspacePlace(const QWidget *window);

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

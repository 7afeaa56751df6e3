// The window manager's state of a window through the X11 connection (EWMH): out of the task bar,
// above normal windows, on every workspace or on one.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "WindowSystem.h"

#include <QGuiApplication>
#include <QList>
#include <QWidget>

#include <QtGui/qguiapplication_platform.h>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <xcb/xcb.h>

namespace platform {

namespace {

xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    return connection && !xcb_connection_has_error(connection) ? connection : nullptr;
}

// A window, its root and the atoms asked for, learnt in one round trip.
struct X11Window
{
    xcb_connection_t *connection = nullptr;
    xcb_window_t window = 0;
    xcb_window_t root = 0;
    QList<xcb_atom_t> atoms; // in the order of the names
    explicit operator bool() const { return connection != nullptr; }
};

X11Window x11Window(xcb_window_t window, std::initializer_list<const char *> names)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window)
        return {};
    const xcb_get_geometry_cookie_t geometry = xcb_get_geometry(connection, window);
    QList<xcb_intern_atom_cookie_t> cookies;
    for (const char *name : names)
        cookies.append(xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name));
    X11Window found{connection, window, 0, {}};
    for (const xcb_intern_atom_cookie_t &cookie : cookies) {
        if (xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr)) {
            found.atoms.append(reply->atom);
            std::free(reply);
        }
    }
    if (xcb_get_geometry_reply_t *reply = xcb_get_geometry_reply(connection, geometry, nullptr)) {
        found.root = reply->root;
        std::free(reply);
    }
    if (!found.root || found.atoms.size() != qsizetype(names.size()))
        return {};
    return found;
}

std::optional<quint32> cardinal(xcb_connection_t *connection, xcb_window_t window,
                                xcb_atom_t property)
{
    const auto cookie = xcb_get_property(connection, 0, window, property, XCB_ATOM_CARDINAL, 0, 1);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    std::optional<quint32> value;
    if (reply && reply->type == XCB_ATOM_CARDINAL && reply->format == 32 &&
        xcb_get_property_value_length(reply) >= 4)
        value = *static_cast<const quint32 *>(xcb_get_property_value(reply));
    std::free(reply);
    return value;
}

// _NET_WM_DESKTOP's "every workspace".
constexpr quint32 AllDesktops = 0xFFFFFFFF;

// _NET_WM_STATE's actions.
constexpr quint32 StateRemove = 0;
constexpr quint32 StateAdd = 1;
// The source of a request: an application (not a pager).
constexpr quint32 FromApplication = 1;

// A request of a shown window to the window manager (EWMH client message to the root window).
void askWindowManager(const X11Window &x, xcb_atom_t type, std::array<quint32, 4> data)
{
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = x.window;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(x.connection, 0, x.root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(x.connection);
}

} // namespace

void keepOutOfTaskBar(QWidget *window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return;
    const auto windowId = xcb_window_t(window->winId()); // creates the native window
    const char *names[] = {"_NET_WM_STATE", "_NET_WM_STATE_SKIP_TASKBAR",
                           "_NET_WM_STATE_SKIP_PAGER"};
    xcb_intern_atom_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i)
        cookies[i] = xcb_intern_atom(connection, 0, uint16_t(strlen(names[i])), names[i]);
    xcb_atom_t atoms[3] = {};
    for (int i = 0; i < 3; ++i) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        if (!reply)
            return;
        atoms[i] = reply->atom;
        std::free(reply);
    }
    // Before the first map the state is ours to set; Qt keeps these when it adds its own.
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, windowId, atoms[0], XCB_ATOM_ATOM, 32, 2,
                        &atoms[1]);
    xcb_flush(connection);
}

void setInitialWindowManagerState(QWidget *window, const WindowManagerState &state)
{
    if (!state.above && !state.allWorkspaces && !state.workspace)
        return;
    const X11Window x = x11Window(xcb_window_t(window->winId()),
                                  {"_NET_WM_STATE", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STICKY",
                                   "_NET_WM_DESKTOP", "_NET_NUMBER_OF_DESKTOPS"});
    if (!x)
        return;
    // Added to what the window has (out of the task bar); Qt adds its own to these in turn.
    QList<xcb_atom_t> states;
    const auto cookie =
        xcb_get_property(x.connection, 0, x.window, x.atoms[0], XCB_ATOM_ATOM, 0, 64);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(x.connection, cookie, nullptr)) {
        if (reply->type == XCB_ATOM_ATOM && reply->format == 32) {
            const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
            states = QList<xcb_atom_t>(atoms, atoms + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    if (state.above && !states.contains(x.atoms[1]))
        states.append(x.atoms[1]);
    if (state.allWorkspaces && !states.contains(x.atoms[2]))
        states.append(x.atoms[2]);
    xcb_change_property(x.connection, XCB_PROP_MODE_REPLACE, x.window, x.atoms[0], XCB_ATOM_ATOM,
                        32, uint32_t(states.size()), states.constData());

    std::optional<quint32> desktop;
    if (state.allWorkspaces) {
        desktop = AllDesktops;
    } else if (state.workspace && *state.workspace >= 0) {
        // A workspace that is gone: the window manager's choice, the one the user is on.
        const auto count = cardinal(x.connection, x.root, x.atoms[4]);
        if (count && quint32(*state.workspace) < *count)
            desktop = quint32(*state.workspace);
    }
    if (desktop)
        xcb_change_property(x.connection, XCB_PROP_MODE_REPLACE, x.window, x.atoms[3],
                            XCB_ATOM_CARDINAL, 32, 1, &*desktop);
    xcb_flush(x.connection);
}

void setKeptAbove(QWidget *window, bool above)
{
    if (const X11Window x = x11Window(xcb_window_t(window->internalWinId()),
                                      {"_NET_WM_STATE", "_NET_WM_STATE_ABOVE"}))
        askWindowManager(x, x.atoms[0],
                         {above ? StateAdd : StateRemove, x.atoms[1], 0, FromApplication});
}

void setOnAllWorkspaces(QWidget *window, bool all)
{
    const X11Window x = x11Window(
        xcb_window_t(window->internalWinId()),
        {"_NET_WM_STATE", "_NET_WM_STATE_STICKY", "_NET_WM_DESKTOP", "_NET_CURRENT_DESKTOP"});
    if (!x)
        return;
    askWindowManager(x, x.atoms[0], {all ? StateAdd : StateRemove, x.atoms[1], 0, FromApplication});
    const std::optional<quint32> desktop =
        all ? std::optional<quint32>(AllDesktops) : cardinal(x.connection, x.root, x.atoms[3]);
    if (desktop)
        askWindowManager(x, x.atoms[2], {*desktop, FromApplication, 0, 0});
}

WorkspacePlace workspacePlace(const QWidget *window)
{
    const X11Window x = x11Window(xcb_window_t(window->internalWinId()),
                                  {"_NET_NUMBER_OF_DESKTOPS", "_NET_WM_DESKTOP"});
    if (!x)
        return {};
    WorkspacePlace place;
    const auto count = cardinal(x.connection, x.root, x.atoms[0]);
    if (!count || *count > quint32(std::numeric_limits<int>::max()))
        return place;
    place.count = int(*count);
    const auto desktop = cardinal(x.connection, x.window, x.atoms[1]);
    if (desktop && *desktop < *count)
        place.workspace = int(*desktop);
    return place;
}

} // namespace platform

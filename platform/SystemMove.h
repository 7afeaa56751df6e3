// Moving and sizing a window without a title bar: dragging its surface with the left button
// alone, and sizing it by a border of its own.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QMouseEvent;
class QWidget;

namespace platform {

// Follows the left button: call from mouse-move handlers of the window and of the children that
// cover it. With exactly the left button held, the window follows the pointer until the button is
// released: moved by hand on X11, through the window system's interactive move
// (QWindow::startSystemMove) elsewhere, by hand again where that is refused. Any other button
// state does nothing. Returns true when it acted.
bool dragWithLeftButton(QWidget *window, QMouseEvent *event);

// The sizable border and the draggable surface of a frameless window: over the border the pointer
// shows which way it sizes and a left press sizes the window through the window system; a left
// drag anywhere else on the window, or on the children added with dragBy(), moves it. Presses
// still reach the children (a press in a text box places the caret).
class WindowGrip : public QObject
{
public:
    // `border` pixels along each edge size the window; near a corner, both ways.
    WindowGrip(QWidget *window, int border);
    // Dragging `child` moves the window too.
    void dragBy(QWidget *child);

    // The edges a press at `pos` (window coordinates) would size; none inside the border.
    Qt::Edges edgesAt(const QPoint &pos) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showSizeCursor(Qt::Edges edges);

    QWidget *m_window;
    int m_border;
    Qt::Edges m_pressEdges; // border edges under the left button, while it sizes
    bool m_moving = false;  // a move of this press is under way
};

} // namespace platform

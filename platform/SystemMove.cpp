// Dragging a window by its surface: the window system's own move, or a move by hand.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "SystemMove.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace platform {

namespace {

// Follows the pointer until the left button is released, wherever the mouse events go (the
// widget that got the press keeps them). Deletes itself at the end.
class ManualMove : public QObject
{
public:
    ManualMove(QWidget *window, const QPointF &globalPos)
        : m_window(window), m_offset(globalPos - QPointF(window->pos()))
    {
        s_active = this;
        qApp->installEventFilter(this);
    }
    ~ManualMove() override
    {
        if (s_active == this)
            s_active = nullptr;
    }

    static ManualMove *s_active;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseMove: {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (mouse->buttons() != Qt::LeftButton) {
                finish();
                return false;
            }
            follow(mouse->globalPosition());
            return true;
        }
        case QEvent::MouseButtonRelease:
            follow(static_cast<QMouseEvent *>(event)->globalPosition());
            finish();
            return false;
        default:
            return false;
        }
    }

private:
    void follow(const QPointF &globalPos)
    {
        if (m_window)
            m_window->move((globalPos - m_offset).toPoint());
    }
    void finish()
    {
        qApp->removeEventFilter(this);
        if (s_active == this)
            s_active = nullptr;
        deleteLater();
    }

    QPointer<QWidget> m_window;
    QPointF m_offset;
};

ManualMove *ManualMove::s_active = nullptr;

} // namespace

bool dragWithLeftButton(QWidget *window, QMouseEvent *event)
{
    if (!window || !event || event->buttons() != Qt::LeftButton)
        return false;
    if (ManualMove::s_active)
        return true; // already following the pointer
    window = window->window();
    // On X11 the window follows the pointer by hand: Qt's system move there anchors the window
    // manager's move at a stale pointer position, so a second drag jumps by the first one's
    // distance. Elsewhere (Wayland) only the compositor may move a window.
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (QWindow *handle = window->windowHandle(); handle && handle->startSystemMove())
            return true;
    }
    // Follow the pointer from where it is now until the button is released.
    new ManualMove(window, event->globalPosition());
    return true;
}

namespace {
constexpr int CornerGrip = 12; // pixels along an edge that size diagonally
} // namespace

WindowGrip::WindowGrip(QWidget *window, int border)
    : QObject(window), m_window(window), m_border(border)
{
    window->setMouseTracking(true);
    window->installEventFilter(this);
}

void WindowGrip::dragBy(QWidget *child)
{
    child->installEventFilter(this);
}

Qt::Edges WindowGrip::edgesAt(const QPoint &pos) const
{
    Qt::Edges edges;
    const int width = m_window->width(), height = m_window->height();
    const bool inBorder = pos.x() < m_border || pos.x() >= width - m_border || pos.y() < m_border ||
                          pos.y() >= height - m_border;
    if (!inBorder)
        return edges;
    const int grip = std::max(m_border, CornerGrip);
    if (pos.x() < grip)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width - grip)
        edges |= Qt::RightEdge;
    if (pos.y() < grip)
        edges |= Qt::TopEdge;
    if (pos.y() >= height - grip)
        edges |= Qt::BottomEdge;
    return edges;
}

void WindowGrip::showSizeCursor(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = (edges & Qt::LeftEdge && edges & Qt::TopEdge) ||
                             (edges & Qt::RightEdge && edges & Qt::BottomEdge);
        m_window->setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    } else if (horizontal) {
        m_window->setCursor(Qt::SizeHorCursor);
    } else if (vertical) {
        m_window->setCursor(Qt::SizeVerCursor);
    } else {
        m_window->unsetCursor();
    }
}

bool WindowGrip::eventFilter(QObject *watched, QEvent *event)
{
    const bool onWindow = watched == m_window;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        m_pressEdges = {};
        m_moving = false;
        if (onWindow && mouse->buttons() == Qt::LeftButton) {
            if (const Qt::Edges edges = edgesAt(mouse->position().toPoint())) {
                m_pressEdges = edges;
                if (QWindow *handle = m_window->windowHandle())
                    handle->startSystemResize(edges);
                return true;
            }
        }
        break; // the press still reaches its widget
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->buttons() == Qt::NoButton) {
            if (onWindow)
                showSizeCursor(edgesAt(mouse->position().toPoint()));
            break;
        }
        // A press on the border sizes; a press on the surface drags the window. One move per
        // press: motion that was queued before the window manager took the pointer must not ask
        // for a second move, which would start after the release and follow the bare pointer.
        if (m_pressEdges || mouse->buttons() != Qt::LeftButton)
            break;
        if (!m_moving)
            m_moving = dragWithLeftButton(m_window, mouse);
        if (m_moving)
            return true;
        break;
    }
    case QEvent::MouseButtonRelease:
        m_pressEdges = {};
        m_moving = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace platform

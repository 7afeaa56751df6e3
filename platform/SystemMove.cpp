// Dragging a window by its surface: the window system's own move, or a move by hand.
#include "SystemMove.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

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

} // namespace platform

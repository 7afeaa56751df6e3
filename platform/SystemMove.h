// Moving a window without a title bar by dragging its surface with the left button alone.
#pragma once

class QMouseEvent;
class QWidget;

namespace platform {

// Follows the left button: call from mouse-move handlers of the window and of the children that
// cover it. With exactly the left button held, the window follows the pointer until the button is
// released: moved by hand on X11, through the window system's interactive move
// (QWindow::startSystemMove) elsewhere, by hand again where that is refused. Any other button
// state does nothing. Returns true when it acted.
bool dragWithLeftButton(QWidget *window, QMouseEvent *event);

} // namespace platform

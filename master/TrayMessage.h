// The tray icon's mouse messages: the codes the main window acts on, and how a code travels as the
// horizontal coordinate of a mouse move (code times twips per pixel).
#pragma once

#include <QSystemTrayIcon>

namespace master::tray {

// Mouse message codes of the tray icon.
inline constexpr int MouseMove = 512;
inline constexpr int LeftButtonDown = 513;
inline constexpr int LeftButtonUp = 514;
inline constexpr int LeftDoubleClick = 515;
inline constexpr int RightButtonDown = 516; // the only one that opens the tray menu
inline constexpr int RightButtonUp = 517;
inline constexpr int MiddleButtonDown = 519;

// The code of a tray activation reported by the notification area.
int codeForActivation(QSystemTrayIcon::ActivationReason reason);
// X in twips that carries `code` on a screen with `twipsPerPixel`.
double messageX(int code, double twipsPerPixel);
// The code back from X: X to the nearest whole number, integer-divided by the factor taken to the
// nearest whole number (7740 at 15 gives 516). 0 for a factor that rounds to 0.
int decodeMessageX(double x, double twipsPerPixel);

// Whether the desktop has a notification area to hide the main window in.
bool notificationAreaAvailable();
// Test seam: 1 or 0 instead of asking the desktop; -1 asks again.
void setNotificationAreaForTesting(int available);

} // namespace master::tray

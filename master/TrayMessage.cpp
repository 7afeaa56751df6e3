// The tray icon's mouse messages and the notification area's presence.
#include "TrayMessage.h"

#include <cmath>

namespace master::tray {

namespace {
int g_notificationAreaOverride = -1;

// Nearest whole number, halves to the even neighbour.
long long nearest(double value)
{
    return static_cast<long long>(std::nearbyint(value));
}
} // namespace

int codeForActivation(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return LeftButtonDown;
    case QSystemTrayIcon::DoubleClick:
        return LeftDoubleClick;
    case QSystemTrayIcon::Context:
        return RightButtonDown;
    case QSystemTrayIcon::MiddleClick:
        return MiddleButtonDown;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return MouseMove;
}

double messageX(int code, double twipsPerPixel)
{
    return code * twipsPerPixel;
}

int decodeMessageX(double x, double twipsPerPixel)
{
    const long long factor = nearest(twipsPerPixel);
    if (factor == 0)
        return 0;
    return static_cast<int>(nearest(x) / factor);
}

bool notificationAreaAvailable()
{
    if (g_notificationAreaOverride >= 0)
        return g_notificationAreaOverride == 1;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void setNotificationAreaForTesting(int available)
{
    g_notificationAreaOverride = available;
}

} // namespace master::tray

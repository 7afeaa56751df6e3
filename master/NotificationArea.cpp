// Whether the desktop has a notification area for the tray icon.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NotificationArea.h"

#include <QSystemTrayIcon>

namespace master::tray {

namespace {
int g_notificationAreaOverride = -1;
} // namespace

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

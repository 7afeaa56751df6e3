// Whether the desktop has a notification area for the tray icon.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

namespace master::tray {

// Whether the desktop has a notification area to hide the main window in.
bool notificationAreaAvailable();
// Test seam: 1 or 0 instead of asking the desktop; -1 asks again.
void setNotificationAreaForTesting(int available);

} // namespace master::tray

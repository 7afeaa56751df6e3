// Constants of the close request between the master and its note windows.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

namespace platform::protocol {

// One line each, UTF-8, ending in "\n".
inline constexpr char Activate[] = "ACTIVATE"; // raise and activate the note window
inline constexpr char Keys[] = "KEYS ";        // followed by a send-keys sequence
inline constexpr char Done[] = "DONE";         // answer: the keys were handled (close written back)
inline constexpr char NotDone[] = "BUSY";      // answer: the window could not close yet (it stays)
inline constexpr char CloseKeys[] = "%{F10}"; // Alt+F10, the key sequence of the master's close-all

inline constexpr int ConnectTimeoutMs = 1000;
inline constexpr int AnswerTimeoutMs =
    5000; // bound on one window's close, so the close-all returns

// A second start of the master asks the running one to show its main window (one line, UTF-8).
inline constexpr char ShowMain[] = "SHOW";
inline constexpr char ShowMainDone[] = "SHOWN";
// A second start that was asked to show the notes asks the running master to refresh them; the
// answer comes when the refresh has been taken on, not when it ends.
inline constexpr char Refresh[] = "REFRESH";
inline constexpr char RefreshTaken[] = "REFRESHING";
inline constexpr int ShowMainTimeoutMs = 2000;

} // namespace platform::protocol

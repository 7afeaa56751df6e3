// Constants of the local sockets: the close request between the master and its note windows, the
// requests a second start of the master sends to the running one, and the master's note launcher.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

namespace platform::protocol {

// One line each, UTF-8, ending in "\n".
inline constexpr char Activate[] = "ACTIVATE"; // raise and activate the note window
inline constexpr char Keys[] = "KEYS ";        // followed by a send-keys sequence
inline constexpr char Done[] = "DONE";         // answer: the keys were handled (close written back)
inline constexpr char NotDone[] = "BUSY";      // answer: the window could not close yet (it stays)
inline constexpr char CloseKeys[] = "%{F10}"; // Alt+F10, the key sequence of the master's close-all

inline constexpr int ConnectTimeoutMs = 1000;
// Bound on one window's close, so that the close-all returns.
inline constexpr int AnswerTimeoutMs = 5000;

// A request from a second start to the running master: its word, followed by one space and an
// argument when it takes one, and the answer that says the master took it on. The answer comes
// before the work, which the master does from its event loop.
struct MasterRequest
{
    const char *word;
    const char *answer;
    bool takesArgument = false;
};
// Show the main window (where there is no notification area to bring it back from).
inline constexpr MasterRequest ShowMain{"SHOW", "SHOWN"};
// Refresh the notes on the desktop (a start that was asked to show them).
inline constexpr MasterRequest Refresh{"REFRESH", "REFRESHING"};
// Close every note window of the data folder, each writing its place back (pinboa --hide-notes).
inline constexpr MasterRequest HideNotes{"HIDE", "HIDING"};
// Hide the notes when any of them is shown, otherwise show them (pinboa --toggle-notes).
inline constexpr MasterRequest ToggleNotes{"TOGGLE", "TOGGLING"};
// Open the note editor for a new note, as the tray menu's item does (pinboa --new-note).
inline constexpr MasterRequest NewNote{"NEW", "OPENING"};
// Open the note editor on a note that is shown: its identifier text as the window received it,
// then the window's outer top, left, width and height in twips, separated by single spaces
// (memlet's "編集…", or pinboa --edit-note).
inline constexpr MasterRequest EditNote{"EDIT", "EDITING", true};
// Keep the notes in another folder from now on: its absolute path (pinboa --data-folder).
inline constexpr MasterRequest DataFolder{"FOLDER", "SWITCHING", true};
inline constexpr int MasterAnswerTimeoutMs = 2000;

// A connection on which nothing arrives or leaves for this long, while no answer is owed on it,
// is dropped.
inline constexpr int IdleTimeoutMs = 3000;

// The note launcher: memlet started by the master with one end of a socket pair as this
// descriptor, named in this environment variable, and with this ending to its program name. The
// master writes a request per note window: the byte count of its argument string in decimal and
// "\n", then the string's bytes. Each is answered in turn with a line: the new window's process
// id, or 0 when it could not start.
inline constexpr char LauncherVariable[] = "PINBOA_NOTE_LAUNCHER";
inline constexpr int LauncherDescriptor = 3;
inline constexpr char LauncherNameEnding[] = " launcher";
// Bound on the answer to a request, the launcher's own start-up included.
inline constexpr int LauncherAnswerTimeoutMs = 5000;

} // namespace platform::protocol

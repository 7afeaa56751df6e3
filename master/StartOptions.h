// How the master was asked to start: its options (--show-notes, --hide-notes, --toggle-notes,
// --new-note, --edit-note, --data-folder) and the start each leads to.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "EditRequest.h"

#include <functional>
#include <optional>

class QCoreApplication;

namespace master {

class Form1;

// What a start asks for besides the master itself; carried out by the running master when there
// is one.
enum class StartCommand
{
    None,
    ShowNotes,   // show every note, as "表示・再表示" does
    HideNotes,   // close every note window, each storing its place
    ToggleNotes, // hide when any note is shown, otherwise show
    NewNote,     // open the note editor, as the tray menu's "付箋作成" does
    EditNote,    // open the note editor on a note of the desktop
    DataFolder   // keep the notes in the folder given from now on
};

struct StartOptions
{
    StartCommand command = StartCommand::None;
    std::optional<EditRequest> edit; // for EditNote
    // What a running master is sent with the command: the edit as given, or the data folder as
    // an absolute path.
    QString argument;
};

// True when the command line asks for the help, which is printed without a desktop.
bool asksForHelp(int argc, char *argv[]);
// Reads the options from `app`'s arguments (Qt's own options already taken out). Prints the help
// and ends the process for --help; prints the fault on the error stream and ends the process
// with status 2 for an option it does not know, an argument it does not take, a malformed
// --edit-note argument, a --data-folder that is not a folder, or more than one command.
StartOptions readStartOptions(const QCoreApplication &app);

// The start with --show-notes or --toggle-notes: tray mode where the desktop has a notification
// area, main mode where it has none, and `command` once from the event loop.
void startShowingNotes(Form1 &form, const std::function<void()> &command);
// The start with --new-note or --edit-note: tray mode where the desktop has a notification area,
// else main mode with the main window there to come back to; `command` once from the event loop.
void startEditing(Form1 &form, bool showMainWindow, const std::function<void()> &command);

} // namespace master

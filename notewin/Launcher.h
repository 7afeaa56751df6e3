// The note launcher: memlet started once by the master, which loads what every note window loads
// (libraries, the platform plugin, the font configuration) and then forks each note window from
// itself, before any window or display connection exists, so that the notes share those pages.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace notewin {

// Nothing when this process was not started as the master's note launcher: an ordinary start.
// Otherwise serves the master's requests, and returns only in a note window forked for one: a
// process of its own, in a session of its own, in the program folder, with nothing of the
// launcher's open but the standard streams, and with its command line rewritten to the one a
// start by hand gives (program, argument string). Gives that argument string. The launcher itself
// ends once the master has gone.
std::optional<std::string> serveAsLauncher(int argc, char *argv[]);

} // namespace notewin

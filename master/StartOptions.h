// How the master was asked to start: its options (--show-notes) and the start it leads to.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCoreApplication;

namespace master {

class Form1;

struct StartOptions
{
    bool showNotes = false; // start and show every note, as "表示・再表示" does
};

// Every option the master takes, with the text the help shows for it.
QList<QCommandLineOption> optionTable();
// The help, in Japanese: how to start `program` and each option of the table.
QString helpText(const QString &program);

// True when the command line asks for the help, which is printed without a desktop.
bool asksForHelp(int argc, char *argv[]);
// Reads the options from `app`'s arguments (Qt's own options already taken out). Prints the help
// and ends the process for --help; prints the fault and ends it for an unknown option.
StartOptions readStartOptions(const QCoreApplication &app);

// The start with --show-notes: tray mode where the desktop has a notification area, main mode
// where it has none, and the refresh once from the event loop.
void startShowingNotes(Form1 &form);

} // namespace master

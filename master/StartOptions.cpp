// The master's command line and the start that shows the notes.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "StartOptions.h"

#include "Form1.h"
#include "NotificationArea.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstring>

namespace master {

namespace {

// At login the programs of the session may start before the panel that holds the notification
// area: the master waits this long for one to appear before it shows its main window instead.
constexpr int NotificationAreaGraceMs = 5000;
constexpr int NotificationAreaPollMs = 200;

} // namespace

bool asksForHelp(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help") ||
            !std::strcmp(argv[i], "-?"))
            return true;
    }
    return false;
}

StartOptions readStartOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("デスクトップの付箋。オプションなしで起動すると、メイン画面を表示します。"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("この説明を表示します。"));
    // Japanese has no spaces to wrap at: each sentence is short enough for one line.
    const QCommandLineOption showNotes(
        QStringLiteral("show-notes"),
        QStringLiteral("起動して、登録されている付箋をすべて表示します。\n"
                       "（「表示・再表示」と同じです。ログイン時の自動起動用）\n"
                       "通知領域があればトレイに格納し、なければメイン画面を表示します。\n"
                       "すでに起動していれば、そちらが付箋を表示し直します。"));
    parser.addOption(help);
    parser.addOption(showNotes);
    parser.process(app);
    if (parser.isSet(help))
        parser.showHelp(0);
    return {parser.isSet(showNotes)};
}

void startShowingNotes(Form1 &form)
{
    form.MainMode = 0;
    QTimer::singleShot(0, &form, &Form1::Command1_Click);
    if (tray::notificationAreaAvailable())
        return;

    // No notification area yet: the main window stands in for it once the grace is over, unless
    // one appeared (the tray icon then shows there) or a second start showed the window.
    auto *poll = new QTimer(&form);
    QElapsedTimer since;
    since.start();
    QObject::connect(poll, &QTimer::timeout, &form, [&form, poll, since] {
        const bool available = tray::notificationAreaAvailable();
        if (!available && since.elapsed() < NotificationAreaGraceMs)
            return;
        poll->stop();
        poll->deleteLater();
        if (available) {
            form.addTrayIcon();
        } else if (!form.isVisible()) {
            form.MainMode = 1;
            form.show();
        }
    });
    poll->start(NotificationAreaPollMs);
}

} // namespace master

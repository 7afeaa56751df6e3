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

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace master {

namespace {

// At login the programs of the session may start before the panel that holds the notification
// area: the master waits this long for one to appear before it shows its main window instead.
constexpr int NotificationAreaGraceMs = 5000;
constexpr int NotificationAreaPollMs = 200;

} // namespace

// Every option of the master, in the order the help lists them: the parser and the help both
// read this table, so an option added here is in the help. Japanese has no spaces to wrap at:
// each line of a description is short enough for one line of a terminal.
QList<QCommandLineOption> optionTable()
{
    return {
        {{QStringLiteral("?"), QStringLiteral("h"), QStringLiteral("help")},
         QStringLiteral("この説明を表示します。")},
        {QStringLiteral("show-notes"),
         QStringLiteral("起動して、登録されている付箋をすべて表示します。\n"
                        "（「表示・再表示」と同じです。ログイン時の自動起動用）\n"
                        "通知領域があればトレイに格納し、なければメイン画面を表示します。\n"
                        "すでに起動していれば、そちらが付箋を表示し直します。")},
    };
}

namespace {

// "-h" or "--help", as typed.
QStringList typed(const QStringList &names)
{
    QStringList dashed;
    for (const QString &name : names)
        dashed.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    return dashed;
}

QString optionNames(const QCommandLineOption &option)
{
    QString text = typed(option.names()).join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += QStringLiteral(" <%1>").arg(option.valueName());
    return text;
}

[[noreturn]] void endWith(const QString &text, FILE *stream, int status)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
    std::exit(status);
}

} // namespace

QString helpText(const QString &program)
{
    const QList<QCommandLineOption> options = optionTable();
    qsizetype width = 0;
    for (const QCommandLineOption &option : options)
        width = std::max(width, optionNames(option).size());
    QString text = QStringLiteral("使い方: %1 [オプション]\n"
                                  "デスクトップの付箋。オプションなしで起動すると、"
                                  "メイン画面を表示します。\n\nオプション:\n")
                       .arg(program);
    for (const QCommandLineOption &option : options) {
        if (option.flags() & QCommandLineOption::HiddenFromHelp)
            continue;
        QString names = optionNames(option).leftJustified(width);
        for (const QString &line : option.description().split(QLatin1Char('\n'))) {
            text += QStringLiteral("  %1  %2\n").arg(names, line);
            names.fill(QLatin1Char(' '));
        }
    }
    return text;
}

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
    parser.addOptions(optionTable());
    const QString program = QStringLiteral("pinboa");
    if (!parser.parse(app.arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        const QString fault = unknown.isEmpty()
                                  ? parser.errorText()
                                  : QStringLiteral("不明なオプションです: %1")
                                        .arg(typed(unknown).join(QStringLiteral(", ")));
        endWith(QStringLiteral("%1: %2\n%1 --help で使えるオプションを表示します。\n")
                    .arg(program, fault),
                stderr, 1);
    }
    if (parser.isSet(QStringLiteral("help")))
        endWith(helpText(program), stdout, 0);
    return {parser.isSet(QStringLiteral("show-notes"))};
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

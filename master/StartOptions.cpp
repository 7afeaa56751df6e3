// The master's command line and the start that shows the notes.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "StartOptions.h"

#include "Form1.h"
#include "NotificationArea.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
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

// An option or argument the master does not take: said in Japanese, and no start.
[[noreturn]] void refuse(const QString &fault)
{
    std::fprintf(stderr, "%s: %s\n%s --help で使えるオプションを表示します。\n",
                 qPrintable(QCoreApplication::applicationName()), qPrintable(fault),
                 qPrintable(QCoreApplication::applicationName()));
    std::fflush(stderr);
    std::exit(2);
}

struct OptionRow
{
    QCommandLineOption option;
    StartCommand command; // what the option asks a master for; None for the help
};

// Every option of the master, in the order the help lists them, with the command it asks for:
// the parser and the help both read this table, so an option added here is in the help.
// Japanese has no spaces to wrap at: each line of a description is short enough for one line.
QList<OptionRow> optionTable()
{
    return {
        {{{QStringLiteral("?"), QStringLiteral("h"), QStringLiteral("help")},
          QStringLiteral("この説明を表示します。")},
         StartCommand::None},
        {{QStringLiteral("show-notes"),
          QStringLiteral("起動して、登録されている付箋をすべて表示します。\n"
                         "（「表示・再表示」と同じです。ログイン時の自動起動用）\n"
                         "通知領域があればトレイに格納し、なければメイン画面を表示します。\n"
                         "すでに起動していれば、そちらが付箋を表示し直します。")},
         StartCommand::ShowNotes},
        {{QStringLiteral("hide-notes"),
          QStringLiteral("表示中の付箋をすべて閉じます（位置は保存されます）。\n"
                         "起動中の Pinboa があればそちらが閉じ、なければ閉じて終了します。")},
         StartCommand::HideNotes},
        {{QStringLiteral("toggle-notes"),
          QStringLiteral("付箋が表示されていればすべて閉じ、なければすべて表示します。\n"
                         "（キーボードショートカット用）")},
         StartCommand::ToggleNotes},
        {{QStringLiteral("new-note"), QStringLiteral("付箋作成の画面を開きます。")},
         StartCommand::NewNote},
        {{QStringLiteral("edit-note"),
          QStringLiteral("付箋を編集する画面を開きます。\n"
                         "ARG は「付箋番号 上端 左端 幅 高さ」（単位は twip）。"),
          QStringLiteral("ARG")},
         StartCommand::EditNote},
        {{QStringLiteral("data-folder"),
          QStringLiteral("付箋を保存するフォルダーを DIR に変更します。\n"
                         "（メニューの「データフォルダ…」と同じです）"),
          QStringLiteral("DIR")},
         StartCommand::DataFolder},
    };
}

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

// The help, in Japanese (Qt's parser would head it in English): how to start the master and
// each option of the table.
QString helpText(const QList<OptionRow> &table)
{
    qsizetype width = 0;
    for (const OptionRow &row : table)
        width = std::max(width, optionNames(row.option).size());
    QString text = QStringLiteral("使い方: %1 [オプション]\n"
                                  "デスクトップの付箋。オプションなしで起動すると、"
                                  "メイン画面を表示します。\n\nオプション:\n")
                       .arg(QCoreApplication::applicationName());
    for (const OptionRow &row : table) {
        if (row.option.flags() & QCommandLineOption::HiddenFromHelp)
            continue;
        QString names = optionNames(row.option).leftJustified(width);
        for (const QString &line : row.option.description().split(QLatin1Char('\n'))) {
            text += QStringLiteral("  %1  %2\n").arg(names, line);
            names.fill(QLatin1Char(' '));
        }
    }
    return text;
}

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
    const QList<OptionRow> table = optionTable();
    QCommandLineParser parser;
    for (const OptionRow &row : table)
        parser.addOption(row.option);
    if (!parser.parse(app.arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        refuse(unknown.isEmpty() ? parser.errorText()
                                 : QStringLiteral("不明なオプションです: %1")
                                       .arg(typed(unknown).join(QStringLiteral(", "))));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(helpText(table)), stdout);
        std::fflush(stdout);
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        refuse(
            QStringLiteral("引数 '%1' は使えません。").arg(parser.positionalArguments().first()));

    StartOptions options;
    QString chosen;
    for (const OptionRow &row : table) {
        if (row.command == StartCommand::None || !parser.isSet(row.option))
            continue;
        if (!chosen.isEmpty())
            refuse(QStringLiteral("--%1 と --%2 は同時に指定できません。")
                       .arg(chosen, row.option.names().first()));
        chosen = row.option.names().first();
        options.command = row.command;
    }
    if (options.command == StartCommand::EditNote) {
        options.argument = parser.value(QStringLiteral("edit-note"));
        options.edit = EditRequest::parse(options.argument);
        if (!options.edit)
            refuse(QStringLiteral("--edit-note の引数 '%1' が正しくありません。")
                       .arg(options.argument));
    }
    if (options.command == StartCommand::DataFolder) {
        // Absolute: a running master does not share this start's working folder.
        const QString given = parser.value(QStringLiteral("data-folder"));
        const QFileInfo folder(given);
        if (!folder.isDir())
            refuse(QStringLiteral("--data-folder の '%1' はフォルダーではありません。").arg(given));
        options.argument = folder.absoluteFilePath();
    }
    return options;
}

void startEditing(Form1 &form, bool showMainWindow, const std::function<void()> &command)
{
    QTimer::singleShot(0, &form, command);
    if (tray::notificationAreaAvailable()) {
        form.MainMode = 0;
        return;
    }
    // Nowhere to come back from but the main window.
    form.MainMode = 1;
    if (showMainWindow)
        form.show();
}

void startShowingNotes(Form1 &form, const std::function<void()> &command)
{
    form.MainMode = 0;
    QTimer::singleShot(0, &form, command);
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

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

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace master {

namespace {

// At login the programs of the session may start before the panel that holds the notification
// area: the master waits this long for one to appear before it shows its main window instead.
constexpr int NotificationAreaGraceMs = 5000;
constexpr int NotificationAreaPollMs = 200;

// An option or argument the master does not take: said as Qt's parser says it, and no start.
[[noreturn]] void refuse(const QString &fault)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(fault));
    std::fflush(stderr);
    std::exit(2);
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
    const QCommandLineOption hideNotes(
        QStringLiteral("hide-notes"),
        QStringLiteral("表示中の付箋をすべて閉じます（位置は保存されます）。\n"
                       "起動中の Pinboa があればそちらが閉じ、なければ閉じて終了します。"));
    const QCommandLineOption toggleNotes(
        QStringLiteral("toggle-notes"),
        QStringLiteral("付箋が表示されていればすべて閉じ、なければすべて表示します。\n"
                       "（キーボードショートカット用）"));
    const QCommandLineOption newNote(QStringLiteral("new-note"),
                                     QStringLiteral("付箋作成の画面を開きます。"));
    const QCommandLineOption editNote(
        QStringLiteral("edit-note"),
        QStringLiteral("付箋を編集する画面を開きます。\n"
                       "ARG は「付箋番号 上端 左端 幅 高さ」（単位は twip）。"),
        QStringLiteral("ARG"));
    const QCommandLineOption dataFolder(
        QStringLiteral("data-folder"),
        QStringLiteral("付箋を保存するフォルダーを DIR に変更します（メニューの「データフォルダ…」"
                       "と同じです）。"),
        QStringLiteral("DIR"));
    parser.addOption(help);
    parser.addOption(showNotes);
    parser.addOptions({hideNotes, toggleNotes, newNote, editNote, dataFolder});
    if (!parser.parse(app.arguments()))
        refuse(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        refuse(
            QStringLiteral("引数 '%1' は使えません。").arg(parser.positionalArguments().first()));

    StartOptions options;
    const std::pair<const QCommandLineOption &, StartCommand> commands[] = {
        {showNotes, StartCommand::ShowNotes},     {hideNotes, StartCommand::HideNotes},
        {toggleNotes, StartCommand::ToggleNotes}, {newNote, StartCommand::NewNote},
        {editNote, StartCommand::EditNote},       {dataFolder, StartCommand::DataFolder}};
    QString chosen;
    for (const auto &[option, command] : commands) {
        if (!parser.isSet(option))
            continue;
        if (!chosen.isEmpty())
            refuse(QStringLiteral("--%1 と --%2 は同時に指定できません。")
                       .arg(chosen, option.names().first()));
        chosen = option.names().first();
        options.command = command;
    }
    if (options.command == StartCommand::EditNote) {
        options.argument = parser.value(editNote);
        options.edit = EditRequest::parse(options.argument);
        if (!options.edit)
            refuse(QStringLiteral("--edit-note の引数 '%1' が正しくありません。")
                       .arg(options.argument));
    }
    if (options.command == StartCommand::DataFolder) {
        // Absolute: a running master does not share this start's working folder.
        const QFileInfo folder(parser.value(dataFolder));
        if (!folder.isDir())
            refuse(QStringLiteral("--data-folder の '%1' はフォルダーではありません。")
                       .arg(parser.value(dataFolder)));
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

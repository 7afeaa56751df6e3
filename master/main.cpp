// pinboa: the master program. One per program and data folder; lives in the tray, shows the notes.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"
#include "NotificationArea.h"
#include "StartOptions.h"

#include "platform/EndRequests.h"
#include "platform/LineRequest.h"
#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/SingleInstance.h"
#include "platform/WindowSystem.h"
#include "store/DataFolder.h"
#include "store/Files.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

using master::StartCommand;

// The request that carries a start's command to a running master.
const platform::protocol::MasterRequest *requestOf(StartCommand command)
{
    switch (command) {
    case StartCommand::ShowNotes:
        return &platform::protocol::Refresh;
    case StartCommand::HideNotes:
        return &platform::protocol::HideNotes;
    case StartCommand::ToggleNotes:
        return &platform::protocol::ToggleNotes;
    case StartCommand::NewNote:
        return &platform::protocol::NewNote;
    case StartCommand::EditNote:
        return &platform::protocol::EditNote;
    case StartCommand::DataFolder:
        return &platform::protocol::DataFolder;
    case StartCommand::None:
        break;
    }
    return nullptr;
}

// --hide-notes without a master: the close of every note, from the event loop, and the end. No
// window and no tray icon.
int hideNotesAlone(QApplication &app)
{
    master::NoteDesktop desktop;
    QObject::connect(&desktop, &master::NoteDesktop::finished, &app, [](const QString &message) {
        if (message.isEmpty())
            return QCoreApplication::exit(0);
        std::fprintf(stderr, "pinboa: %s\n", qPrintable(message));
        QCoreApplication::exit(1);
    });
    QTimer::singleShot(0, &desktop, &master::NoteDesktop::UL);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    store::files::ignoreFileSizeSignal();
    // Notes must stand where they were left: X11, or a clear word and no start. The help and a
    // mistyped option need no desktop and are answered first.
    if (master::asksForHelp(argc, argv) || !platform::chooseX11()) {
        {
            QCoreApplication app(argc, argv);
            app.setApplicationName(QStringLiteral("pinboa"));
            master::readStartOptions(app);
        }
        if (master::asksForHelp(argc, argv))
            return 0;
        return platform::reportNoX11(QStringLiteral("Pinboa"));
    }
    QApplication app(argc, argv);
    platform::installFontSubstitutes();
    platform::installQtTranslation();
    app.setApplicationName(QStringLiteral("pinboa"));
    // The master lives in the tray; hiding or closing windows never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    const master::StartOptions options = master::readStartOptions(app);

    // One master per program folder and per data folder, settled before anything touches files.
    platform::SingleInstance instance(platform::programFolder(),
                                      store::folders(platform::programFolder()).state);
    if (!instance.claim()) {
        // Another master runs: asked from the event loop, and this start ends once it is done.
        using Outcome = platform::LineRequest::Outcome;
        const auto warnAndEnd = [&app, &instance] {
            platform::showMessage(nullptr,
                                  {QStringLiteral("このアプリケーションは、複数起動はできません。"),
                                   QStringLiteral("警告"), platform::MessageIcon::Exclamation,
                                   platform::MessageButtons::Ok},
                                  [&app, &instance](platform::MessageAnswer) {
                                      // Without a notification area a hidden master could not be
                                      // reached any other way.
                                      if (master::tray::notificationAreaAvailable())
                                          return app.exit(0);
                                      QObject::connect(instance.ask(platform::protocol::ShowMain),
                                                       &platform::LineRequest::finished, &app,
                                                       [&app] { app.exit(0); });
                                  });
        };
        if (const auto *request = requestOf(options.command)) {
            // A command (a key bound on the desktop, say): the running master carries it out.
            QObject::connect(instance.ask(*request, options.argument),
                             &platform::LineRequest::finished, &app,
                             [&app, warnAndEnd](Outcome outcome) {
                                 if (outcome == Outcome::Answered)
                                     return app.exit(0);
                                 qCWarning(lcPinboa, "the running master did not take the command");
                                 warnAndEnd();
                             });
        } else {
            QTimer::singleShot(0, &app, warnAndEnd);
        }
        return app.exec();
    }
    if (options.command == StartCommand::HideNotes)
        return hideNotesAlone(app);

    master::Form1 form;
    app.setWindowIcon(form.windowIcon());
    QObject::connect(&instance, &platform::SingleInstance::showRequested, &form,
                     &master::Form1::showMain);
    QObject::connect(&instance, &platform::SingleInstance::refreshRequested, &form,
                     [&form] { form.runCommand(master::DesktopCommand::Show); });
    instance.handle(platform::protocol::HideNotes,
                    [&form](const QString &) { form.runCommand(master::DesktopCommand::Hide); });
    instance.handle(platform::protocol::ToggleNotes,
                    [&form](const QString &) { form.runCommand(master::DesktopCommand::Toggle); });
    instance.handle(platform::protocol::NewNote,
                    [&form](const QString &) { form.sakusei_Click(); });
    instance.handle(platform::protocol::EditNote, [&form](const QString &argument) {
        if (const auto request = master::EditRequest::parse(argument))
            form.editNote(*request);
        else
            qCWarning(lcPinboa, "an edit request without a note passed by: %s",
                      qPrintable(argument.left(80)));
    });
    instance.handle(platform::protocol::DataFolder,
                    [&form](const QString &folder) { form.chooseDataFolder(folder); });
    platform::EndRequests endRequests;
    QObject::connect(&endRequests, &platform::EndRequests::endRequested, &form,
                     &master::Form1::syuuryou_Click);

    // The notes folder is watched from now on, and the claim follows the notes to another one.
    form.startWatching(
        [&instance](const QString &stateFolder) { return instance.moveTo(stateFolder); });
    form.addTrayIcon();
    switch (options.command) {
    case StartCommand::None:
    case StartCommand::HideNotes:
        form.MainMode = 1;
        form.show();
        break;
    case StartCommand::DataFolder:
        form.MainMode = 1;
        form.show();
        QTimer::singleShot(0, &form,
                           [&form, folder = options.argument] { form.chooseDataFolder(folder); });
        break;
    case StartCommand::ShowNotes:
        master::startShowingNotes(form, [&form] { form.runCommand(master::DesktopCommand::Show); });
        break;
    case StartCommand::ToggleNotes:
        master::startShowingNotes(form,
                                  [&form] { form.runCommand(master::DesktopCommand::Toggle); });
        break;
    case StartCommand::NewNote:
        master::startEditing(form, false, [&form] { form.sakusei_Click(); });
        break;
    case StartCommand::EditNote:
        master::startEditing(form, true, [&form, edit = *options.edit] { form.editNote(edit); });
        break;
    }
    return app.exec();
}

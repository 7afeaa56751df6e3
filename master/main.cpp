// pinboa: the master program. One per program and data folder; lives in the tray, shows the notes.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"
#include "NotificationArea.h"
#include "StartOptions.h"

#include "platform/EndRequests.h"
#include "platform/LineRequest.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/SingleInstance.h"
#include "platform/WindowSystem.h"
#include "store/DataFolder.h"
#include "store/Files.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    store::files::ignoreFileSizeSignal();
    if (master::asksForHelp(argc, argv)) {
        // The help needs no desktop.
        QCoreApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("pinboa"));
        master::readStartOptions(app);
        return 0;
    }
    // Notes must stand where they were left: X11, or a clear word and no start.
    if (!platform::chooseX11())
        return platform::reportNoX11(QStringLiteral("Pinboa"));
    QApplication app(argc, argv);
    platform::installFontSubstitutes();
    platform::installQtTranslation();
    app.setApplicationName(QStringLiteral("pinboa"));
    // The master lives in the tray; hiding or closing windows never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    const master::StartOptions options = master::readStartOptions(app);

    // One master per program folder and per data folder, settled before anything touches files.
    platform::SingleInstance instance(platform::programFolder(),
                                      store::dataFolder(platform::programFolder()));
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
        if (options.showNotes) {
            // Started to show the notes (at login, say) while a master runs: that one refreshes.
            QObject::connect(instance.ask(platform::protocol::Refresh),
                             &platform::LineRequest::finished, &app,
                             [&app, warnAndEnd](Outcome outcome) {
                                 if (outcome == Outcome::Answered)
                                     return app.exit(0);
                                 warnAndEnd();
                             });
        } else {
            QTimer::singleShot(0, &app, warnAndEnd);
        }
        return app.exec();
    }

    master::Form1 form;
    app.setWindowIcon(form.windowIcon());
    QObject::connect(&instance, &platform::SingleInstance::showRequested, &form,
                     &master::Form1::showMain);
    QObject::connect(&instance, &platform::SingleInstance::refreshRequested, &form,
                     &master::Form1::Command1_Click);
    platform::EndRequests endRequests;
    QObject::connect(&endRequests, &platform::EndRequests::endRequested, &form,
                     &master::Form1::syuuryou_Click);

    form.addTrayIcon();
    if (options.showNotes) {
        master::startShowingNotes(form);
    } else {
        form.MainMode = 1;
        form.show();
    }
    return app.exec();
}

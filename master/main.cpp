// pinboa: the master program. One per program folder; lives in the tray and shows the notes.
#include "Form1.h"
#include "NotificationArea.h"

#include "platform/EndRequests.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/SingleInstance.h"
#include "platform/WindowSystem.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Notes must stand where they were left: X11, or a clear word and no start.
    if (!platform::chooseX11())
        return platform::reportNoX11(QStringLiteral("Pinboa"));
    QApplication app(argc, argv);
    platform::installFontSubstitutes();
    platform::installQtTranslation();
    app.setApplicationName(QStringLiteral("pinboa"));
    // The master lives in the tray; hiding or closing windows never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Before anything touches the program folder's files.
    platform::SingleInstance instance(platform::programFolder());
    if (!instance.claim()) {
        platform::showMessage(nullptr,
                              {QStringLiteral("このアプリケーションは、複数起動はできません。"),
                               QStringLiteral("警告"), platform::MessageIcon::Exclamation,
                               platform::MessageButtons::Ok});
        // Without a notification area a hidden master could not be reached any other way.
        if (!master::tray::notificationAreaAvailable())
            instance.askRunningToShow();
        return 0;
    }

    master::Form1 form;
    app.setWindowIcon(form.windowIcon());
    QObject::connect(&instance, &platform::SingleInstance::showRequested, &form,
                     &master::Form1::showMain);
    platform::EndRequests endRequests;
    QObject::connect(&endRequests, &platform::EndRequests::endRequested, &form,
                     &master::Form1::syuuryou_Click);

    form.addTrayIcon();
    form.MainMode = 1;
    form.show();
    return app.exec();
}

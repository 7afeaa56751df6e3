// memlet: shows one note, handed over as one argument, until it is closed.
#include "Form1.h"

#include "platform/EndRequests.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/WindowSystem.h"
#include "store/DataFolder.h"

#include <QApplication>
#include <QFile>

int main(int argc, char *argv[])
{
    // No note, no window: end before anything else is set up or opened.
    if (argc < 2 || argv[1][0] == '\0')
        return 0;
    // The note's argument string, character for character. Qt never sees it, so no part of a
    // note can be taken for one of Qt's own options.
    const QString argumentText = QFile::decodeName(argv[1]);
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};

    platform::preferX11OnWayland();
    QApplication app(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false); // the close decides when the process ends
    // Installed first, so that a request to end that comes during the start-up waits for it.
    platform::EndRequests endRequests;
    platform::installFontSubstitutes();

    // Registers and writes back in the data folder the master uses; the close requests are
    // named after it too.
    notewin::Form1 form(store::dataFolder(platform::programFolder()));
    QString error;
    switch (form.Form_Load(argumentText, &error)) {
    case notewin::Form1::LoadResult::NoNote:
        return 0;
    case notewin::Form1::LoadResult::Failed:
        platform::showMessage(nullptr, {QStringLiteral("付箋を表示できません。\n%1").arg(error),
                                        QStringLiteral("付箋"), platform::MessageIcon::Critical,
                                        platform::MessageButtons::Ok});
        return 2;
    case notewin::Form1::LoadResult::Loaded:
        break;
    }

    QObject::connect(&form, &notewin::Form1::closed, &app,
                     [](int exitCode) { QCoreApplication::exit(exitCode); });
    // Signals and the session's end close the note like any other way; a second request while
    // a failed close is still being reported ends the process.
    QObject::connect(&endRequests, &platform::EndRequests::endRequested, &form, [&form] {
        if (form.hasUnloaded())
            QCoreApplication::exit(1);
        else
            form.Form_Unload();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, &notewin::Form1::Form_Unload);

    platform::keepOutOfTaskBar(&form);
    form.show();
    form.activateWindow(); // started as a window that takes the focus, so the first key reaches it
    return app.exec();
}

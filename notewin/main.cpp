// memlet: shows one note, handed over as one argument, until it is closed.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"
#include "Launcher.h"

#include "platform/EndRequests.h"
#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/WindowSystem.h"
#include "store/DataFolder.h"
#include "store/Files.h"

#include <QApplication>
#include <QFile>

#include <cstdlib>

int main(int argc, char *argv[])
{
    store::files::ignoreFileSizeSignal();
    // Started as the master's note launcher, this goes on only in a note window forked from it,
    // with that window's note; from here on it is a start like any other.
    const std::optional<std::string> launched = notewin::serveAsLauncher(argc, argv);
    const char *note = launched ? launched->c_str() : argc >= 2 ? argv[1] : nullptr;
    // No note, no window: end before anything else is set up or opened.
    if (!note || note[0] == '\0')
        return 0;
    // The note's argument string, character for character. Qt never sees it, so no part of a
    // note can be taken for one of Qt's own options.
    const QString argumentText = QFile::decodeName(note);
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};

    // Notes must stand where they were left: X11, or a clear word and no start.
    if (!platform::chooseX11())
        return platform::reportNoX11(QStringLiteral("付箋"));
    QApplication app(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false); // the close decides when the process ends
    // Installed first, so that a request to end that comes during the start-up waits for it.
    platform::EndRequests endRequests;
    platform::installFontSubstitutes();
    platform::installQtTranslation();

    // Registers and writes back in the data folder the master uses; the close requests are
    // named after it too.
    notewin::Form1 form(store::folders(platform::programFolder()));
    // A failure before the window is up is told, and the process ends once it has been read.
    bool startFailed = false;
    const auto fail = [&startFailed](const QString &why) {
        startFailed = true;
        platform::showMessage(
            nullptr,
            {QStringLiteral("付箋を表示できません。\n%1").arg(why), QStringLiteral("付箋"),
             platform::MessageIcon::Critical, platform::MessageButtons::Ok},
            [](platform::MessageAnswer) {
                // Queued: the answer may come before the event loop runs.
                QMetaObject::invokeMethod(
                    qApp, [] { QCoreApplication::exit(2); }, Qt::QueuedConnection);
            });
    };
    QObject::connect(&endRequests, &platform::EndRequests::endRequested, &form, [&] {
        if (form.hasUnloaded() || startFailed)
            QCoreApplication::exit(startFailed ? 2 : 1); // while a failure is being told
        else
            form.Form_Unload(notewin::Form1::CloseCause::EndRequest);
    });
    QObject::connect(&form, &notewin::Form1::closed, &app,
                     [](int code) { QCoreApplication::exit(code); });
    QObject::connect(&form, &notewin::Form1::loaded, &app, [&](const store::Status &s) {
        if (!s && form.endRequested()) {
            qCWarning(lcPinboa, "%s", qPrintable(s.error()));
            QCoreApplication::exit(2); // asked to end meanwhile: nobody waits for a message
            return;
        }
        if (!s)
            return fail(s.error());
        platform::keepOutOfTaskBar(&form);
        form.show();
        form.markShown();
    });

    const auto load = form.Form_Load(argumentText);
    if (!load) {
        fail(load.error());
        return app.exec();
    }
    if (load.value() == notewin::Form1::LoadResult::NoNote)
        return 0;

    // The event loop is over (the application quits, or Qt ends the process with exit() when the
    // connection to the window system breaks): the close runs at once, with the last place the
    // window was known at.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form,
                     [&form] { form.Form_UnloadNow(); });
    static notewin::Form1 *s_form = nullptr;
    s_form = &form;
    std::atexit([] {
        if (s_form)
            s_form->Form_UnloadNow();
    });
    const int code = app.exec();
    s_form = nullptr;
    return code;
}

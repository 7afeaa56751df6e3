// memlet: shows one note, handed over as one argument, until it is closed.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"

#include "platform/EndRequests.h"
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
    // No note, no window: end before anything else is set up or opened.
    if (argc < 2 || argv[1][0] == '\0')
        return 0;
    // The note's argument string, character for character. Qt never sees it, so no part of a
    // note can be taken for one of Qt's own options.
    const QString argumentText = QFile::decodeName(argv[1]);
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
    notewin::Form1 form(store::dataFolder(platform::programFolder()));
    // A request to end that comes while the start-up waits for the files is kept for when the
    // note is up (or not: a start-up that fails ends anyway).
    bool loaded = false;
    bool endRequestedEarly = false;
    QObject::connect(&endRequests, &platform::EndRequests::endRequested, &form, [&] {
        if (!loaded)
            endRequestedEarly = true;
        else if (form.hasUnloaded())
            QCoreApplication::exit(1); // a second request while a failed close is reported
        else
            form.Form_Unload(notewin::Form1::CloseCause::EndRequest);
    });

    const auto load = form.Form_Load(argumentText);
    if (!load) {
        platform::showMessage(nullptr,
                              {QStringLiteral("付箋を表示できません。\n%1").arg(load.error()),
                               QStringLiteral("付箋"), platform::MessageIcon::Critical,
                               platform::MessageButtons::Ok});
        return 2;
    }
    if (load.value() == notewin::Form1::LoadResult::NoNote)
        return 0;
    loaded = true;

    int exitCode = 0;
    QObject::connect(&form, &notewin::Form1::closed, &app, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form,
                     [&form] { form.Form_Unload(notewin::Form1::CloseCause::EndRequest); });
    if (endRequestedEarly) {
        form.Form_Unload(notewin::Form1::CloseCause::EndRequest);
        return exitCode;
    }

    // When the connection to the window system breaks (the desktop ends without a session
    // manager), Qt ends the process with exit() from inside its event handling: the close then
    // runs from here, with the last place the window was known at.
    static notewin::Form1 *s_form = nullptr;
    s_form = &form;
    std::atexit([] {
        if (s_form)
            s_form->Form_UnloadWithoutDisplay();
    });

    platform::keepOutOfTaskBar(&form);
    form.show();
    const int code = app.exec();
    s_form = nullptr;
    return code;
}

// A note window stand-in for the master's tests: registers like a note window, answers the close
// request, and can be told to register late or die first. Never shows anything.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "platform/CloseRequest.h"
#include "store/NoteArgs.h"
#include "store/NoteStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QTimer>

namespace {

void log(const QString &appDir, const QString &line)
{
    QFile file(appDir + QStringLiteral("fake.log"));
    if (file.open(QIODevice::Append))
        file.write((line + QLatin1Char('\n')).toUtf8());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString appDir = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    // Where a note window keeps its files: a chosen data folder too.
    const store::Folders folders = store::folders(appDir);
    const QString args = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto decoded = store::DecodeNoteArgs(args);
    if (!decoded.ok() || !decoded.value().has_value())
        return 2;
    const QString id = decoded.value()->at(9);
    const qint64 pid = QCoreApplication::applicationPid();
    log(appDir, QStringLiteral("start %1 %2").arg(id).arg(pid));

    if (qEnvironmentVariable("FAKE_MEMLET_DIE") == id)
        return 3;
    platform::CloseRequestServer server;
    server.onActivate = [] {};
    server.onKeys = [&](const QString &keys, const std::function<void(bool)> &reply) {
        const auto close = [&, keys, reply] {
            // As a window does, at the place its note gave it.
            const QStringList fields = *decoded.value();
            store::NoteStore(folders, store::LockWait::Sleep)
                .closeNoteWindow(id, fields[store::NoteRecord::Top].toDouble(),
                                 fields[store::NoteRecord::Left].toDouble());
            log(appDir, QStringLiteral("close %1 %2").arg(id, keys));
            reply(true);
            // A real window takes a moment to end after its write-back.
            QTimer::singleShot(qEnvironmentVariableIntValue("FAKE_MEMLET_EXIT_DELAY_MS"), &app,
                               &QCoreApplication::quit);
        };
        // A window stuck in its close (on a message of its own, say) answers far too late.
        if (qEnvironmentVariable("FAKE_MEMLET_STUCK") == id)
            QTimer::singleShot(8000, &app, close);
        else
            close();
    };
    if (!server.listen(appDir, pid).ok())
        return 4;
    QThread::msleep(qEnvironmentVariableIntValue("FAKE_MEMLET_DELAY_MS"));
    if (!store::NoteStore(folders, store::LockWait::Sleep).appendRunningEntry(id).ok())
        return 5;
    return app.exec();
}

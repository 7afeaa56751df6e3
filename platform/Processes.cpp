// The program folder, starting note windows detached, and finding live ones through /proc.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Processes.h"

#include "store/FolderKey.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <dirent.h>
#include <unistd.h>

namespace platform {

namespace {

QString s_testFolder;

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// The target of a /proc/<pid>/exe link; a program replaced on disk since it started reads
// "<path> (deleted)", which is still the same program for this purpose.
QString exeOf(const QByteArray &procDir)
{
    char buffer[4096];
    const ssize_t n = ::readlink((procDir + "/exe").constData(), buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    QByteArray target(buffer, int(n));
    static const QByteArray deleted(" (deleted)");
    if (target.endsWith(deleted))
        target.chop(deleted.size());
    return QFile::decodeName(target);
}

QString canonicalProgram(const QString &appDir)
{
    const QString program = noteWindowProgram(appDir);
    const QString canonical = QFileInfo(program).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(program).absoluteFilePath()) : canonical;
}

// The note argument string of a process: its first argument, decoded as it was encoded when
// the process was started. Read only as far as its end: a window forked by the note launcher has
// the launcher's room for the longest string, cleared, after it.
QString noteArgsOf(const QByteArray &procDir)
{
    QFile file(QString::fromLatin1(procDir + "/cmdline"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    QByteArray cmdline;
    qsizetype end0 = -1;
    qsizetype end1 = -1;
    while (end1 < 0) {
        const QByteArray chunk = file.read(4096);
        if (chunk.isEmpty())
            break;
        cmdline += chunk;
        if (end0 < 0)
            end0 = cmdline.indexOf('\0');
        if (end0 >= 0)
            end1 = cmdline.indexOf('\0', end0 + 1);
    }
    if (end0 < 0 || end0 + 1 >= cmdline.size())
        return {};
    if (end1 < 0)
        end1 = cmdline.size();
    return QFile::decodeName(cmdline.mid(end0 + 1, end1 - end0 - 1));
}

} // namespace

QString programFolder()
{
    if (!s_testFolder.isEmpty())
        return withSlash(s_testFolder);
    if (QCoreApplication::instance())
        return withSlash(QCoreApplication::applicationDirPath());
    return withSlash(QFileInfo(exeOf("/proc/self")).absolutePath());
}

void setProgramFolderForTesting(const QString &folder)
{
    s_testFolder = folder;
}

QString folderKey(const QString &folder)
{
    return store::folderKey(folder);
}

QString noteWindowProgram(const QString &appDir)
{
    return withSlash(appDir) + QStringLiteral("memlet");
}

store::Result<qint64> startNoteWindow(const QString &appDir, const QString &noteArgs)
{
    // An argument cannot carry a NUL character: the window would receive a shortened note.
    if (noteArgs.contains(QChar(0)))
        return store::Error{QStringLiteral("付箋の内容に使えない文字 (NUL) が含まれています。")};
    const QString program = noteWindowProgram(appDir);
    qint64 pid = 0;
    if (!QProcess::startDetached(program, {noteArgs}, appDir, &pid) || pid <= 0)
        return store::Error{QStringLiteral("付箋ウィンドウ %1 を起動できませんでした。")
                                .arg(QDir::toNativeSeparators(program))};
    return pid;
}

QList<LiveNoteWindow> liveNoteWindows(const QString &appDir)
{
    QList<LiveNoteWindow> found;
    const QString program = canonicalProgram(appDir);
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return found;
    while (const dirent *entry = ::readdir(proc)) {
        const char *name = entry->d_name;
        if (*name < '1' || *name > '9')
            continue;
        bool ok = false;
        const qint64 pid = QByteArray(name).toLongLong(&ok);
        if (!ok)
            continue;
        const QByteArray procDir = QByteArray("/proc/") + name;
        if (exeOf(procDir) != program)
            continue;
        // The note launcher runs as memlet too, with no argument string: no note window.
        QString noteArgs = noteArgsOf(procDir);
        if (noteArgs.isEmpty())
            continue;
        found.append({pid, std::move(noteArgs)});
    }
    ::closedir(proc);
    return found;
}

bool isLiveNoteWindow(const QString &appDir, qint64 pid)
{
    if (pid <= 0)
        return false;
    const QByteArray procDir = "/proc/" + QByteArray::number(pid);
    return exeOf(procDir) == canonicalProgram(appDir) && !noteArgsOf(procDir).isEmpty();
}

void endNoteWindow(const QString &appDir, qint64 pid)
{
    if (isLiveNoteWindow(appDir, pid))
        ::kill(pid_t(pid), SIGTERM);
}

} // namespace platform

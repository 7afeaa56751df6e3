// The data folder rule shared by the master and the note windows.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "DataFolder.h"

#include "Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace store {

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

bool userCanWrite(const QString &folder)
{
    return QFileInfo(folder).isDir() &&
           ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
QString userDataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

} // namespace

QString dataFolder(const QString &programFolder)
{
    return dataFolder(programFolder, userCanWrite);
}

QString dataFolder(const QString &programFolder,
                   const std::function<bool(const QString &folder)> &canWrite)
{
    const QString program = withSlash(programFolder);
    if (QFileInfo(files::resolve(program, QStringLiteral("MDATA.INI"))).isFile() ||
        canWrite(program))
        return program;

    const QString home = userDataHome();
    const QString folder = home + QStringLiteral("/pinboa");
    // The notes are the user's own: the folder is made for the user alone. A folder that cannot
    // be made is still named; the first file operation reports why it cannot be used.
    if (!QFileInfo::exists(folder) && QDir().mkpath(home))
        QDir().mkdir(folder,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return withSlash(folder);
}

} // namespace store

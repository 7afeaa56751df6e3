// The data folder rule shared by the master and the note windows.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace store {

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

QString dataFolder(const QString &programFolder)
{
    const QFileInfo program(programFolder);
    if (program.isDir() && program.isWritable())
        return withSlash(programFolder);

    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString folder = home + QStringLiteral("/pinboa");
    // The notes are the user's own: the folder is made for the user alone. A folder that cannot
    // be made is still named; the first file operation reports why it cannot be used.
    if (!QFileInfo::exists(folder) && QDir().mkpath(home))
        QDir().mkdir(folder,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return withSlash(folder);
}

} // namespace store

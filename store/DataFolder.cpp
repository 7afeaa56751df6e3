// The data folder rule shared by the master and the note windows.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "DataFolder.h"

#include "Files.h"
#include "FolderKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <unistd.h>

namespace store {

namespace {

const QString ChosenKey = QStringLiteral("dataFolder");

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

// An XDG base folder: the variable when it is an absolute path, else its default below home.
QString xdgHome(const char *variable, const QString &fallback)
{
    const QString xdg = qEnvironmentVariable(variable);
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + u'/' + fallback;
}

// `parent`/pinboa[/`key`], each level that is missing made for the user alone: what the programs
// keep there is the user's own. A folder that cannot be made is still named; the first file
// operation reports why it cannot be used.
QString ownFolder(const QString &parent, const QString &key = QString())
{
    QString folder = parent + QStringLiteral("/pinboa");
    const auto own = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    if (!QFileInfo::exists(folder) && QDir().mkpath(parent))
        QDir().mkdir(folder, own);
    if (!key.isEmpty()) {
        folder += u'/' + key;
        if (!QFileInfo::exists(folder))
            QDir().mkdir(folder, own);
    }
    return withSlash(folder);
}

} // namespace

Folders::Folders(const QString &folder) : notes(withSlash(folder)), state(notes) {}

Folders::Folders(const QString &notesFolder, const QString &stateFolder)
    : notes(withSlash(notesFolder)), state(withSlash(stateFolder))
{
}

Folders folders(const QString &programFolder)
{
    return folders(programFolder, userCanWrite);
}

Folders folders(const QString &programFolder,
                const std::function<bool(const QString &folder)> &canWrite)
{
    const QString chosen = chosenDataFolder();
    if (!chosen.isEmpty())
        return Folders(chosen, stateFolderFor(chosen));

    const QString program = withSlash(programFolder);
    if (QFileInfo(files::resolve(program, QStringLiteral("MDATA.INI"))).isFile() ||
        canWrite(program))
        return Folders(program);
    return Folders(ownFolder(xdgHome("XDG_DATA_HOME", QStringLiteral(".local/share"))));
}

QString dataFolder(const QString &programFolder)
{
    return folders(programFolder).notes;
}

QString dataFolder(const QString &programFolder,
                   const std::function<bool(const QString &folder)> &canWrite)
{
    return folders(programFolder, canWrite).notes;
}

QString configFile()
{
    return xdgHome("XDG_CONFIG_HOME", QStringLiteral(".config")) +
           QStringLiteral("/pinboa/pinboa.conf");
}

QString chosenDataFolder()
{
    if (!QFileInfo::exists(configFile()))
        return QString();
    const QSettings settings(configFile(), QSettings::IniFormat);
    const QString chosen = settings.value(ChosenKey).toString();
    // A hand-edited relative path would name a different folder from every working folder.
    if (!QDir::isAbsolutePath(chosen))
        return QString();
    return withSlash(QDir::cleanPath(chosen));
}

namespace {

Status keepChoice(const QString &folder)
{
    const QString file = configFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings settings(file, QSettings::IniFormat);
    if (folder.isEmpty())
        settings.remove(ChosenKey);
    else
        settings.setValue(ChosenKey, folder);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return Error{QStringLiteral("設定ファイル %1 に書き込めません。データフォルダーの設定は"
                                    "変わっていません。")
                         .arg(QDir::toNativeSeparators(file))};
    return {};
}

} // namespace

Status chooseDataFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir())
        return Error{QStringLiteral("フォルダー %1 がありません。データフォルダーの設定は"
                                    "変わっていません。")
                         .arg(QDir::toNativeSeparators(folder))};
    return keepChoice(withSlash(QDir::cleanPath(info.absoluteFilePath())));
}

Status clearDataFolder()
{
    if (!QFileInfo::exists(configFile()))
        return {};
    return keepChoice(QString());
}

QString stateFolderFor(const QString &notes)
{
    return ownFolder(xdgHome("XDG_STATE_HOME", QStringLiteral(".local/state")), folderKey(notes));
}

} // namespace store

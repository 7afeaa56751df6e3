// Watches the notes folder for what other programs change there.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "FolderWatch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace master {

namespace {

// A sync engine writes a temporary file and renames it over the old one, in a burst of events:
// one look once they are over.
constexpr int SettleMs = 250;
constexpr int DefaultRescanMs = 30000;
int rescanMs = DefaultRescanMs;

QString noteFileOf(const QString &folder)
{
    return store::files::resolve(folder, QStringLiteral("MDATA.INI"));
}

} // namespace

int FolderWatch::rescanIntervalMs()
{
    return rescanMs;
}

void FolderWatch::setRescanIntervalForTesting(int ms)
{
    rescanMs = ms > 0 ? ms : DefaultRescanMs;
}

FolderWatch::FolderWatch(QObject *parent)
    : QObject(parent), m_settle(new QTimer(this)), m_rescan(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(SettleMs);
    connect(m_settle, &QTimer::timeout, this, &FolderWatch::look);
    connect(m_rescan, &QTimer::timeout, this, &FolderWatch::look);
}

void FolderWatch::watch(const QString &notesFolder)
{
    delete m_watcher;
    m_watcher = nullptr;
    m_settle->stop();
    m_rescan->stop();
    m_folder = notesFolder;
    if (m_folder.isEmpty())
        return;
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatch::soon);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &FolderWatch::soon);
    arm();
    m_seen = now();
    m_rescan->start(rescanMs);
    QTimer::singleShot(0, this, &FolderWatch::changed);
}

FolderWatch::Seen FolderWatch::now() const
{
    return {store::files::identityOf(noteFileOf(m_folder)), store::files::identityOf(m_folder)};
}

// A file renamed over MDATA.INI is a new file, which the watch on the old one never sees; a folder
// that came back (a drive mounted again) needs its watch again too.
void FolderWatch::arm()
{
    if (!m_watcher)
        return;
    if (!m_watcher->directories().contains(m_folder) && QFileInfo(m_folder).isDir())
        m_watcher->addPath(m_folder);
    // Added again even when listed: the watch of a file that was renamed over may still follow
    // the old file.
    if (const QStringList files = m_watcher->files(); !files.isEmpty())
        m_watcher->removePaths(files);
    if (const QString file = noteFileOf(m_folder); QFileInfo::exists(file))
        m_watcher->addPath(file);
}

void FolderWatch::soon()
{
    if (!m_settle->isActive())
        m_settle->start();
}

void FolderWatch::look()
{
    arm();
    const Seen seen = now();
    if (seen == m_seen)
        return;
    m_seen = seen;
    emit changed();
}

} // namespace master

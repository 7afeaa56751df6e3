// Watches the notes folder for what other programs change there: a sync engine that brings
// MDATA.INI from another computer, or leaves a conflict copy beside it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Files.h"

#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

namespace master {

// The kernel's watch on the folder and on MDATA.INI tells at once; a rescan every interval
// catches what it misses on some file systems (network and FUSE folders). A look costs two stats:
// changed() is emitted only when MDATA.INI or the folder's list of files is not as last seen.
class FolderWatch : public QObject
{
    Q_OBJECT
public:
    explicit FolderWatch(QObject *parent = nullptr);

    // Watches `notesFolder` from now on (empty: nothing). What is there now counts as seen, and
    // changed() follows once, so that conflict copies left while no master ran are taken in.
    void watch(const QString &notesFolder);
    const QString &folder() const { return m_folder; }

    // The rescan interval, which is also how long an incoming change waits before the notes it
    // overwrote are put back. Tests shorten it.
    static int rescanIntervalMs();
    static void setRescanIntervalForTesting(int ms);

signals:
    void changed();

private:
    struct Seen
    {
        store::files::Identity notes;
        store::files::Identity folder;
        bool operator==(const Seen &other) const = default;
    };
    Seen now() const;
    void arm();
    void soon();
    void look();

    QString m_folder;
    Seen m_seen;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_settle;
    QTimer *m_rescan;
};

} // namespace master

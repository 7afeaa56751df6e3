// The note windows a master started, until each one's entry in IDDATA.INI carries its task
// identifier.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/DataFolder.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

namespace master {

// A started window writes its own entry when its start-up ends; the master then writes the
// window's task identifier into it. This reads IDDATA.INI from the event loop, a little after
// each start, and writes the identifiers of the entries that appeared in one rewrite, once the
// windows started with them have registered too or after a short while.
class Registrations : public QObject
{
    Q_OBJECT
public:
    explicit Registrations(QObject *parent = nullptr);

    // Waits for the window `pid` of `programDir`, which got the identifier text `idText`, to
    // register in the data folder `appDir`; the windows tracked together share the folders.
    // `windowsStarting` started with it: on a loaded machine many windows take a while, so the
    // bound grows with their number.
    void track(const store::Folders &folders, const QString &programDir, const QString &idText,
               qint64 pid, int windowsStarting);
    bool pending() const { return !m_waiting.isEmpty(); }
    // RunningId of the entries as last read.
    const QStringList &runningIds() const { return m_runningIds; }

signals:
    // Every tracked window registered, died, or was waited for long enough. `message` is for
    // the user: empty, or why IDDATA.INI could not be updated.
    void settled(const QString &message);

private:
    struct StartedWindow
    {
        QString idText; // the identifier as the window received it
        qint64 pid = 0;
        qint64 waitUntil = 0; // on the monotonic clock, ms
    };
    void poll();

    store::Folders m_folders;
    QString m_programDir;
    QList<StartedWindow> m_waiting;
    QStringList m_runningIds;
    QString m_message;
    qint64 m_batchSince = 0; // when the oldest registration not written yet was seen, or 0
    QTimer *m_timer;
};

} // namespace master

// One master per program folder: a kernel lock in the folder plus a local socket for the first one.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

namespace platform {

class LocalServer;

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &appDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first: it then holds the lock and listens. False when
    // another master of this folder runs.
    bool claim();
    // Second instance: asks the running master to show its main window (used where there is no
    // notification area to bring it back from). Returns whether it was reached.
    bool askRunningToShow();
    // Second instance: asks the running master to refresh the notes on the desktop. Returns
    // whether it took the request on.
    bool askRunningToRefresh();

signals:
    // First instance: another start asked to show the main window.
    void showRequested();
    // First instance: another start asked to refresh the notes.
    void refreshRequested();

private:
    bool ask(const char *request, const char *answer);

    QString m_appDir;
    int m_lockFd = -1;
    LocalServer *m_server = nullptr;
};

} // namespace platform

// Ways a process is asked to end from outside its windows: SIGTERM, SIGHUP, SIGINT and the end of
// the desktop session, turned into one Qt signal on the user-interface thread.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

namespace platform {

class EndRequests : public QObject
{
    Q_OBJECT
public:
    // Installs the signal handlers; one object per process.
    explicit EndRequests(QObject *parent = nullptr);
    ~EndRequests() override;

signals:
    void endRequested();
};

} // namespace platform

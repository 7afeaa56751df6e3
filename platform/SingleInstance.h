// One master per program folder and per data folder: a name in the abstract socket namespace
// for the program folder, a kernel lock in the data folder, and a local socket over which a
// second start asks the running master.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Protocol.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace platform {

class LineRequest;
class LocalServer;
class LocalSocket;

// The socket names of the master of the programs in `programDir` and of the master of the notes
// in `dataDir`; each is tried with the names of socketNames() after it.
QString programMasterSocketName(const QString &programDir);
QString dataMasterSocketName(const QString &dataDir);

class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // The master of the programs in `programDir`, whose notes are in `dataDir`.
    SingleInstance(const QString &programDir, const QString &dataDir, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first master of its program folder and of its data folder:
    // it then holds both and answers requests. False when another master holds either.
    bool claim();
    // The master switched to the notes of another data folder: holds that folder's lock and
    // answers under its name from now on, and lets the old ones go. False, changing nothing, when
    // another master holds it. Before claim(), it only names the folder.
    bool moveTo(const QString &dataDir);

    // First instance: `handler` runs from the event loop for each `request` of a second start,
    // with its argument (empty for a request without one), after the answer went out. SHOW and
    // REFRESH are handled already: showRequested(), refreshRequested().
    void handle(const protocol::MasterRequest &request,
                std::function<void(const QString &argument)> handler);

    // Second instance: sends `request`, with `argument` (one line) when it takes one, to the
    // running master of this program or data folder, and waits for its answer from the event
    // loop. Started already; its finished() says Answered when the master took the request on.
    LineRequest *ask(const protocol::MasterRequest &request, const QString &argument = {});

signals:
    // First instance: another start asked to show the main window.
    void showRequested();
    // First instance: another start asked to refresh the notes.
    void refreshRequested();

private:
    enum class Claim
    {
        Mine,
        Taken,      // another master holds it
        Unavailable // cannot be had: run without this check rather than lock the user out
    };
    Claim claimProgramName();
    Claim claimDataLock();
    LocalServer *listenAsData();
    void serve(LocalServer *server);
    void take(LocalSocket *socket, const QByteArray &line, bool *strayLogged);

    struct Handler
    {
        protocol::MasterRequest request;
        std::function<void(const QString &argument)> run;
    };

    QString m_programDir;
    QString m_dataDir;
    bool m_claimed = false;
    int m_lockFd = -1;
    LocalServer *m_programServer = nullptr;
    LocalServer *m_dataServer = nullptr;
    QList<Handler> m_handlers;
};

} // namespace platform

// "編集…" of a note: the running master is asked to open its note editor on the note, and a
// master is started to do it when none runs.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

namespace notewin {

class EditRequest : public QObject
{
    Q_OBJECT
public:
    // The master of the programs in `programDir` whose notes are in `dataDir`.
    EditRequest(const QString &programDir, const QString &dataDir, QObject *parent = nullptr);

    // `argument`: the identifier text as the window received it, then the window's outer top,
    // left, width and height in twips, separated by single spaces. Does nothing while an earlier
    // request is on its way.
    void send(const QString &argument);
    bool pending() const { return m_pending; }

signals:
    // The request could not be handed over: a message for the user.
    void failed(const QString &message);

private:
    void startMaster(const QString &argument);

    QString m_programDir;
    QString m_dataDir;
    bool m_pending = false;
};

} // namespace notewin

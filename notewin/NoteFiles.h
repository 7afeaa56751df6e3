// What a note window does in the data files: its running entry at start-up, and the write-back
// of its place at close, each a wait for the folder's lock that runs as a state.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteStore.h"
#include "store/Result.h"
#include "store/Retry.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <functional>

namespace notewin {

class NoteFiles : public QObject
{
    Q_OBJECT
public:
    NoteFiles(const QString &appDir, QObject *parent = nullptr);

    const QString &appDir() const { return m_appDir; }
    void setNoteId(const QString &idText) { m_noteId = idText; }
    const QString &noteId() const { return m_noteId; }

    // Appends the window's entry "<id>","0" to IDDATA.INI; registered() follows from the event
    // loop, with a busy() failure when the lock stayed held for the whole wait.
    void registerWindow();
    // Removes the window's entries and stores its place in its records. `place` (outer left as
    // x, top as y, twips) is asked at each try, so that a drag during the wait is what is stored.
    // closed() follows; with `busy()` on both parts when nothing could be written in time.
    void writeBack(std::function<QPointF()> place);
    bool waiting() const { return m_retry != nullptr; }
    // The same, at once, with plain sleeps for the lock: the event loop is over.
    store::CloseResult writeBackNow(const QPointF &place) const;

signals:
    void registered(const store::Status &status);
    void closed(const store::CloseResult &result);

private:
    QString m_appDir;
    QString m_noteId;
    QPointer<store::Retry> m_retry;
};

} // namespace notewin

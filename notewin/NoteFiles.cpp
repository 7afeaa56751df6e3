// The note window's running entry and its write-back, each waiting for the lock as a state.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteFiles.h"

#include "store/Retry.h"

#include <QTimer>

namespace notewin {

NoteFiles::NoteFiles(const QString &appDir, QObject *parent) : QObject(parent), m_appDir(appDir) {}

void NoteFiles::registerWindow()
{
    const auto report = [this](const store::Status &status) {
        // From the event loop, so that a caller has returned before it hears the outcome.
        QTimer::singleShot(0, this, [this, status] { emit registered(status); });
    };
    m_retry = store::Retry::start(
        this,
        [this, report] {
            const store::Status appended = store::NoteStore(m_appDir).appendRunningEntry(m_noteId);
            if (appended.busy())
                return store::Retry::Busy;
            report(appended);
            return store::Retry::Over;
        },
        [this, report] { report(store::FolderLock::busyError(m_appDir)); });
}

void NoteFiles::writeBack(std::function<QPointF()> place)
{
    if (m_retry)
        return; // one write-back at a time
    m_retry = store::Retry::start(
        this,
        [this, place] {
            const QPointF at = place();
            const store::CloseResult result =
                store::NoteStore(m_appDir).closeNoteWindow(m_noteId, at.y(), at.x());
            if (result.busy())
                return store::Retry::Busy;
            QTimer::singleShot(0, this, [this, result] { emit closed(result); });
            return store::Retry::Over;
        },
        [this] {
            const store::Error busy = store::FolderLock::busyError(m_appDir);
            emit closed({busy, busy});
        });
}

store::CloseResult NoteFiles::writeBackNow(const QPointF &place) const
{
    return store::NoteStore(m_appDir, store::LockWait::Sleep)
        .closeNoteWindow(m_noteId, place.y(), place.x());
}

} // namespace notewin

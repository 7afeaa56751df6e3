// The note window's running entry, options and write-back, each waiting for the lock as a state.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteFiles.h"

#include "store/Retry.h"

#include <QTimer>

namespace notewin {

NoteFiles::NoteFiles(const store::Folders &folders, QObject *parent)
    : QObject(parent), m_folders(folders)
{
}

void NoteFiles::registerWindow()
{
    const auto report = [this](const store::Status &status) {
        // From the event loop, so that a caller has returned before it hears the outcome.
        QTimer::singleShot(0, this, [this, status] { emit registered(status); });
    };
    m_retry = store::Retry::start(
        this,
        [this, report] {
            const store::NoteStore notes(m_folders);
            // Read first: the entry is the last step of a start-up. Options that cannot be read
            // are the defaults; the note shows all the same.
            const auto options = notes.readNoteOptions();
            if (options.busy())
                return store::Retry::Busy;
            m_options = options ? options.value() : store::NoteOptionsReadout{};
            const store::Status appended = notes.appendRunningEntry(m_noteId);
            if (appended.busy())
                return store::Retry::Busy;
            report(appended);
            return store::Retry::Over;
        },
        [this, report] { report(store::FolderLock::busyError(m_folders.state)); });
}

void NoteFiles::storeChoices(OptionsChange choose)
{
    m_choices = std::move(choose);
    if (m_choicesRetry)
        return; // the waiting one stores the latest choice
    m_choicesRetry = store::Retry::start(
        this,
        [this] {
            if (!m_choices)
                return store::Retry::Over; // a close stored it meanwhile
            const qint64 number = noteNumber();
            const store::Status stored =
                store::NoteStore(m_folders).updateNoteOptions([&](store::NoteOptionsTable &table) {
                    store::NoteOptions note = table.value(number);
                    m_choices(note);
                    table.insert(number, note);
                    return true;
                });
            if (stored.busy())
                return store::Retry::Busy;
            if (stored)
                m_choices = {};
            QTimer::singleShot(0, this, [this, stored] { emit choicesStored(stored); });
            return store::Retry::Over;
        },
        [this] { emit choicesStored(store::FolderLock::busyError(m_folders.state)); });
}

void NoteFiles::writeBack(std::function<QPointF()> place, std::function<OptionsChange()> workspace)
{
    if (m_retry)
        return; // one write-back at a time
    m_retry = store::Retry::start(
        this,
        [this, place, workspace] {
            const store::CloseResult result = closeNow(place(), workspace(), store::LockWait::None);
            if (result.busy())
                return store::Retry::Busy;
            if (result.options) {
                m_choices = {};
                if (m_choicesRetry)
                    m_choicesRetry->cancel();
            }
            QTimer::singleShot(0, this, [this, result] { emit closed(result); });
            return store::Retry::Over;
        },
        [this] {
            const store::Error busy = store::FolderLock::busyError(m_folders.state);
            emit closed({busy, busy, busy});
        });
}

store::CloseResult NoteFiles::writeBackNow(const QPointF &place,
                                           const OptionsChange &workspace) const
{
    return closeNow(place, workspace, store::LockWait::Sleep);
}

store::CloseResult NoteFiles::closeNow(const QPointF &place, const OptionsChange &workspace,
                                       store::LockWait wait) const
{
    const OptionsChange choices = m_choices;
    return store::NoteStore(m_folders, wait)
        .closeNoteWindow(
            m_noteId, place.y(), place.x(),
            [&](store::NoteOptions &note) {
                if (choices)
                    choices(note);
                if (workspace)
                    workspace(note);
            },
            m_noteFields);
}

} // namespace notewin

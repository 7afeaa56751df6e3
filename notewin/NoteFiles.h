// What a note window does in the data files: its running entry and its options at start-up, the
// user's choices of options, and the write-back of its place at close, each a wait for the
// folder's lock that runs as a state.
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
    NoteFiles(const store::Folders &folders, QObject *parent = nullptr);

    const QString &appDir() const { return m_folders.notes; }
    const store::Folders &folders() const { return m_folders; }
    void setNoteId(const QString &idText) { m_noteId = idText; }
    // The fields of the window's argument string: its close stores the place only in a record
    // that still holds the note's text or the place it was shown at.
    void setNoteFields(const QStringList &fields) { m_noteFields = fields; }
    const QString &noteId() const { return m_noteId; }

    // Reads the note options, then appends the window's entry "<id>","0" to IDDATA.INI;
    // registered() follows from the event loop, with a busy() failure when the lock stayed held
    // for the whole wait.
    void registerWindow();
    // The options as read by registerWindow(): the note's own are options().of(noteNumber()).
    const store::NoteOptionsReadout &options() const { return m_options; }
    qint64 noteNumber() const { return store::windowNoteNumber(m_noteId); }

    // A change of the note's options entry: what the user chose, or where the window is.
    using OptionsChange = std::function<void(store::NoteOptions &)>;
    // Stores the user's choice in the options file. While an earlier choice waits for the lock,
    // the later one takes its place. choicesStored() follows; until it says so, the close's
    // write-back stores the choice too, so that a close never loses it.
    void storeChoices(OptionsChange choose);

    // Removes the window's entries and stores its place in its records. `place` (outer left as
    // x, top as y, twips) is asked at each try, so that a drag during the wait is what is stored;
    // so is `workspace`, the change that notes where the window is in its options. Both are asked
    // before the lock is taken. closed() follows; with `busy()` on both parts when nothing could
    // be written in time.
    void writeBack(std::function<QPointF()> place, std::function<OptionsChange()> workspace);
    bool waiting() const { return m_retry != nullptr; }
    // The same, at once, with plain sleeps for the lock: the event loop is over.
    store::CloseResult writeBackNow(const QPointF &place, const OptionsChange &workspace) const;

signals:
    void registered(const store::Status &status);
    void choicesStored(const store::Status &status);
    void closed(const store::CloseResult &result);

private:
    store::CloseResult closeNow(const QPointF &place, const OptionsChange &workspace,
                                store::LockWait wait) const;

    store::Folders m_folders;
    QString m_noteId;
    std::optional<QStringList> m_noteFields;
    store::NoteOptionsReadout m_options;
    OptionsChange m_choices; // a choice not yet stored
    QPointer<store::Retry> m_retry;
    QPointer<store::Retry> m_choicesRetry;
};

} // namespace notewin

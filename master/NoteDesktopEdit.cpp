// The master's notes on the desktop: an edited note written over its record, and its window shown
// again with the new look.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteDesktop.h"

#include "LiveNotes.h"
#include "store/NoteArgs.h"
#include "store/NoteHistory.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"

#include <QTimer>

namespace master {

namespace {

// The record is the one the editor was opened on: a note window's close stores its place in it
// meanwhile, and nothing else may have changed.
bool sameAsideFromPlace(const store::NoteRecord &a, const store::NoteRecord &b)
{
    for (int f = 0; f < store::NoteRecord::FieldCount; ++f) {
        if (f != store::NoteRecord::Top && f != store::NoteRecord::Left &&
            !(a.field(f) == b.field(f)))
            return false;
    }
    return true;
}

} // namespace

store::Result<NoteAt> NoteDesktop::findNote(const QString &idText)
{
    setFolders();
    const auto records = store::NoteStore(m_folders).readNoteRecords();
    if (!records)
        return store::Error{records.error(), records.busy()};
    // The window's text as the master writes it, else as the window itself compares it ("07").
    for (const auto matches : {+[](const QString &id, const store::Value &noteId) {
                                   return store::recordMatchesEntry(noteId, id);
                               },
                               +[](const QString &id, const store::Value &noteId) {
                                   return store::ownIdMatchesRecord(id, noteId);
                               }}) {
        for (qsizetype i = 0; i < records->size(); ++i) {
            if (matches(idText, records->at(i).NoteId))
                return NoteAt{i, records->at(i)};
        }
    }
    return store::Error{
        QStringLiteral("付箋番号 %1 の付箋は登録されていません（消去されたのかもしれ"
                       "ません）。")
            .arg(idText)};
}

// Under the folder's lock, for the edit that m_creation holds.
store::Result<qint64> NoteDesktop::replaceLocked(const store::NoteStore &files)
{
    const NoteAt &opened = *m_creation->replacing;
    const auto records = files.readNoteRecords();
    if (!records)
        return store::Error{records.error()};
    if (opened.index >= records->size() ||
        !sameAsideFromPlace(records->at(opened.index), opened.note))
        return store::Error{QStringLiteral("編集していた付箋は、そのあいだにほかで変更されたか消去"
                                           "されたため、書き込んでいません。")};
    const store::NoteRecord &current = records->at(opened.index);
    store::NoteRecord note = m_creation->note;
    // The place is the window's: what its last close stored.
    note.NoteTop = current.NoteTop;
    note.NoteLeft = current.NoteLeft;
    note.NoteId = current.NoteId;
    // Everything that could refuse the note before anything is written, as for a new one.
    if (const auto line = store::serializeNoteRecord(note); !line)
        return store::Error{line.error()};
    if (const auto encoded = store::EncodeNoteArgs(note); !encoded)
        return store::Error{encoded.error()};
    const store::files::Identity before = store::files::identityOf(files.noteFilePath());
    if (const store::Status replaced = files.replaceNoteRecord(opened.index, current, note);
        !replaced)
        return store::Error{replaced.error()};
    wrote(before, [&](QList<store::NoteRecord> &known) {
        for (store::NoteRecord &record : known) {
            if (record.NoteId == current.NoteId && store::sameNote(record, current)) {
                record = note;
                break;
            }
        }
    });
    reshowEdited(note, opened.index);
    return qint64(0);
}

// The note's window closes with its write-back, then starts again from the record: an operation of
// its own, once the folder's lock is free again for the window's write-back.
void NoteDesktop::reshowEdited(const store::NoteRecord &note, qsizetype index)
{
    begin(Step::Closing);
    const QString idText = windowIdOf(note).value_or(QString());
    if (m_noteTable.size() > index + 1)
        m_noteTable[index + 1] = NoteRow{note, 0};
    m_toClose.clear();
    const LiveWindows live = LiveWindows::scan(m_programDir, m_closed);
    for (auto it = live.idByPid.cbegin(); it != live.idByPid.cend(); ++it) {
        if (it.value() == idText || store::recordMatchesEntry(note.NoteId, it.value()))
            m_toClose.append(it.key());
    }
    m_afterClosing = [this, idText, index] {
        // A window that did not close may still show the note: it gets no twin.
        if (!m_allConfirmed) {
            m_messages.append(QStringLiteral("編集した付箋のウィンドウが閉じなかったため、新しい"
                                             "内容は次の「表示・再表示」で表示されます。"));
            return finish();
        }
        m_step = Step::Showing;
        runLocked([this, idText, index] { return startEdited(idText, index); });
    };
    QTimer::singleShot(0, this, &NoteDesktop::closeNext);
}

// Starts the edited note's window from its record as the close left it: false while the folder's
// lock is busy.
bool NoteDesktop::startEdited(const QString &idText, qsizetype index)
{
    const store::FolderLock lock(m_folders.state);
    if (lock.error().busy)
        return false;
    const auto records = lock.locked()
                             ? store::NoteStore(m_folders, store::LockWait::Held).readNoteRecords()
                             : store::Result<QList<store::NoteRecord>>(lock.error());
    if (!records) {
        m_messages.append(records.error());
        finish();
        return true;
    }
    // Where it was written, else wherever the note stands now; erased meanwhile, it stays away.
    qsizetype row = -1;
    if (index < records->size() && windowIdOf(records->at(index)) == idText)
        row = index;
    for (qsizetype i = 0; row < 0 && i < records->size(); ++i) {
        if (windowIdOf(records->at(i)) == idText)
            row = i;
    }
    if (row < 0 || LiveWindows::scan(m_programDir, m_closed).ids.contains(idText)) {
        finish();
        return true;
    }
    const store::NoteRecord &note = records->at(row);
    if (m_noteTable.size() < row + 2)
        m_noteTable.resize(row + 2);
    m_noteTable[row + 1] = NoteRow{note, 0};
    m_toStart = {{int(row + 1), idText, store::EncodeNoteArgs(note).value()}};
    m_step = Step::Registering;
    QTimer::singleShot(0, this, &NoteDesktop::startNext);
    return true;
}

} // namespace master

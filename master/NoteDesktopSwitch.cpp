// The master's notes on the desktop: keeping the notes in another folder from now on.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteDesktop.h"

#include "store/NoteStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace master {

bool NoteDesktop::switchFolder(const QString &folder, bool bringIn, const FolderClaim &claim)
{
    if (!begin(Step::Closing))
        return false;
    setFolders();
    QString notes = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!notes.endsWith(u'/'))
        notes += u'/';
    Switch change{m_folders, store::Folders(notes, store::stateFolderFor(notes)), bringIn,
                  anyNoteShown(), claim};
    if (change.to == change.from) {
        QTimer::singleShot(0, this, &NoteDesktop::finish);
        return true;
    }
    // Two masters on one set of notes would show each note twice.
    if (claim && !claim(change.to.state)) {
        m_messages.append(QStringLiteral("フォルダー %1 の付箋は、ほかの Pinboa が使っています。"
                                         "データフォルダは変わっていません。")
                              .arg(QDir::toNativeSeparators(notes)));
        QTimer::singleShot(0, this, &NoteDesktop::finish);
        return true;
    }
    m_switch = change;
    // Every note writes its place back into the folder it was shown from, then the choice.
    m_afterClosing = [this] {
        m_step = Step::Showing;
        runLocked([this] { return switchLocked(); });
    };
    QTimer::singleShot(0, this, [this] { runLocked([this] { return closeStart(); }); });
    return true;
}

// The notes of the old folder are closed: brings them in when asked, keeps the choice and shows
// the notes of the new folder. False while a folder's lock is busy.
bool NoteDesktop::switchLocked()
{
    Switch &change = *m_switch;
    if (change.bringIn) {
        const auto mine = store::NoteStore(change.from).readNoteRecords();
        if (!mine && mine.busy())
            return false;
        if (!mine) {
            switchFailed(mine.error());
            return true;
        }
        const auto added = store::NoteStore(change.to).bringInNotes(mine.value());
        if (!added && added.busy())
            return false;
        if (!added) {
            switchFailed(added.error());
            return true;
        }
        change.bringIn = false; // a later try of what follows does not bring them in again
        if (!added->isEmpty())
            m_messages.append(QStringLiteral("このコンピューターの付箋 %1 件を、%2 に取り込みまし"
                                             "た。元のフォルダー %3 の付箋もそのまま残っています。")
                                  .arg(added->size())
                                  .arg(QDir::toNativeSeparators(change.to.notes),
                                       QDir::toNativeSeparators(change.from.notes)));
    }
    if (const store::Status kept = store::chooseDataFolder(change.to.notes); !kept) {
        m_messages.append(kept.error()); // says that the choice stays as it was
        switchFailed(QString());
        return true;
    }
    const bool showAgain = change.wasShown;
    m_switch.reset();
    // What this master knew and meant to do belongs to the old folder.
    m_putBackBase.reset();
    m_saidUnreadable.reset();
    m_saidCopies.clear();
    learnNotes();
    emit folderSwitched();
    if (!showAgain) {
        finish();
        return true;
    }
    QTimer::singleShot(0, this, [this] { runLocked([this] { return show(); }); });
    return true;
}

// Nothing changed but the closed notes: the new folder is let go, and the notes come back.
void NoteDesktop::switchFailed(const QString &why)
{
    const Switch change = *std::exchange(m_switch, std::nullopt);
    if (!why.isEmpty())
        m_messages.append(why + QStringLiteral("\nデータフォルダは変わっていません。"));
    if (change.claim)
        change.claim(change.from.state);
    if (!change.wasShown)
        return finish();
    QTimer::singleShot(0, this, [this] { runLocked([this] { return show(); }); });
}

} // namespace master

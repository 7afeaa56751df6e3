// Form1: the commands that other starts of pinboa send to the running master.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "DataFolderChoice.h"
#include "EditRequest.h"
#include "FolderWatch.h"
#include "Form1.h"
#include "Form2.h"

#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "store/Retry.h"

#include <QApplication>

#include <algorithm>

namespace master {

namespace {

// A key held down sends a command with every repeat: more than this many waiting are dropped.
constexpr qsizetype MaxWaitingCommands = 4;

const QString MessageTitle = QStringLiteral("Pinboa");

} // namespace

void Form1::runCommand(DesktopCommand command)
{
    // One show or close at a time: a command that comes meanwhile waits for its turn, so that
    // two toggles in quick succession hide every note and then show every note.
    if (command == DesktopCommand::Follow || command == DesktopCommand::PutBack) {
        // Each looks at the folder as it is when its turn comes: once is enough.
        if (std::any_of(m_commands.cbegin(), m_commands.cend(),
                        [command](const Waiting &w) { return w.command == command; }))
            return;
    } else if (m_commands.size() >= MaxWaitingCommands) {
        qCWarning(lcPinboa, "a command to the notes was dropped: %d are waiting already",
                  int(m_commands.size()));
        return;
    }
    m_commands.append({command, std::nullopt});
    runNextCommand();
}

void Form1::switchDataFolder(const QString &folder, bool bringIn)
{
    m_commands.append({DesktopCommand::Show, std::pair(folder, bringIn)});
    runNextCommand();
}

void Form1::runNextCommand()
{
    if (m_commands.isEmpty() || m_desktop.busy())
        return; // the end of the running operation asks again
    const Waiting next = m_commands.takeFirst();
    if (next.switchTo) {
        if (m_desktop.switchFolder(next.switchTo->first, next.switchTo->second, m_claim))
            QApplication::setOverrideCursor(Qt::BusyCursor);
        return;
    }
    switch (next.command) {
    case DesktopCommand::Show:
        return refresh();
    case DesktopCommand::Hide:
        return UL();
    case DesktopCommand::Toggle:
        if (m_desktop.anyNoteShown())
            return UL();
        return refresh();
    case DesktopCommand::Follow:
        m_following = m_desktop.follow();
        return;
    case DesktopCommand::PutBack:
        m_following = m_desktop.putBackOverwritten();
        return;
    }
}

void Form1::dataFolder_Click()
{
    m_choice->open();
}

void Form1::chooseDataFolder(const QString &folder)
{
    m_choice->decide(folder);
}

void Form1::startWatching(NoteDesktop::FolderClaim claim)
{
    m_claim = std::move(claim);
    if (!m_watch) {
        m_watch = new FolderWatch(this);
        connect(m_watch, &FolderWatch::changed, this,
                [this] { runCommand(DesktopCommand::Follow); });
        connect(&m_desktop, &NoteDesktop::folderSwitched, m_watch,
                [this] { m_watch->watch(m_desktop.Folders().notes); });
    }
    m_desktop.learnNotes();
    m_watch->watch(m_desktop.Folders().notes);
}

void Form1::learnNotes()
{
    if (m_watch)
        m_desktop.learnNotes();
}

void Form1::editNote(const EditRequest &request)
{
    // Another program's hold on the files is waited for from a timer.
    store::Retry::start(
        this,
        [this, request] {
            const auto found = m_desktop.findNote(request.idText);
            if (!found && found.busy())
                return store::Retry::Busy;
            if (found)
                openEditorOn(found.value(), request.outer);
            else
                platform::showMessage(this, {found.error(), MessageTitle});
            return store::Retry::Over;
        },
        [this] {
            platform::showMessage(
                this, {store::FolderLock::busyError(m_desktop.AppDir()).message, MessageTitle});
        });
}

void Form1::openEditorOn(const NoteAt &note, const QRectF &outer)
{
    Form2 *form = editor();
    if (form->isVisible()) {
        // One editor at a time: the note in it stays the user's until it is done.
        form->raise();
        form->activateWindow();
        platform::showMessage(form, {QStringLiteral("作成中または編集中の付箋があります。そちらを"
                                                    "終えてから、もう一度お試しください。"),
                                     MessageTitle});
        return;
    }
    form->beginEdit(note, outer);
    form->show();
    form->raise();
    form->activateWindow();
}

} // namespace master

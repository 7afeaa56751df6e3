// The note window's menu beyond "はがす": 編集… asks the master to open the note in its editor;
// 常に手前に表示 and すべての作業領域に表示 ask the window manager and are kept in the note's
// options, with the workspace the note was closed on.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"

#include "EditRequest.h"
#include "NoteFiles.h"

#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/Value.h"

#include <QAction>
#include <QMenu>

namespace notewin {

void Form1::addOptionItems()
{
    KME->addSeparator();
    HENSYU = KME->addAction(QStringLiteral("編集…"));
    HENSYU->setObjectName(QStringLiteral("HENSYU"));
    connect(HENSYU, &QAction::triggered, this, &Form1::HENSYU_Click);
    KME->addSeparator();
    MAE = KME->addAction(QStringLiteral("常に手前に表示"));
    MAE->setObjectName(QStringLiteral("MAE"));
    MAE->setCheckable(true);
    connect(MAE, &QAction::triggered, this, &Form1::MAE_Click);
    ZENBU = KME->addAction(QStringLiteral("すべての作業領域に表示"));
    ZENBU->setObjectName(QStringLiteral("ZENBU"));
    ZENBU->setCheckable(true);
    connect(ZENBU, &QAction::triggered, this, &Form1::ZENBU_Click);
    connect(m_files, &NoteFiles::choicesStored, this, &Form1::choicesStored);
}

void Form1::takeOptions()
{
    const store::NoteOptionsReadout &read = m_files->options();
    if (read.state == store::NoteOptionsReadout::State::Damaged ||
        read.state == store::NoteOptionsReadout::State::Unreadable)
        qCWarning(lcPinboa, "the note shows with its default options: %s",
                  qPrintable(read.problem));
    m_options = read.of(m_files->noteNumber());
    MAE->setChecked(m_options.above);
    ZENBU->setChecked(m_options.allWorkspaces);
}

void Form1::askWindowManager()
{
    // Once, before the window is first mapped: the window manager maps it so.
    if (m_windowManagerAsked || m_state == State::Loading)
        return;
    m_windowManagerAsked = true;
    platform::setInitialWindowManagerState(
        this, {m_options.above, m_options.allWorkspaces, m_options.workspace});
}

void Form1::HENSYU_Click()
{
    if (!m_editRequest) {
        m_editRequest = new EditRequest(platform::programFolder(), m_files->folders().state, this);
        connect(m_editRequest, &EditRequest::failed, this, [this](const QString &message) {
            platform::showMessage(this, {message, QStringLiteral("付箋"),
                                         platform::MessageIcon::Exclamation,
                                         platform::MessageButtons::Ok});
        });
    }
    // Twips as the records hold them: single precision, shortest text.
    const QRectF outer = platform::outerGeometryTwips(this);
    QStringList argument{m_files->noteId()};
    for (const double twips : {outer.y(), outer.x(), outer.width(), outer.height()})
        argument.append(store::Value::single(twips).toText());
    m_editRequest->send(argument.join(u' '));
}

void Form1::MAE_Click(bool checked)
{
    m_options.above = checked;
    platform::setKeptAbove(this, checked);
    storeChoices();
}

void Form1::ZENBU_Click(bool checked)
{
    m_options.allWorkspaces = checked;
    platform::setOnAllWorkspaces(this, checked);
    storeChoices();
}

void Form1::storeChoices()
{
    m_files->storeChoices(
        [above = m_options.above, all = m_options.allWorkspaces](store::NoteOptions &note) {
            note.above = above;
            note.allWorkspaces = all;
        });
}

void Form1::choicesStored(const store::Status &status)
{
    if (status || m_state != State::Shown)
        return; // a close still stores the choice, and says nothing of it at the end
    platform::showMessage(
        this,
        {QStringLiteral(
             "この付箋の設定を保存できませんでした。付箋を閉じるときにもう一度保存します。\n%1")
             .arg(status.error()),
         QStringLiteral("付箋"), platform::MessageIcon::Exclamation, platform::MessageButtons::Ok});
}

std::function<void(store::NoteOptions &)> Form1::workspaceNote() const
{
    // Asked of the window manager here, not while the files are locked.
    const platform::WorkspacePlace place = platform::workspacePlace(this);
    return [place](store::NoteOptions &note) {
        if (place.count == 1)
            note.workspace.reset(); // one workspace: nothing to come back to
        else if (place.count > 1 && place.workspace)
            note.workspace = place.workspace;
        // On every workspace, or a desktop that says nothing of workspaces: as it was.
    };
}

} // namespace notewin

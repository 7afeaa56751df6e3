// Choosing the data folder: the folder chooser and the question about this computer's notes.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "DataFolderChoice.h"

#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "store/DataFolder.h"
#include "store/Files.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace master {

namespace {

const QString MessageTitle = QStringLiteral("Pinboa");

// Notes in `folder`: an MDATA.INI with something in it.
bool holdsNotes(const QString &folder)
{
    const QFileInfo file(store::files::resolve(folder, QStringLiteral("MDATA.INI")));
    return file.isFile() && file.size() > 0;
}

QString withSlash(QString folder)
{
    folder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

DataFolderChoice::DataFolderChoice(QWidget *window) : QObject(window), m_window(window) {}

QFileDialog *DataFolderChoice::dialog() const
{
    return m_dialog;
}

void DataFolderChoice::open()
{
    if (m_dialog) {
        m_dialog->raise();
        m_dialog->activateWindow();
        return;
    }
    const store::Folders current = store::folders(platform::programFolder());
    // Qt's own chooser, whose words the Japanese translation gives; the desktop's may not.
    m_dialog = new QFileDialog(m_window, QStringLiteral("データフォルダの選択"), current.notes);
    m_dialog->setObjectName(QStringLiteral("DataFolderDialog"));
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog);
    m_dialog->setOption(QFileDialog::ShowDirsOnly);
    m_dialog->setFileMode(QFileDialog::Directory);
    m_dialog->setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
    m_dialog->setLabelText(QFileDialog::FileName, QStringLiteral("フォルダー:"));
    m_dialog->setLabelText(QFileDialog::Accept, QStringLiteral("選択"));
    m_dialog->setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
    // Once the chooser is gone: a question asked while it still closes would be its child, and
    // go with it.
    connect(m_dialog, &QFileDialog::fileSelected, this, &DataFolderChoice::decide,
            Qt::QueuedConnection);
    m_dialog->open();
}

void DataFolderChoice::decide(const QString &folder)
{
    if (!QFileInfo(folder).isDir()) {
        platform::showMessage(m_window, {QStringLiteral("フォルダー %1 がありません。データフォ"
                                                        "ルダは変わっていません。")
                                             .arg(QDir::toNativeSeparators(folder)),
                                         MessageTitle});
        return;
    }
    const QString target = withSlash(folder);
    const store::Folders current = store::folders(platform::programFolder());
    if (target == current.notes)
        return;
    const bool mine = holdsNotes(current.notes);
    if (!mine || !holdsNotes(target)) {
        emit chosen(target, mine);
        return;
    }
    const QString question =
        QStringLiteral("選んだフォルダー %1 には、すでに付箋があります（ほかのコンピューターの付箋"
                       "かもしれません）。\n\nこのコンピューターの付箋も、このフォルダーに取り込み"
                       "ますか？\n\n「はい」: 両方の付箋を表示します。同じ付箋は一つにまとめ、番号"
                       "が重なる付箋には新しい番号を付けます。\n「いいえ」: このフォルダーの付箋"
                       "だけを表示します。このコンピューターの付箋は、元のフォルダー %2 に残り"
                       "ます。")
            .arg(QDir::toNativeSeparators(target), QDir::toNativeSeparators(current.notes));
    platform::showMessage(
        m_window,
        {question, MessageTitle, platform::MessageIcon::Question, platform::MessageButtons::YesNo},
        [this, target](platform::MessageAnswer answer) {
            emit chosen(target, answer == platform::MessageAnswer::Yes);
        });
}

} // namespace master

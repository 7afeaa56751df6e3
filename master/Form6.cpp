// Form6: putting erased notes back: choose them from ERASED.INI, newest first, and return them to
// MDATA.INI.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form6.h"

#include "Form4.h"

#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/DataFolder.h"
#include "store/ErasedNotes.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>

namespace master {

namespace {

const QString Title = QStringLiteral("消した付箋を戻す");

} // namespace

Form6::Form6(QWidget *parent) : Form(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(Title);

    // The erase dialog's size and places, so that the two look alike.
    const double tpp = platform::twipsPerPixel(this);
    resize(platform::toPixels(4680, tpp), platform::toPixels(3660, tpp));

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    platform::setGeometryTwips(List1, 30, 120, 4575, 1740);

    Label1 = new QLabel(QStringLiteral("戻す付箋を選択し、\n戻すボタンを押してください。"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(platform::designFont(14.25));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    platform::setGeometryTwips(Label1, 150, 1980, 4275, 705);

    Command1 = new QPushButton(QStringLiteral("戻す(&R)"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFont(platform::designFont(12));
    platform::setGeometryTwips(Command1, 270, 2820, 1695, 675);

    Command2 = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setFont(platform::designFont(11.25));
    platform::setGeometryTwips(Command2, 2670, 2850, 1695, 675);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    List1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form6::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form6::Command2_Click);

    fill();
}

Form6::~Form6() = default;

void Form6::fill()
{
    m_folders = store::folders(platform::programFolder());
    AppDir = m_folders.notes;
    List1->clear();
    Listed.clear();
    UnreadLines = 0;
    if (m_listing)
        m_listing->cancel();
    const store::ErasedNotes erased(AppDir);
    m_listing = store::Retry::start(
        this,
        [this, erased] {
            const auto readout = erased.read();
            if (readout.busy())
                return store::Retry::Busy;
            if (!readout) {
                showMessage(readout.error(), true);
                return store::Retry::Over;
            }
            for (auto it = readout->records.crbegin(); it != readout->records.crend(); ++it) {
                Listed.append(*it);
                List1->addItem(Form4::listLine(it->NoteText.toText()));
            }
            UnreadLines = int(readout->badLines.size());
            if (UnreadLines > 0) {
                QStringList lines;
                for (int line : readout->badLines)
                    lines << QString::number(line);
                showMessage(QStringLiteral("%1 の %2 行を読めません（%3 行目）。読めた付箋だけを"
                                           "表示しています。\nファイルを直すまで、付箋は戻せ"
                                           "ません。")
                                .arg(store::ErasedNotes::fileName())
                                .arg(UnreadLines)
                                .arg(lines.join(QStringLiteral("、"))),
                            false);
            }
            return store::Retry::Over;
        },
        [this] { showMessage(store::FolderLock::busyError(m_folders.state).message, true); });
}

void Form6::Command1_Click()
{
    if (m_busy)
        return; // the put back asked for waits for the files
    // Oldest first, so that notes erased together come back in their old order.
    QList<store::NoteRecord> chosen;
    for (int line = int(qMin(List1->count(), Listed.size())) - 1; line >= 0; --line) {
        if (List1->item(line)->isSelected())
            chosen.append(Listed[line]);
    }
    if (chosen.isEmpty()) {
        platform::showMessage(
            this, {QStringLiteral("戻す付箋はありません。"), QStringLiteral("確認メッセージ"),
                   platform::MessageIcon::Exclamation, platform::MessageButtons::Ok});
        return;
    }
    setBusy(true);
    // Both files under one hold of the lock, once it is free; closing the dialog meanwhile drops
    // the put back before anything is written.
    const int count = int(chosen.size());
    store::Retry::start(
        this,
        [this, chosen, count] {
            const auto done = store::ErasedNotes(m_folders).putBack(chosen);
            if (done.busy())
                return store::Retry::Busy;
            putBackDone(done, count);
            return store::Retry::Over;
        },
        [this, count] { putBackDone(store::FolderLock::busyError(m_folders.state), count); });
}

void Form6::putBackDone(const store::Result<QList<store::NoteRecord>> &done, int chosen)
{
    setBusy(false);
    if (!done) {
        showMessage(done.error(), true); // nothing changed: the list stands
        return;
    }
    fill();
    if (!done->isEmpty())
        emit putBack();
    if (done->size() < chosen)
        showMessage(QStringLiteral("選んだ付箋のうち %1 個は、もう戻されていました。")
                        .arg(chosen - done->size()),
                    false);
    activateWindow();
    raise();
    List1->setFocus();
}

void Form6::setBusy(bool busy)
{
    m_busy = busy;
    Command1->setEnabled(!busy);
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void Form6::showMessage(const QString &text, bool failure)
{
    platform::showMessage(
        this, {text, Title,
               failure ? platform::MessageIcon::Critical : platform::MessageIcon::Exclamation,
               platform::MessageButtons::Ok});
}

void Form6::Command2_Click()
{
    emit returnTo(Top(), Left());
    close();
}

} // namespace master

// Form4: the erase dialog: choose notes from a list and remove them from MDATA.INI.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form4.h"

#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/DataFolder.h"
#include "store/ErasedNotes.h"
#include "store/NoteStore.h"
#include "store/Retry.h"

#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPair>
#include <QPushButton>

#include <cstdlib>

namespace master {

namespace {

// The same note as listed: every field but the position, which a closing note window rewrites.
bool sameNote(const store::NoteRecord &a, const store::NoteRecord &b)
{
    for (int i = 0; i < store::NoteRecord::FieldCount; ++i) {
        if (i == store::NoteRecord::Top || i == store::NoteRecord::Left)
            continue;
        if (!(a.field(i) == b.field(i)))
            return false;
    }
    return true;
}

// Removes from `records` (as re-read now) each of `chosen` (records as listed, with their
// 0-based list positions) once: the equal record at the listed position when there is one, else
// the equal record nearest to it. Records that are not found any more are left alone. Gives the
// records removed, as they stood in the file.
QList<store::NoteRecord> removeChosen(QList<store::NoteRecord> &records,
                                      const QList<QPair<int, store::NoteRecord>> &chosen)
{
    QList<bool> drop(records.size(), false);
    for (const auto &[position, note] : chosen) {
        int best = -1;
        for (int j = 0; j < records.size(); ++j) {
            if (drop[j] || !sameNote(records[j], note))
                continue;
            if (best < 0 || std::abs(j - position) < std::abs(best - position))
                best = j;
        }
        if (best >= 0)
            drop[best] = true;
    }
    QList<store::NoteRecord> kept;
    QList<store::NoteRecord> removed;
    for (int j = 0; j < records.size(); ++j)
        (drop[j] ? removed : kept).append(records[j]);
    records = kept;
    return removed;
}

} // namespace

Form4::Form4(QWidget *parent) : Form(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("消去"));

    const double tpp = platform::twipsPerPixel(this);
    resize(platform::toPixels(4680, tpp), platform::toPixels(3660, tpp));

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("消去する付箋"));
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    platform::setGeometryTwips(List1, 30, 120, 4575, 1740);

    Label1 = new QLabel(
        QStringLiteral("消去するファイルを選択し　　　　　消去ボタンを押してください。"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(platform::designFont(14.25));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    platform::setGeometryTwips(Label1, 150, 1980, 4275, 705);

    Command1 = new QPushButton(QStringLiteral("消去(&S)"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFont(platform::designFont(12));
    platform::setGeometryTwips(Command1, 270, 2820, 1695, 675);

    Command2 = new QPushButton(QStringLiteral("キャンセル(&C)"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setFont(platform::designFont(11.25));
    platform::setGeometryTwips(Command2, 2670, 2850, 1695, 675);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    List1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);

    Form_Load();
}

Form4::~Form4() = default;

void Form4::Form_Load()
{
    List1->clear();
    DHYOZI();
}

QString Form4::listLine(const QString &noteText)
{
    QString line = noteText;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line;
}

void Form4::DHYOZI()
{
    m_folders = store::folders(platform::programFolder());
    AppDir = m_folders.notes;

    EraseCount = 0;
    EraseTable = QList<store::NoteRecord>(1); // position 0 is not used

    const store::NoteStore noteStore(m_folders);
    if (!QFileInfo::exists(noteStore.noteFilePath())) {
        platform::showMessage(this, {QStringLiteral("付箋データファイル MDATA.INI がありません。\n"
                                                    "登録されている付箋はありません。"),
                                     QStringLiteral("消去"), platform::MessageIcon::Exclamation,
                                     platform::MessageButtons::Ok});
        return;
    }
    // Listed once the folder is free; closing the dialog meanwhile ends the wait.
    if (m_listing)
        m_listing->cancel();
    m_listing = store::Retry::start(
        this,
        [this, noteStore] {
            const auto records = noteStore.readNoteRecords();
            if (records.busy())
                return store::Retry::Busy;
            if (!records) {
                // A file that cannot be read whole is listed as empty, so nothing can be erased
                // from it.
                showError(QStringLiteral("付箋データファイル MDATA.INI を読み込めません。\n") +
                          records.error());
                return store::Retry::Over;
            }
            EraseCount = int(records->size());
            EraseTable.append(*records);
            for (int k = 1; k <= EraseCount; ++k)
                List1->addItem(listLine(EraseTable[k].NoteText.toText()));
            return store::Retry::Over;
        },
        [this] { showError(store::FolderLock::busyError(m_folders.state).message); });
}

void Form4::Command1_Click()
{
    if (m_erasing)
        return; // the erase asked for waits for the files
    QList<QPair<int, store::NoteRecord>> chosen;
    for (int line = 0; line < List1->count() && line < EraseCount; ++line) {
        if (List1->item(line)->isSelected())
            chosen.append({line, EraseTable[line + 1]});
    }
    const int n = int(chosen.size());
    if (n == 0) {
        platform::showMessage(
            this, {QStringLiteral("消去するデータはありません。"), QStringLiteral("確認メッセージ"),
                   platform::MessageIcon::Exclamation, platform::MessageButtons::Ok});
        return;
    }
    platform::showMessage(this,
                          {QStringLiteral("これら") + QString::number(n) +
                               QStringLiteral("個の付箋を消去します。\nよろしいですか？"),
                           QStringLiteral("消去確認"), platform::MessageIcon::Question,
                           platform::MessageButtons::YesNo},
                          [this, chosen](platform::MessageAnswer answer) {
                              if (answer == platform::MessageAnswer::Yes)
                                  erase(chosen);
                          });
}

void Form4::erase(const QList<QPair<int, store::NoteRecord>> &chosen)
{
    setErasing(true);
    // The file is re-read under the folder lock, so a note created or a position written back
    // since the list was filled is kept; the notes erased are kept in ERASED.INI first, so that
    // they can be put back. The wait belongs to the dialog: closing it drops the erase before
    // anything is written.
    store::Retry::start(
        this,
        [this, chosen] {
            const store::Status written =
                store::ErasedNotes(m_folders).erase([&chosen](QList<store::NoteRecord> &records) {
                    return removeChosen(records, chosen);
                });
            if (written.busy())
                return store::Retry::Busy;
            eraseDone(written);
            return store::Retry::Over;
        },
        [this] { eraseDone(store::FolderLock::busyError(m_folders.state)); });
}

void Form4::eraseDone(const store::Status &written)
{
    setErasing(false);
    List1->clear();
    DHYOZI();
    if (!written) {
        showError(written.error());
        return;
    }
    emit erased();
    activateWindow();
    raise();
    List1->setFocus();
}

void Form4::setErasing(bool erasing)
{
    m_erasing = erasing;
    Command1->setEnabled(!erasing);
    if (erasing)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void Form4::showError(const QString &text)
{
    platform::showMessage(this, {text, QStringLiteral("消去"), platform::MessageIcon::Critical,
                                 platform::MessageButtons::Ok});
}

void Form4::Command2_Click()
{
    emit returnTo(Top(), Left());
    close();
}

} // namespace master

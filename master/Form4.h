// Form4: the erase dialog: choose notes from a list and remove them from MDATA.INI.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/DataFolder.h"

#include "store/Records.h"
#include "store/Retry.h"

#include "Form.h"
#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace master {

class Form4 : public Form
{
    Q_OBJECT
public:
    // Creating the dialog runs Form_Load (fills the list); the main window places and shows it.
    // The dialog deletes itself when it closes.
    explicit Form4(QWidget *parent = nullptr);
    ~Form4() override;

    QString AppDir;                      // the data folder, ending in "/"
    int EraseCount = 0;                  // records read by the last DHYOZI
    QList<store::NoteRecord> EraseTable; // index 0 unused; record k at position k

    QListWidget *List1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;

    // Re-reads MDATA.INI and appends one line per record to List1 (callers clear it first); at
    // once when the folder is free, otherwise once it is (the list stays empty meanwhile).
    void DHYOZI();
    void Command1_Click(); // erase the chosen notes, once confirmed and the folder is free
    void Command2_Click(); // cancel

    // How a note text shows on its one line of the list: line breaks become spaces.
    static QString listLine(const QString &noteText);

signals:
    // Notes were erased from MDATA.INI: the desktop is to be refreshed.
    void erased();
    // Cancel: the main window comes back where the dialog stood, if it is the user's home.
    void returnTo(double top, double left);

private:
    void Form_Load();
    void erase(const QList<QPair<int, store::NoteRecord>> &chosen);
    // The erase is over: `written` says how.
    void eraseDone(const store::Status &written);
    void setErasing(bool erasing);
    void showError(const QString &text);

    bool m_erasing = false;
    QPointer<store::Retry> m_listing;
    store::Folders m_folders; // the data folder and this computer's state folder
};

} // namespace master

// Form6: putting erased notes back: choose them from ERASED.INI, newest first, and return them to
// MDATA.INI.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/DataFolder.h"

#include "store/Records.h"
#include "store/Retry.h"

#include "Form.h"
#include <QList>
#include <QPointer>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace master {

class Form6 : public Form
{
    Q_OBJECT
public:
    // Creating the dialog fills the list; the main window places and shows it. The dialog
    // deletes itself when it closes.
    explicit Form6(QWidget *parent = nullptr);
    ~Form6() override;

    QString AppDir;                  // the data folder, ending in "/"
    QList<store::NoteRecord> Listed; // the erased notes as List1 shows them, newest first
    int UnreadLines = 0;             // lines of ERASED.INI that the last listing could not read

    QListWidget *List1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;

    // Re-reads ERASED.INI into the list: at once when the folder is free, otherwise once it is.
    void fill();
    void Command1_Click(); // put the chosen notes back, once the folder is free
    void Command2_Click(); // close

signals:
    // Notes were put back into MDATA.INI: they are to be shown.
    void putBack();
    // Close: the main window comes back where the dialog stood, if it is the user's home.
    void returnTo(double top, double left);

private:
    void putBackDone(const store::Result<QList<store::NoteRecord>> &done, int chosen);
    void setBusy(bool busy);
    void showMessage(const QString &text, bool failure);

    bool m_busy = false;
    QPointer<store::Retry> m_listing;
    store::Folders m_folders; // the data folder and this computer's state folder
};

} // namespace master

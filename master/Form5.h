// Form5: the version dialog.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Form.h"

class QFrame;
class QLabel;
class QPushButton;

namespace master {

class Form5 : public Form
{
    Q_OBJECT
public:
    // The dialog deletes itself when it closes; the main window places and shows it.
    explicit Form5(QWidget *parent = nullptr);
    ~Form5() override;

    QFrame *Picture1 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *Command1 = nullptr;

    void Command1_Click(); // back to the main window where the dialog stands

    // The families tried for the product name, the first one wanted: a rounded pop face.
    static QStringList productNameFamilies();

signals:
    // OK: the main window comes back where the dialog stood.
    void returnTo(double top, double left);
};

} // namespace master

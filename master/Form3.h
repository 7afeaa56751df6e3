// Form3: the appearance settings dialog of the note editor: font, size and the two colours.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "FontChooser.h"

#include "Form.h"
#include <QColor>
#include <QString>
#include <functional>
#include <optional>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace master {

// The look of the note being written, as the settings dialog shows and gives it.
struct Appearance
{
    QColor back;      // background colour
    QColor fore;      // text colour
    QString font;     // face name
    QString size;     // size in points, as the size box holds it
    float points = 0; // the same as a number
};

class Form3 : public Form
{
    Q_OBJECT
public:
    // Creating the dialog runs Form_Load: it starts from `current`, the look of the editor's text
    // box. The editor places it at its own Top and Left and shows it without hiding itself.
    Form3(const Appearance &current, QWidget *editor);
    ~Form3() override;

    // The font and colour choosers (CommonDialog1). Each opens its chooser over the dialog and
    // hands what the user chose, or the preset when the user cancels, to its last argument.
    // Qt's font and colour dialogs by default; tests put fakes here.
    using FontChoice = master::FontChoice;
    std::function<void(QWidget *parent, const FontChoice &preset,
                       std::function<void(const FontChoice &)> chosen)>
        ShowFont;
    // `current` is the colour that the target of the choice holds now.
    std::function<void(QWidget *parent, const QColor &current,
                       std::function<void(const QColor &)> chosen)>
        ShowColor;

    void Command1_Click(); // font and size
    void Command2_Click(); // background colour
    void Command3_Click(); // text colour
    void Command4_Click(); // OK: hand the look to the editor
    void Command5_Click(); // cancel

signals:
    // OK: the look chosen, for the editor to take over.
    void accepted(const master::Appearance &look);
    // OK or cancel: the editor moves to where the dialog stood.
    void returnTo(double top, double left);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Load(const Appearance &current);
    // The size box as a positive number; otherwise tells the user and gives nothing.
    std::optional<float> sizeFromText2();

    QLabel *m_label1 = nullptr; // test display panel: the background colour
    QLabel *m_label2 = nullptr; // test text: background, text colour, font name
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    QLineEdit *m_text1 = nullptr; // font name
    QLineEdit *m_text2 = nullptr; // font size in points, as text
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command4 = nullptr;
    QPushButton *m_command5 = nullptr;
};

} // namespace master

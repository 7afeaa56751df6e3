// Form2: the note editor, and owner of the tray menu SMENU.
#pragma once

#include <QVariant>
#include <QWidget>

class QAction;
class QMenu;
class QPushButton;
class QTextEdit;

namespace master {

class Form1;

class Form2 : public QWidget
{
    Q_OBJECT
public:
    // Loading the editor runs Form_Load: it chooses NewNoteId and sets the appearance defaults.
    // It is not shown; Form1::sakusei_Click shows it.
    explicit Form2(Form1 *main);
    ~Form2() override;

    // Appearance of the new note. Each holds a number or a text (FSIZE2 becomes the settings
    // dialog's size text, quoted in the record).
    QVariant IRO2;  // background colour, RGB number with red in the low byte
    QVariant FNT2;  // font name
    QVariant FSIZE2; // font size in points
    QVariant FIRO2; // text colour
    double TTP = 0; // main window Top when the editor was opened (twips)
    double LLF = 0; // main window Left when the editor was opened (twips)
    qint64 NewNoteId = 0;

    // The tray menu: FMKIDOU, KUBU, FHYOUZI, FSAKUSEI, FSYOUKYO, KUBUNN, SYURYOU.
    QMenu *SMENU = nullptr;

    QTextEdit *Text1 = nullptr;

    void Command1_Click(); // create complete
    void Command2_Click(); // open the settings dialog
    void Command3_Click(); // cancel

    // Editor Top and Left in twips (outer frame); moving it.
    double Top() const;
    double Left() const;
    void moveTo(double top, double left);

private:
    Form1 *m_main;
};

} // namespace master

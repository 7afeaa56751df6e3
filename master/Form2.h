// Form2: the note editor, and owner of the tray menu SMENU.
#pragma once

#include <QPointer>
#include <QVariant>
#include <QWidget>

#include "store/Records.h"

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QTextEdit;

namespace master {

class Form1;
class Form3;

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

    // The window's own background (the settings dialog's OK gives it the note's colour).
    void setBackColor(const QColor &colour);

    // The note that create complete would register now: the message without one trailing line
    // break, CR LF for every line break, the appearance variables and the editor's outer frame.
    store::NoteRecord newNote() const;

    // The settings dialog while it is open.
    Form3 *settingsDialog() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void Form_Resize();
    void buildMenu();
    // Close and forget: the next reference loads a fresh editor.
    void unload();
    Qt::Edges edgesAt(const QPoint &pos) const;
    void showFailure(const QString &text);

    Form1 *m_main;
    QWidget *m_client = nullptr; // the client area inside the sizable border
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QFrame *m_line1 = nullptr;
    QFrame *m_line2 = nullptr;
    QPointer<Form3> m_settings;
    float m_text1Height = 360; // twips; the layout depends on it, so it is kept unrounded
    int m_border = 4;          // pixels of the sizable border
    Qt::Edges m_pressEdges;    // border edges under the left button, while it resizes
    bool m_unloaded = false;
};

} // namespace master

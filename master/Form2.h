// Form2: the note editor, and owner of the tray menu SMENU.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Form.h"
#include "NoteDesktop.h"

#include <QPointer>
#include <QVariant>

#include "store/Records.h"

#include <optional>

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QTextEdit;

namespace platform {
class WindowGrip;
}

namespace master {

class Form3;
struct Appearance;

class Form2 : public Form
{
    Q_OBJECT
public:
    // The note it makes is this much less high than the editor, in twips.
    static constexpr double NoteHeightAllowance = 500;

    // Loading the editor runs Form_Load: it chooses NewNoteId and sets the appearance defaults.
    // It is not shown; the main window shows it. `desktop` registers the note it makes.
    explicit Form2(NoteDesktop &desktop);
    ~Form2() override;

    // Appearance of the new note. Each holds a number or a text (FSIZE2 becomes the settings
    // dialog's size text, quoted in the record).
    QVariant IRO2;   // background colour, RGB number with red in the low byte
    QVariant FNT2;   // font name
    QVariant FSIZE2; // font size in points
    QVariant FIRO2;  // text colour
    double TTP = 0;  // main window Top when the editor was opened (twips)
    double LLF = 0;  // main window Left when the editor was opened (twips)
    qint64 NewNoteId = 0;

    // The tray menu: FMKIDOU, KUBU, FHYOUZI, FSAKUSEI, FSYOUKYO, FMODOSU, FDATA, KUBUNN, SYURYOU.
    // Its items say what the user chose through the signals below.
    QMenu *SMENU = nullptr;

    QTextEdit *Text1 = nullptr;

    void Command1_Click(); // create complete: from the event loop, see NoteDesktop::createNote
    void Command2_Click(); // open the settings dialog
    void Command3_Click(); // cancel

    // The note that create complete would register now: the message without one trailing line
    // break (an edited note's as it stands), CR LF for every line break, the appearance variables
    // and the editor's outer frame, the note less high than the editor, but high enough for every
    // line of its message (at most the screen's height).
    store::NoteRecord newNote() const;

    // Opens the editor on a note that is written already: its message and look, placed and sized
    // as its window stands (`outer`, twips), taller by what the note is less high than the editor.
    // Create complete then writes over the note's record (NoteDesktop::editNote) and cancel
    // changes nothing; neither touches the main window. Call before the editor is shown.
    void beginEdit(const NoteAt &note, const QRectF &outer);
    bool editing() const { return m_opened.has_value(); }

    // The settings dialog while it is open.
    Form3 *settingsDialog() const;

signals:
    // Create complete or cancel: the main window comes back at this place if it is the user's
    // home. Emitted before the editor unloads.
    void returnTo(double top, double left);
    // The editor is gone; the next one is loaded afresh.
    void unloaded();
    // The tray menu's items.
    void launchChosen();     // "Pinboa起動"
    void refreshChosen();    // "付箋表示・再表示"
    void createChosen();     // "付箋作成"
    void eraseChosen();      // "付箋消去"
    void putBackChosen();    // "消した付箋を戻す…"
    void dataFolderChosen(); // "データフォルダ…"
    void exitChosen();       // "終了"

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Resize();
    void fitScrollBar();
    void buildMenu();
    // The settings dialog's OK: its look becomes the new note's.
    void takeAppearance(const Appearance &look);
    // Shows the note's look in the editor.
    void showLook(const QColor &back, const QColor &fore, const QString &face, double points);
    // What newNote() gives for width and height, in twips.
    std::pair<store::Value, store::Value> noteSize(const QString &message) const;
    // Close and forget: the next reference loads a fresh editor.
    void unload();
    void showFailure(const QString &text);
    void setCreating(bool creating);

    NoteDesktop &m_desktop;
    QWidget *m_client = nullptr; // the client area inside the sizable border
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QFrame *m_line1 = nullptr;
    QFrame *m_line2 = nullptr;
    QPointer<Form3> m_settings;
    platform::WindowGrip *m_grip = nullptr;
    float m_text1Height = 360; // twips; the layout depends on it, so it is kept unrounded
    int m_border = 4;          // pixels of the sizable border
    bool m_unloaded = false;
    bool m_creating = false;        // create complete waits for the files
    std::optional<NoteAt> m_opened; // the record an edit was opened on
    QSize m_openedSize;             // the editor's size as the edit opened it
};

} // namespace master

// The note window of memlet: one note, dragged with the left button, closed by any key or "はがす";
// its menu also opens the note in the editor and keeps it above other windows or on every
// workspace.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/DataFolder.h"
#include "store/NoteOptions.h"
#include "store/Result.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;

namespace platform {
class CloseRequestServer;
}
namespace store {
struct CloseResult;
}

namespace notewin {

class EditRequest;
class NoteFiles;

class Form1 : public QWidget
{
    Q_OBJECT
public:
    // `folders`: the data folder whose files the window registers in and writes back to, and
    // this computer's state folder for it.
    explicit Form1(const store::Folders &folders, QWidget *parent = nullptr);
    ~Form1() override;

    enum class LoadResult
    {
        Registering, // the look is taken; loaded() follows once the entry is written
        NoNote
    };
    // The start-up: decodes the argument text, takes the note's look, place and size, listens
    // for the close request and appends the running entry, in that order. The append may wait
    // for the files: loaded() says how it went. A failure holds the message for the user; no
    // file has been touched by a failed conversion.
    store::Result<LoadResult> Form_Load(const QString &argumentText);
    // The window is registered and may be shown; until then no close request is taken on.
    void markShown();

    // Who asks for the close: the user (a key, "はがす", the window manager's close box), or a
    // request to end the process (a signal, the end of the desktop session).
    enum class CloseCause
    {
        User,
        EndRequest
    };
    // The close with its write-back; runs once, whatever asks for it, and emits closed() at its
    // end. The wait for the files is a state: the window can still be dragged meanwhile, and the
    // place it has when the files are free is stored. When the wait runs out nothing is written:
    // a user's close leaves the note open (the next key tries again), a request to end ends it
    // all the same. A request to end during the start-up is kept until the window is up.
    void Form_Unload(CloseCause cause = CloseCause::User);
    // The close when no event loop runs any more (the connection to the window system is lost,
    // or the application is quitting): at once, with the last place the window was known at.
    void Form_UnloadNow();
    bool hasUnloaded() const { return m_state == State::Closed; }
    // A request to end came before the window was up.
    bool endRequested() const { return m_endRequested; }

signals:
    // The start-up's entry is written (or could not be): the window may be shown.
    void loaded(const store::Status &status);
    // The close has run: the process should end with `exitCode` (0 when the write-back was done).
    void closed(int exitCode);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    enum class State
    {
        Loading,     // before Form_Load, or the start-up failed
        Registering, // the entry is being written
        Shown,
        Closing, // the write-back waits for the files
        Closed
    };
    void Form_KeyDown();
    void Form_MouseDown(QMouseEvent *event);
    void Form_MouseMove(QMouseEvent *event);
    void OUT_Click();
    // The menu's items beyond "はがす" (Form1Options.cpp).
    void addOptionItems();
    void HENSYU_Click();
    void MAE_Click(bool checked);
    void ZENBU_Click(bool checked);
    void takeOptions();
    void askWindowManager();
    void storeChoices();
    void choicesStored(const store::Status &status);
    // How the close notes the workspace the window is on in its options.
    std::function<void(store::NoteOptions &)> workspaceNote() const;
    void showMenu(const QPoint &globalPos);
    void rescueOffScreen();
    void activateFromRequest();
    void closeRequested(std::function<void(bool)> reply);
    void registrationDone(const store::Status &status);
    void writeBackDone(const store::CloseResult &stored);
    void answerRequests(bool closed);
    void makeText1();

    State m_state = State::Loading;
    bool m_endRequested = false;  // a request to end came while the window was not up
    bool m_ending = false;        // the close runs for a request to end
    QPointF m_lastPlace;          // outer left (x) and top (y) in twips, as last known
    store::NoteOptions m_options; // as read at start-up, then as the user chooses
    bool m_windowManagerAsked = false;
    QList<std::function<void(bool)>> m_pendingReplies; // close requests that wait for the close

    NoteFiles *m_files = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QMenu *KME = nullptr;
    QAction *OUT = nullptr;
    QAction *HENSYU = nullptr; // 編集…
    QAction *MAE = nullptr;    // 常に手前に表示
    QAction *ZENBU = nullptr;  // すべての作業領域に表示
    EditRequest *m_editRequest = nullptr;
    platform::CloseRequestServer *m_closeRequests = nullptr;
};

} // namespace notewin

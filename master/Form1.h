// Form1: the master's main window, its tray icon and the public operations other windows call.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Form.h"
#include "NoteDesktop.h"

#include <QPointer>
#include <QSystemTrayIcon>

#include <functional>
#include <optional>
#include <utility>

class QMenuBar;
class QPushButton;

namespace master {

class DataFolderChoice;
class FolderWatch;
class Form2;
class Form4;
class Form5;
struct EditRequest;

// What a key bound on the desktop asks of the notes (pinboa --show-notes, --hide-notes,
// --toggle-notes): the refresh, the close of every note, or either, as the notes stand. And what
// the master asks of itself when other programs changed the notes folder.
enum class DesktopCommand
{
    Show,
    Hide,
    Toggle,
    Follow, // take in what changed in the notes folder (NoteDesktop::follow)
    PutBack // put back what an incoming change overwrote (NoteDesktop::putBackOverwritten)
};

class Form1 : public Form
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // 1 while the main window is the user's home, 0 while the master lives in the tray.
    int MainMode = 1;
    // The notes on the desktop: AppDir, NoteLineCount, NoteTable, RunningIds, and the operations.
    const NoteDesktop &desktop() const { return m_desktop; }

    // Public operations; a failure shows its message to the user. HYOUZI, UL and the refresh
    // (UL, then HYOUZI) run from the event loop: they return at once, and the master's windows
    // respond meanwhile. A request while one runs is ignored, but for one while the master takes
    // in a change from elsewhere: that one waits for its turn.
    void APC();
    void HYOUZI();
    void UL();
    void refresh();

    void sakusei_Click();  // open the note editor at the main window's place
    void syoukyo_Click();  // open the erase dialog at the main window's place
    void bazyon_Click();   // open the version dialog at the main window's place
    void syuuryou_Click(); // exit: remove the tray icon and end at once

    // The note editor, loaded hidden when it is not loaded yet (the tray menu needs its SMENU).
    Form2 *editor();

    // Shows the main window again (MainMode 1): from the tray menu or a second start.
    void showMain();

    // A command from outside (another start of pinboa): run at once when no show or close runs,
    // else after the ones before it, each in turn; a toggle decides when its turn comes.
    // Follow and PutBack wait once at most, whatever else waits.
    void runCommand(DesktopCommand command);
    // Keeps the notes in `folder` from now on, in its turn like a command (NoteDesktop::
    // switchFolder); `bringIn` takes this computer's notes along.
    void switchDataFolder(const QString &folder, bool bringIn);
    // データフォルダ…: the folder chooser. chooseDataFolder: a folder chosen (pinboa
    // --data-folder), asked about as the chooser's is (DataFolderChoice::decide).
    void dataFolder_Click();
    void chooseDataFolder(const QString &folder);
    DataFolderChoice *dataFolderChoice() const { return m_choice; }
    // The master proper, once it holds its folders: watches the notes folder for changes from
    // elsewhere, and moves its single-instance claim with the notes (`claim`).
    void startWatching(NoteDesktop::FolderClaim claim = {});
    // Opens the note editor on the note of a note window (its 編集, or pinboa --edit-note), once
    // its record has been read. A note that is not registered, or an editor already open, is
    // said in a message.
    void editNote(const EditRequest &request);

    // Start-up: adds the tray icon (the master runs on without one if the desktop refuses it).
    void addTrayIcon();
    QSystemTrayIcon *trayIcon() const { return m_tray; }

    void Command1_Click(); // UL, then HYOUZI
    void Command4_Click(); // into the tray (minimised where the desktop has no notification area)

    // The tray icon's activation as the notification area reports it: only the right button,
    // while the main window is off the screen (in the tray, or minimised by the window manager),
    // opens the tray menu at the pointer.
    void trayActivated(QSystemTrayIcon::ActivationReason reason);

    // Test seam: what exit does after removing the tray icon (ends the event loop by default).
    void setExitForTesting(std::function<void()> exit) { m_exit = std::move(exit); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void desktopFinished(const QString &message);
    void placeAndShow(Form *dialog);
    // A dialog closed by its button: the main window comes back where the dialog stood when it
    // is the user's home.
    void returnFromDialog(double top, double left);
    void runNextCommand();
    void learnNotes();
    void openEditorOn(const NoteAt &note, const QRectF &outer);

    NoteDesktop m_desktop;

    QMenuBar *m_menuBar = nullptr;
    QWidget *m_client = nullptr; // the client area below the menu bar
    QSystemTrayIcon *m_tray = nullptr;
    QPointer<Form2> m_editor;
    struct Waiting
    {
        DesktopCommand command;
        std::optional<std::pair<QString, bool>> switchTo; // a folder switch: folder, bring in
    };
    QList<Waiting> m_commands; // waiting for the notes to be free
    DataFolderChoice *m_choice;
    FolderWatch *m_watch = nullptr;
    NoteDesktop::FolderClaim m_claim;
    bool m_following = false; // the running operation is a Follow or a PutBack
    std::function<void()> m_exit;
};

} // namespace master

// The note window of memlet: one note, dragged with the left button, closed by any key or "はがす".
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Result.h"

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QMenu;
class QAction;

namespace platform {
class CloseRequestServer;
}

namespace notewin {

class Form1 : public QWidget
{
    Q_OBJECT
public:
    // `appDir` is the program folder whose data files the window registers in and writes back to.
    explicit Form1(const QString &appDir, QWidget *parent = nullptr);
    ~Form1() override;

    enum class LoadResult
    {
        Loaded,
        NoNote
    };
    // The start-up: decodes the argument text, takes the note's look, place and size, listens
    // for the close request and appends the running entry, in that order. A failure holds the
    // message for the user; no file has been touched by a failed conversion.
    store::Result<LoadResult> Form_Load(const QString &argumentText);

    // Who asks for the close: the user (a key, "はがす", the window manager's close box), or a
    // request to end the process (a signal, the end of the desktop session).
    enum class CloseCause
    {
        User,
        EndRequest
    };
    // The close with its write-back; runs once, whatever asks for it, and emits closed() at its
    // end. The wait for the files is bounded and keeps the events coming. When it runs out,
    // nothing is written: a user's close leaves the note open (the next key tries again), a
    // request to end ends it all the same.
    void Form_Unload(CloseCause cause = CloseCause::User);
    // The close when the connection to the window system is lost and the process is ending
    // (no event loop runs any more): with the last place the window was known at.
    void Form_UnloadWithoutDisplay();
    bool hasUnloaded() const { return m_unloaded; }

signals:
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
    void Form_KeyDown();
    void Form_MouseDown(QMouseEvent *event);
    void Form_MouseMove(QMouseEvent *event);
    void OUT_Click();
    void showMenu(const QPoint &globalPos);
    void rescueOffScreen();
    void activateFromRequest();
    void makeText1();

    QString m_appDir;
    QString m_noteId; // the identifier text as received
    bool m_unloaded = false;
    bool m_closing = false;      // a close is waiting for the files
    bool m_endRequested = false; // a request to end came while it waited
    QPointF m_lastPlace;         // outer left (x) and top (y) in twips, as last known

    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QMenu *KME = nullptr;
    QAction *OUT = nullptr;
    platform::CloseRequestServer *m_closeRequests = nullptr;
};

} // namespace notewin

// Choosing the data folder: the folder chooser of the tray menu's データフォルダ…, and the question
// that follows when the folder chosen holds notes already (another computer's, say).
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QFileDialog;
class QWidget;

namespace master {

class DataFolderChoice : public QObject
{
    Q_OBJECT
public:
    // The chooser and the messages stand over `window` (the main window).
    explicit DataFolderChoice(QWidget *window);

    // Opens the folder chooser at the data folder in use, in Japanese, without waiting for it;
    // one at a time (a second call brings it to the front). A folder chosen goes on to decide().
    void open();
    QFileDialog *dialog() const;

    // A folder chosen in the chooser or by pinboa --data-folder. This computer's notes go with
    // them: into a folder without notes at once; into one whose MDATA.INI holds notes already
    // when the user says yes. Then chosen(). The folder in use already changes nothing; one that
    // is not there is said.
    void decide(const QString &folder);

signals:
    void chosen(const QString &folder, bool bringIn);

private:
    QWidget *m_window;
    QPointer<QFileDialog> m_dialog;
};

} // namespace master

// Where the files of a program folder live: a folder the user chose, else where the notes are,
// else beside the programs when the user can write there, else in the user's data folder. Both
// programs ask this one rule.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Result.h"

#include <QString>
#include <functional>

namespace store {

// The two folders of one set of notes, each ending in "/". `notes` holds what travels with the
// notes (MDATA.INI and the files of the notes' own data); `state` holds what describes this
// computer's programs (IDDATA.INI, the locks, the record history, merged conflict copies). They
// are one folder except for a folder the user chose, which a sync engine may carry to other
// computers.
struct Folders
{
    // One folder for both, as for the program folder and the default folder: every place that
    // names a data folder by a single path keeps working.
    Folders() = default; // none yet
    Folders(const QString &folder);
    Folders(const QString &notes, const QString &state);

    QString notes;
    QString state;

    bool operator==(const Folders &other) const = default;
};

// The whole rule for the programs in `programFolder`:
// - the folder the user chose (see chooseDataFolder), with its state in this computer's state
//   folder for it (stateFolderFor), made for the user alone;
// - else the program folder when it holds MDATA.INI (in any letter case), writable or not: the
//   notes are there, and a write that cannot be made says why rather than go elsewhere unseen;
// - else the program folder when the user can write it (a folder copied from Windows works as it
//   is);
// - else $XDG_DATA_HOME/pinboa, by default ~/.local/share/pinboa (a relative XDG_DATA_HOME is
//   ignored, as the XDG rule has it), created for the user alone when it is missing.
// A chosen folder is never created: a folder that is not there (a drive not mounted) is named all
// the same, and the first file operation says why it cannot be used.
Folders folders(const QString &programFolder);
// The same, with the test of whether the user can write a folder given: the tests' way to a
// read-only folder where the kernel lets them write anywhere.
Folders folders(const QString &programFolder,
                const std::function<bool(const QString &folder)> &canWrite);

// The notes folder of the rule above.
QString dataFolder(const QString &programFolder);
QString dataFolder(const QString &programFolder,
                   const std::function<bool(const QString &folder)> &canWrite);

// The user's choice, kept under the key "dataFolder" in $XDG_CONFIG_HOME/pinboa/pinboa.conf (by
// default ~/.config; a relative XDG_CONFIG_HOME is ignored). Empty when there is none, or when
// what is kept is not an absolute path. Ends in "/" otherwise.
QString chosenDataFolder();
// Keeps `folder` (made absolute) as the user's choice. Refuses what is not a folder.
Status chooseDataFolder(const QString &folder);
// Forgets the choice: the rule goes back to the program folder or the default one.
Status clearDataFolder();
// The configuration file itself.
QString configFile();

// This computer's folder for the state of the notes folder `notes`:
// $XDG_STATE_HOME/pinboa/<folderKey(notes)>/ (by default ~/.local/state; a relative
// XDG_STATE_HOME is ignored), created for the user alone when it is missing.
QString stateFolderFor(const QString &notes);

} // namespace store

// Where the data files of a program folder live: where the notes are, else beside the programs
// when the user can write there, else in the user's data folder. Both programs ask this one rule.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <functional>

namespace store {

// The folder of MDATA.INI, IDDATA.INI and the folder lock for the programs in `programFolder`,
// ending in "/":
// - the program folder when it holds MDATA.INI (in any letter case), writable or not: the notes
//   are there, and a write that cannot be made says why rather than go elsewhere unseen;
// - else the program folder when the user can write it (a folder copied from Windows works as it
//   is);
// - else $XDG_DATA_HOME/pinboa, by default ~/.local/share/pinboa (a relative XDG_DATA_HOME is
//   ignored, as the XDG rule has it), created for the user alone when it is missing.
QString dataFolder(const QString &programFolder);
// The same, with the test of whether the user can write a folder given: the tests' way to a
// read-only folder where the kernel lets them write anywhere.
QString dataFolder(const QString &programFolder,
                   const std::function<bool(const QString &folder)> &canWrite);

} // namespace store

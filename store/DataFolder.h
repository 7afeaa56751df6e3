// Where the data files of a program folder live: beside the programs when the user can write
// there, otherwise in the user's data folder. Both programs ask this one rule.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace store {

// The folder of MDATA.INI, IDDATA.INI and the folder lock for the programs in `programFolder`,
// ending in "/". The program folder itself when the user can write it (a folder copied from
// Windows works as it is); otherwise $XDG_DATA_HOME/pinboa (by default ~/.local/share/pinboa),
// created for the user alone when it is missing.
QString dataFolder(const QString &programFolder);

} // namespace store

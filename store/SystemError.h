// What a failed system call means, in words for the user.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace store {

// The cause behind an error number (errno) in Japanese, for the common causes a user can act on
// (a full disk, a folder that may not be written, a read-only disk); the system's own text with
// its number for the rest. Never an empty text.
QString systemErrorText(int errorNumber);

} // namespace store

// A short key for a folder, the same however its path is spelled: the name of its state folder
// and of its programs' sockets. A library of its own, so that the platform layer can link it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace store {

// 16 hexadecimal digits of a hash of the folder's canonical path (a trailing "/", "..", a link
// all give the same key); a folder that does not exist yet is keyed by its cleaned absolute path.
QString folderKey(const QString &folder);

} // namespace store

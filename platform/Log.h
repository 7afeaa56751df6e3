// The programs' log: what they fall back on silently for the user, written for whoever looks
// into a problem (on the error stream; QT_LOGGING_RULES="pinboa=false" quiets it).
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPinboa)

namespace platform {

// The start of bytes a peer sent, fit for one line of the log: control and non-ASCII bytes as
// \xNN escapes, cut after a few dozen bytes.
QByteArray logExcerpt(const QByteArray &bytes);

} // namespace platform

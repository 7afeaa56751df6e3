// Notes, and the bytes of the two data files, as the tests build them.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace testsupport {

// The font of a note made with the editor's defaults.
inline const QString Gothic = QStringLiteral("ＭＳ Ｐゴシック");

// A note as the editor makes it, with the given identifier and text: silver, black text in the
// default font at 12 points, 600 twips from the top, 1200 from the left, 5430 by 250 twips.
// Tests change the fields they are about.
store::NoteRecord note(const store::Value &id, const QString &text = QStringLiteral("メモ"));
store::NoteRecord note(double id, const QString &text = QStringLiteral("メモ"));
// The same note at another place.
store::NoteRecord noteAt(double id, double top, double left);

// The records as MDATA.INI holds them, CR LF after each.
QByteArray recordBytes(const store::NoteRecord &record);
QByteArray recordBytes(const QList<store::NoteRecord> &records);
// The argument string that starts the note's window.
QString noteArgs(const store::NoteRecord &record);

// A line of MDATA.INI byte for byte, as another program may have written it: the text quoted, a
// short font name, the place ("top,left") and the identifier as they stand.
QByteArray noteLine(const QByteArray &id, const QByteArray &text = "t",
                    const QByteArray &position = "600,1200");

// Text in code page 932, as the data files hold it.
QByteArray cp932(const QString &text);

} // namespace testsupport

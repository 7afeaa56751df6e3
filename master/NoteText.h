// How a note window lays out its message, so that the master can make a note tall enough for it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QString>

namespace master {

// The font a note window shows its message in: the design face at 14.25 points, then the note's
// face, and its size when that is above none.
QFont noteFont(const QString &face, double points);

// The outer height, in twips, that a note window `outerWidth` twips wide needs to show every line
// of `message` (line breaks "\n") in `font`. The window puts its text 100 twips from its left and
// top edges, 200 twips narrower than itself, wrapped at word boundaries; `tpp` is the screen's
// twips per pixel.
double neededNoteHeight(const QString &message, const QFont &font, double outerWidth, double tpp);

} // namespace master

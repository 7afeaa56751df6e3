// The font chooser of the settings dialog: Qt's font dialog with sizes in fractions of a point.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QWidget;

namespace master {

struct FontChoice
{
    QString FontName;
    float FontSize = 0; // points
};

// Shows Qt's font dialog modally, opened on `preset`: a face that is not installed shows as the
// face that stands in for it, and the size as it is (10.5, 14.25), which Qt's own size box, made
// for whole points, cannot hold. Returns the preset when the user cancels; the preset's face name
// when the user keeps the face that stood in for it, so that the note keeps the name it was
// written with.
FontChoice chooseFont(QWidget *parent, const FontChoice &preset);

} // namespace master

// The font chooser of the settings dialog: Qt's font dialog with sizes in fractions of a point.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace master {

struct FontChoice
{
    QString FontName;
    float FontSize = 0; // points
};

// Opens Qt's font dialog over `parent` and returns at once. It opens on `preset`: a face that is
// not installed shows as the face that stands in for it, and the size as it is (10.5, 14.25),
// which Qt's own size box, made for whole points, cannot hold. `chosen` gets the preset when the
// user cancels, and the preset's face name when the user keeps the face that stood in for it, so
// that the note keeps the name it was written with.
void chooseFont(QWidget *parent, const FontChoice &preset,
                std::function<void(const FontChoice &)> chosen);

} // namespace master

// The font chooser of the settings dialog: Qt's font dialog with sizes in fractions of a point.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "FontChooser.h"

#include "store/Value.h"

#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace master {

namespace {

// Qt's dialog keeps its size box as whole numbers behind an integer validator; its sample text
// is the line edit in the sample group. Where a Qt version builds the dialog otherwise, nothing
// is found and sizes stay whole.
QLineEdit *sizeBox(QFontDialog *dialog)
{
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
        if (!edit->isReadOnly() && qobject_cast<const QIntValidator *>(edit->validator()))
            return edit;
    }
    return nullptr;
}

QLineEdit *sampleText(QFontDialog *dialog)
{
    for (QLineEdit *edit : dialog->findChildren<QLineEdit *>()) {
        if (qobject_cast<QGroupBox *>(edit->parentWidget()))
            return edit;
    }
    return nullptr;
}

float sizeIn(const QLineEdit *box)
{
    const auto size = store::parseNumber(box->text());
    return size && *size > 0 ? float(*size) : 0.0f;
}

} // namespace

void chooseFont(QWidget *parent, const FontChoice &preset,
                std::function<void(const FontChoice &)> chosen)
{
    QFont wanted(preset.FontName);
    if (preset.FontSize > 0)
        wanted.setPointSizeF(preset.FontSize);
    const QString shownFace = QFontInfo(wanted).family();
    QFont shown(shownFace);
    if (preset.FontSize > 0)
        shown.setPointSizeF(preset.FontSize);

    auto *dialog = new QFontDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFontDialog::DontUseNativeDialog);
    dialog->setWindowTitle(QStringLiteral("フォント"));
    dialog->setCurrentFont(shown);

    QLineEdit *box = sizeBox(dialog);
    if (box) {
        // Up to 999 points with two decimals, as the size box of the settings dialog takes them.
        box->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]{1,3}([.][0-9]{0,2})?")), box));
        if (preset.FontSize > 0)
            box->setText(store::formatNumber(double(preset.FontSize)));
        // Qt's sample takes the whole number of the box; show the size as typed.
        QLineEdit *sample = sampleText(dialog);
        const auto showSize = [box, sample] {
            if (!sample || sizeIn(box) <= 0)
                return;
            QFont font = sample->font();
            font.setPointSizeF(sizeIn(box));
            sample->setFont(font);
        };
        QObject::connect(box, &QLineEdit::textChanged, dialog, showSize);
        QObject::connect(dialog, &QFontDialog::currentFontChanged, dialog, showSize);
        showSize();
    }

    // Answered when the dialog closes; a dialog closed with its parent answers nothing.
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, box, preset, shownFace, chosen = std::move(chosen)](int result) {
                         if (result != QDialog::Accepted)
                             return chosen(preset);
                         const QFont font = dialog->selectedFont();
                         float size = box ? sizeIn(box) : float(font.pointSizeF());
                         if (size <= 0)
                             size = preset.FontSize;
                         const QString face =
                             font.family() == shownFace ? preset.FontName : font.family();
                         chosen({face, size});
                     });
    dialog->open();
}

} // namespace master

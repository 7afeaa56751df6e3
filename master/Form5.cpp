// Form5: the version dialog.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form5.h"

#include "platform/Twips.h"
#include "platform/WindowSystem.h"

#include <QFont>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <algorithm>

namespace master {

namespace {

QFont labelFont(const QStringList &families, double points)
{
    QFont font;
    font.setFamilies(families);
    font.setPointSizeF(points);
    return font;
}

QLabel *panelLabel(QWidget *panel, const char *name, const QString &caption, const QFont &font)
{
    auto *label = new QLabel(caption, panel);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setAutoFillBackground(false); // transparent on the panel
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A stand-in face can be wider than the one the captions were laid out for: the caption is then
// narrowed (same height, same size in points) until it fits its place instead of being cut off.
void fitCaption(QLabel *label)
{
    const double needed = QFontMetricsF(label->font()).horizontalAdvance(label->text());
    if (needed <= label->width())
        return;
    QFont narrower = label->font();
    narrower.setStretch(std::max(60, int(100.0 * label->width() / needed)));
    label->setFont(narrower);
}

} // namespace

QStringList Form5::productNameFamilies()
{
    // Where the pop face of the Japanese desktop is missing, a rounded Japanese face stands in
    // (scripts/setup.sh installs Motoya L Maruberi), then any Japanese face.
    return {QStringLiteral("ＤＦＰPOP体"), QStringLiteral("MotoyaLMaru"),
            QStringLiteral("Kosugi Maru"), QStringLiteral("M+ 1c"),
            QStringLiteral("Noto Sans CJK JP")};
}

Form5::Form5(QWidget *parent) : Form(parent, Qt::Window)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("バージョン"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    const double tpp = platform::twipsPerPixel(this);
    setFixedSize(platform::toPixels(4680, tpp), platform::toPixels(3060, tpp));

    // Qt has no role for the window border colour; frames are drawn in the active window colour.
    QPalette back = palette();
    back.setColor(QPalette::Window, palette().color(QPalette::Active, QPalette::Window));
    setPalette(back);
    setAutoFillBackground(true);

    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QPalette green = Picture1->palette();
    green.setColor(QPalette::Window, QColor(192, 255, 192));
    Picture1->setPalette(green);
    Picture1->setAutoFillBackground(true);
    platform::setGeometryTwips(Picture1, 150, 90, 4365, 1905);

    const QFont gothic = platform::designFont(18);
    Label1 = panelLabel(Picture1, "Label1", QStringLiteral("Pinboa"),
                        labelFont(productNameFamilies(), 26.25));
    platform::setGeometryTwips(Label1, 150, 150, 3225, 615);
    Label2 = panelLabel(Picture1, "Label2",
                        QStringLiteral("Ｖｅｒ　%1").arg(QStringLiteral(PINBOA_VERSION)), gothic);
    platform::setGeometryTwips(Label2, 2730, 660, 1575, 405);
    Label3 = panelLabel(Picture1, "Label3", QStringLiteral("Ostvel"), gothic);
    platform::setGeometryTwips(Label3, 1740, 1350, 2595, 375);
    for (QLabel *label : {Label1, Label2, Label3})
        fitCaption(label);

    Command1 = new QPushButton(QStringLiteral("Ｏ　Ｋ(&F)"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    platform::setGeometryTwips(Command1, 1560, 2130, 1755, 675);
    Command1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
}

Form5::~Form5() = default;

void Form5::Command1_Click()
{
    emit returnTo(Top(), Left());
    close();
}

} // namespace master

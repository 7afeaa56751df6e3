// Form3: the appearance settings dialog of the note editor: font, size and the two colours.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form3.h"

#include "WrappingButton.h"
#include "platform/Colour.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/Value.h"

#include <QColorDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

namespace master {

namespace {

const QColor LightGrey(192, 192, 192);

void setBackground(QWidget *widget, const QColor &colour)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, colour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void setForeground(QWidget *widget, const QColor &colour)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, colour);
    widget->setPalette(pal);
}

void setFontName(QWidget *widget, const QString &name)
{
    QFont font = widget->font();
    font.setFamily(name);
    widget->setFont(font);
}

// A chooser's size goes into the size box as the shortest text of its single-precision value.
QString sizeText(float size)
{
    return store::formatNumber(double(size));
}

void showColorDialog(QWidget *parent, const QColor &current,
                     std::function<void(const QColor &)> chosen)
{
    auto *dialog = new QColorDialog(current, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("色の設定"));
    // Cancel keeps the colour; a dialog closed with its parent answers nothing.
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, current, chosen = std::move(chosen)](int result) {
                         const QColor colour = dialog->selectedColor();
                         chosen(result == QDialog::Accepted && colour.isValid() ? colour : current);
                     });
    dialog->open();
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &caption)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(name);
    return label;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new WrappingButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

Form3::Form3(const Appearance &current, QWidget *editor) : Form(editor, Qt::Window)
{
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("設定"));
    ShowFont = chooseFont;
    ShowColor = showColorDialog;

    m_label1 = makeLabel(this, QStringLiteral("Label1"), QString());
    setBackground(m_label1, LightGrey);
    m_label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("テスト表示"));
    m_label2->setFont(platform::designFont(14.25));
    setBackground(m_label2, LightGrey);
    m_label3 = makeLabel(this, QStringLiteral("Label3"), QStringLiteral("フォント名"));
    m_label3->setFont(platform::designFont(12));
    m_label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("フォントサイズ"));
    m_label4->setFont(platform::designFont(12));

    m_text1 = new QLineEdit(platform::designFontName(), this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setFont(platform::designFont(12));
    m_text1->setAccessibleName(QStringLiteral("フォント名"));
    m_text2 = new QLineEdit(QStringLiteral("12"), this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setFont(platform::designFont(12));
    m_text2->setAccessibleName(QStringLiteral("フォントサイズ"));

    m_command1 =
        makeButton(this, QStringLiteral("Command1"), QStringLiteral("フォント・サイズ (&T)"));
    m_command3 = makeButton(this, QStringLiteral("Command3"), QStringLiteral("文字色(&H)"));
    m_command2 = makeButton(this, QStringLiteral("Command2"), QStringLiteral("背景色(&G)"));
    m_command4 = makeButton(this, QStringLiteral("Command4"), QStringLiteral("O K(&F)"));
    m_command4->setFont(platform::designFont(12));
    m_command5 = makeButton(this, QStringLiteral("Command5"), QStringLiteral("キャンセル(&C)"));
    connect(m_command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form3::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &Form3::Command3_Click);
    connect(m_command4, &QPushButton::clicked, this, &Form3::Command4_Click);
    connect(m_command5, &QPushButton::clicked, this, &Form3::Command5_Click);

    platform::setGeometryTwips(m_label3, 450, 150, 1185, 285);
    platform::setGeometryTwips(m_text1, 450, 450, 2295, 405);
    platform::setGeometryTwips(m_label4, 390, 1080, 1425, 285);
    platform::setGeometryTwips(m_text2, 1890, 1020, 765, 375);
    platform::setGeometryTwips(m_command1, 3030, 630, 1425, 615);
    platform::setGeometryTwips(m_label1, 450, 1530, 2325, 615);
    platform::setGeometryTwips(m_label2, 960, 1680, 1545, 375);
    platform::setGeometryTwips(m_command3, 3120, 1440, 1185, 405);
    platform::setGeometryTwips(m_command2, 3120, 1890, 1185, 405);
    platform::setGeometryTwips(m_command4, 570, 2490, 1545, 645);
    platform::setGeometryTwips(m_command5, 2670, 2490, 1545, 645);
    m_label2->raise(); // the test text lies on its panel

    // Labels take no focus; the focusable controls follow their tab indexes.
    setTabOrder(m_command1, m_text1);
    setTabOrder(m_text1, m_text2);
    setTabOrder(m_text2, m_command2);
    setTabOrder(m_command2, m_command3);
    setTabOrder(m_command3, m_command4);
    setTabOrder(m_command4, m_command5);
    m_command1->setFocus();

    const double tpp = platform::twipsPerPixel(this);
    resize(platform::toPixels(4800, tpp), platform::toPixels(3375, tpp));

    Form_Load(current);
}

Form3::~Form3() = default;

void Form3::Form_Load(const Appearance &current)
{
    setBackground(m_label1, current.back);
    setBackground(m_label2, current.back);
    m_text1->setText(current.font);
    m_text2->setText(sizeText(current.points));
    setForeground(m_label2, current.fore);
}

std::optional<float> Form3::sizeFromText2()
{
    const auto number = store::parseNumber(m_text2->text());
    const float size = number ? float(*number) : 0.0f;
    if (number && std::isfinite(size) && size > 0)
        return size;
    platform::showMessage(this,
                          {QStringLiteral("フォントサイズ「%1」は使えません。\n"
                                          "0 より大きい数値(例: 12 や 10.5)を入力してください。")
                               .arg(m_text2->text()),
                           QStringLiteral("設定"), platform::MessageIcon::Exclamation,
                           platform::MessageButtons::Ok});
    m_text2->setFocus();
    m_text2->selectAll();
    return std::nullopt;
}

void Form3::Command1_Click()
{
    const auto size = sizeFromText2();
    if (!size)
        return;
    const FontChoice preset{m_text1->text(), *size};
    setFontName(m_label2, preset.FontName);
    ShowFont(this, preset, [this](const FontChoice &chosen) {
        setFontName(m_label2, chosen.FontName);
        m_text1->setText(chosen.FontName);
        m_text2->setText(sizeText(chosen.FontSize));
    });
}

void Form3::Command2_Click()
{
    ShowColor(this, m_label1->palette().color(QPalette::Window), [this](const QColor &chosen) {
        setBackground(m_label1, chosen);
        setBackground(m_label2, chosen);
    });
}

void Form3::Command3_Click()
{
    ShowColor(this, m_label2->palette().color(QPalette::WindowText),
              [this](const QColor &chosen) { setForeground(m_label2, chosen); });
}

void Form3::Command4_Click()
{
    // The size is checked first, so a size that is no number leaves the editor as it was.
    const auto size = sizeFromText2();
    if (!size)
        return;
    emit accepted({m_label1->palette().color(QPalette::Window),
                   m_label2->palette().color(QPalette::WindowText), m_text1->text(),
                   m_text2->text(), *size});
    emit returnTo(Top(), Left());
    close();
}

void Form3::Command5_Click()
{
    emit returnTo(Top(), Left());
    close();
}

// Escape closes a dialog on every desktop: here it is the cancel button. The text boxes and
// buttons leave the key to their window.
void Form3::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        return Command5_Click();
    Form::keyPressEvent(event);
}

} // namespace master

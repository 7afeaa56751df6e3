// Form2: the note editor, and owner of the tray menu SMENU.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form2.h"

#include "EditorLayout.h"
#include "Form3.h"
#include "NoteDesktop.h"
#include "platform/Colour.h"
#include "platform/MessageBox.h"
#include "platform/SystemMove.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/Value.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <qdrawutil.h>

namespace master {

namespace {

const QString InitialText = QStringLiteral("ここに表示メッセージを入力してください。\n");
constexpr qint64 DefaultBackColor = 12632256; // silver
constexpr double Text1FontSize = 14.25;

QFrame *makeLine(QWidget *parent, const QString &name, const QColor &colour)
{
    auto *line = new QFrame(parent);
    line->setObjectName(name);
    line->setFrameShape(QFrame::NoFrame);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, colour);
    line->setPalette(pal);
    line->setAutoFillBackground(true);
    return line;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption,
                        const QString &tip)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

} // namespace

Form2::Form2(NoteDesktop &desktop)
    : Form(nullptr, Qt::Window | Qt::FramelessWindowHint), m_desktop(desktop)
{
    setObjectName(QStringLiteral("Form2"));
    // It has no title to name it by.
    setAccessibleName(QStringLiteral("付箋の作成"));
    setAutoFillBackground(true);

    const double tpp = platform::twipsPerPixel(this);
    m_border = qMax(2, platform::toPixels(60, tpp));

    m_client = new QWidget(this);
    m_client->setCursor(Qt::ArrowCursor);

    Text1 = new QTextEdit(m_client);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("付箋のメッセージ"));
    Text1->setAcceptRichText(false);
    Text1->setTabChangesFocus(true);
    // A plain multi-line box: the text wraps, and a scroll bar comes only for a text that does
    // not fit (fitScrollBar).
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Narrow margins, as a system text box has them: one line fits the design height.
    Text1->document()->setDocumentMargin(2);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setFont(platform::designFont(Text1FontSize));
    QPalette textPalette = Text1->palette();
    textPalette.setColor(QPalette::Base, platform::colourFromRgbNumber(DefaultBackColor));
    textPalette.setColor(QPalette::Text, platform::colourFromRgbNumber(0));
    Text1->setPalette(textPalette);
    Text1->setPlainText(InitialText);
    connect(Text1->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
            this, &Form2::fitScrollBar);
    // The prompt is selected, so that typing replaces it; the line break after it stays.
    QTextCursor prompt(Text1->document());
    prompt.setPosition(int(InitialText.size()) - 1, QTextCursor::KeepAnchor);
    Text1->setTextCursor(prompt);

    m_command1 = makeButton(m_client, QStringLiteral("Command1"), QStringLiteral("作成完了(&F)"),
                            QStringLiteral("付箋の登録を行います。"));
    m_command3 = makeButton(m_client, QStringLiteral("Command3"), QStringLiteral("キャンセル(&C)"),
                            QStringLiteral("基本メニューに戻ります。"));
    m_command2 = makeButton(m_client, QStringLiteral("Command2"), QStringLiteral("設定(&T)"),
                            QStringLiteral("設定の変更を行います。"));
    connect(m_command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    setTabOrder(Text1, m_command1);
    setTabOrder(m_command1, m_command3);
    setTabOrder(m_command3, m_command2);

    // The etched separator: a shadow line with a highlight line just below it.
    const QPalette system = QApplication::palette();
    m_line1 = makeLine(m_client, QStringLiteral("Line1"), system.color(QPalette::Dark));
    m_line2 = makeLine(m_client, QStringLiteral("Line2"), system.color(QPalette::Light));

    platform::setGeometryTwips(Text1, 60, 180, 5055, 360);
    platform::setGeometryTwips(m_command1, 0, 630, 1635, 500);
    platform::setGeometryTwips(m_command3, 3390, 630, 2025, 500);
    platform::setGeometryTwips(m_command2, 1650, 630, 1725, 500);
    platform::setGeometryTwips(m_line1, 0, 600, 5430, tpp);
    platform::setGeometryTwips(m_line2, -30, 615, 5460, tpp);

    // Never so small that the note it makes could not be seen: the note is the editor's size
    // less NoteHeightAllowance in height.
    const QSize note = platform::MinimumShownSize;
    setMinimumSize(note.width(), platform::toPixels(NoteHeightAllowance, tpp) + note.height() + 1);

    // The design client area, inside the sizable border.
    resize(platform::toPixels(5430, tpp) + 2 * m_border,
           platform::toPixels(1125, tpp) + 2 * m_border);
    m_client->setGeometry(rect().adjusted(m_border, m_border, -m_border, -m_border));

    // The border sizes the editor; dragging its surface or the text box moves it, and a press
    // in the text box still places the caret.
    m_grip = new platform::WindowGrip(this, m_border);
    m_grip->dragBy(Text1->viewport());

    buildMenu();
    Text1->setFocus();
    Form_Load();
}

Form2::~Form2() = default;

void Form2::buildMenu()
{
    SMENU = new QMenu(QStringLiteral("サブメニュー"), this);
    SMENU->setObjectName(QStringLiteral("SMENU"));
    auto add = [this](const QString &name, const QString &caption, auto handler) {
        QAction *action = SMENU->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    auto separator = [this](const QString &name) {
        QAction *action = SMENU->addSeparator();
        action->setObjectName(name);
    };
    add(QStringLiteral("FMKIDOU"), QStringLiteral("Pinboa起動"), &Form2::launchChosen);
    separator(QStringLiteral("KUBU"));
    add(QStringLiteral("FHYOUZI"), QStringLiteral("付箋表示・再表示"), &Form2::refreshChosen);
    add(QStringLiteral("FSAKUSEI"), QStringLiteral("付箋作成"), &Form2::createChosen);
    add(QStringLiteral("FSYOUKYO"), QStringLiteral("付箋消去"), &Form2::eraseChosen);
    add(QStringLiteral("FMODOSU"), QStringLiteral("消した付箋を戻す…"), &Form2::putBackChosen);
    add(QStringLiteral("FDATA"), QStringLiteral("データフォルダ…"), &Form2::dataFolderChosen);
    separator(QStringLiteral("KUBUNN"));
    add(QStringLiteral("SYURYOU"), QStringLiteral("終了"), &Form2::exitChosen);
}

void Form2::Form_Load()
{
    // A folder that cannot be read now, or that is busy, leaves NewNoteId at 0: create complete
    // chooses then, under the folder's lock, and reports a failure when the user is looking.
    if (const auto chosen = m_desktop.chooseNewNoteId())
        NewNoteId = chosen.value();

    IRO2 = platform::rgbNumber(Text1->palette().color(QPalette::Base));
    FNT2 = platform::designFontName();
    FSIZE2 = 12;
    FIRO2 = 0;
}

void Form2::Command1_Click()
{
    // One registration at a time: a second press while the first waits for the files does
    // nothing (the button is off meanwhile, and so is its Alt+F).
    if (m_unloaded || m_creating)
        return;
    // A note that cannot be stored or shown is refused before anything is written or started:
    // the text stays in the editor for the user to correct. Closing the editor meanwhile drops
    // the registration before anything is written.
    // Busy first: the registration may be over before createNote() returns.
    setCreating(true);
    const auto written = [this](const store::Result<qint64> &created) {
        setCreating(false);
        if (!created) {
            showFailure(created.error());
            return;
        }
        if (!m_opened)
            emit returnTo(TTP, LLF);
        unload();
    };
    const bool taken = m_opened ? m_desktop.editNote(*m_opened, newNote(), this, written)
                                : m_desktop.createNote(newNote(), this, written);
    if (!taken)
        setCreating(false);
}

void Form2::setCreating(bool creating)
{
    m_creating = creating;
    m_command1->setEnabled(!creating);
    if (creating)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void Form2::Command2_Click()
{
    // A dialog that was closed is on its way out; each opening loads a fresh one.
    if (!m_settings || !m_settings->isVisible()) {
        const QFont font = Text1->font();
        m_settings = new Form3({Text1->palette().color(QPalette::Base),
                                Text1->palette().color(QPalette::Text), font.family(),
                                store::formatNumber(font.pointSizeF()), float(font.pointSizeF())},
                               this);
        connect(m_settings, &Form3::accepted, this, &Form2::takeAppearance);
        connect(m_settings, &Form3::returnTo, this, &Form2::moveTo);
    }
    m_settings->moveTo(Top(), Left());
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

Form3 *Form2::settingsDialog() const
{
    return m_settings;
}

void Form2::Command3_Click()
{
    if (m_unloaded)
        return;
    if (!m_opened) // an edit was not opened from the main window
        emit returnTo(Top(), Left());
    unload();
}

void Form2::takeAppearance(const Appearance &look)
{
    IRO2 = platform::rgbNumber(look.back);
    FNT2 = look.font;
    FSIZE2 = look.size;
    FIRO2 = platform::rgbNumber(look.fore);
    showLook(look.back, look.fore, look.font, look.points);
}

void Form2::showLook(const QColor &back, const QColor &fore, const QString &face, double points)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, back);
    setPalette(pal);
    QPalette textPalette = Text1->palette();
    textPalette.setColor(QPalette::Base, back);
    textPalette.setColor(QPalette::Text, fore);
    Text1->setPalette(textPalette);
    QFont font = Text1->font();
    font.setFamily(face);
    if (points > 0)
        font.setPointSizeF(points);
    Text1->setFont(font);
}

void Form2::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_desktop.cancelCreate(this);
    if (m_settings)
        m_settings->close();
    hide();
    emit unloaded();
    deleteLater();
}

void Form2::showFailure(const QString &text)
{
    platform::showMessage(this, {text, QStringLiteral("Pinboa"), platform::MessageIcon::Exclamation,
                                 platform::MessageButtons::Ok});
}

void Form2::Form_Resize()
{
    m_client->setGeometry(rect().adjusted(m_border, m_border, -m_border, -m_border));
    const double tpp = platform::twipsPerPixel(this);
    const auto l =
        EditorLayout::compute(float(width() * tpp), float(height() * tpp), m_text1Height);
    if (!l)
        return;
    platform::setGeometryTwips(Text1, l->Text1.left, l->Text1.top, l->Text1.width, l->Text1.height);
    m_text1Height = l->Text1.height;
    for (auto [button, box] :
         {std::pair{m_command1, l->Command1}, std::pair{m_command2, l->Command2},
          std::pair{m_command3, l->Command3}})
        platform::setGeometryTwips(button, box.left, box.top, box.width, box.height);
    for (auto [line, ends] : {std::pair{m_line1, l->Line1}, std::pair{m_line2, l->Line2}})
        platform::setGeometryTwips(line, ends.x1, ends.y1, ends.x2 - ends.x1, tpp);
}

void Form2::fitScrollBar()
{
    // The empty line after the last line break is where the caret waits, not text: the design
    // text, one sentence and its line break, fits the box without a scroll bar.
    const QTextDocument *document = Text1->document();
    qreal needed = document->size().height();
    const QTextBlock last = document->lastBlock();
    if (last.text().isEmpty() && last.previous().isValid())
        needed -= document->documentLayout()->blockBoundingRect(last).height();
    const bool fits = needed <= Text1->viewport()->height() + 1;
    Text1->setVerticalScrollBarPolicy(fits ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

void Form2::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form2::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), false);
}

void Form2::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // Closed by the window manager (the editor has no close box of its own): as cancel, so
    // that in main mode the main window comes back instead of staying hidden.
    if (!m_unloaded && isVisible())
        Command3_Click();
    else
        unload();
}

} // namespace master

// The note window of memlet.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"

#include "NoteFiles.h"

#include "platform/CloseRequest.h"
#include "platform/Colour.h"
#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/SystemMove.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "store/Value.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace notewin {

namespace {

// A position far beyond any screen would overflow the pixel arithmetic; such a note is brought
// back onto the screen anyway.
double boundedTwips(double twips)
{
    constexpr double limit = 1e8;
    return std::clamp(twips, -limit, limit);
}

// The window's icon: a yellow note with its corner turned, drawn rather than loaded.
QIcon noteIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPolygonF note({{3, 3}, {29, 3}, {29, 21}, {21, 29}, {3, 29}});
    painter.setPen(QPen(QColor(150, 120, 20), 1.5));
    painter.setBrush(QColor(255, 230, 90));
    painter.drawPolygon(note);
    painter.setBrush(QColor(230, 195, 60));
    painter.drawPolygon(QPolygonF({{29, 21}, {21, 21}, {21, 29}}));
    painter.setPen(QPen(QColor(150, 120, 20), 2));
    for (int y : {10, 15, 20})
        painter.drawLine(QPointF(8, y), QPointF(y == 20 ? 17 : 24, y));
    return QIcon(pixmap);
}

} // namespace

Form1::Form1(const store::Folders &folders, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_files(new NoteFiles(folders, this))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString());
    setWindowIcon(noteIcon());
    setFocusPolicy(Qt::StrongFocus);
    // Shown by a refresh or a create while the user works in another window, which keeps the
    // keyboard: the next key is meant for it, and any key closes a note. A click gives the focus.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(true);

    // As designed, before the note replaces them: light grey, 5340 x 660 at 8910, 1215.
    QPalette look = palette();
    look.setColor(QPalette::Window, platform::colourFromRgbNumber(14737632));
    setPalette(look);
    platform::setOuterGeometryTwips(this, QRectF(8910, 1215, 5340, 660));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText); // the note's text is shown as written, never as markup
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setAutoFillBackground(false); // the window's colour shows through
    Label1->setFont(platform::designFont(14.25));
    Label1->setAccessibleName(QStringLiteral("付箋の文字"));
    Label1->installEventFilter(this);

    KME = new QMenu(QStringLiteral("基本メニュー"), this);
    KME->setObjectName(QStringLiteral("KME"));
    OUT = KME->addAction(QStringLiteral("はがす"));
    OUT->setObjectName(QStringLiteral("OUT"));
    connect(OUT, &QAction::triggered, this, &Form1::OUT_Click);
    addOptionItems();

    connect(m_files, &NoteFiles::registered, this, &Form1::registrationDone);
    connect(m_files, &NoteFiles::closed, this, &Form1::writeBackDone);
}

Form1::~Form1()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

store::Result<Form1::LoadResult> Form1::Form_Load(const QString &argumentText)
{
    if (argumentText.isEmpty())
        return LoadResult::NoNote;

    const auto decoded = store::DecodeNoteArgs(argumentText);
    if (!decoded)
        return store::Error{decoded.error()};
    if (!decoded.value())
        return LoadResult::NoNote;
    const QStringList fields = *decoded.value();

    // Every conversion before anything is applied or written.
    const auto converted = store::convertNoteFields(fields);
    if (!converted)
        return store::Error{converted.error()};
    const store::WindowNote &note = converted.value();

    m_files->setNoteId(note.id);
    m_files->setNoteFields(fields);

    // Inside Qt a line break is "\n"; the note carries CR LF.
    QString text = note.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Label1->setText(text);
    Label1->setAccessibleDescription(text);
    setAccessibleName(text); // a screen reader names the note by what it says

    QPalette look = palette();
    look.setColor(QPalette::Window, platform::colourFromRgbNumber(note.backColor));
    setPalette(look);
    QPalette textLook = Label1->palette();
    textLook.setColor(QPalette::WindowText, platform::colourFromRgbNumber(note.foreColor));
    Label1->setPalette(textLook);

    QFont font = Label1->font();
    font.setFamilies({note.fontName});
    if (note.fontSize > 0)
        font.setPointSizeF(note.fontSize);
    Label1->setFont(font);
    // The window's other text takes the note's font too, so that no second font is loaded for a
    // text box that is never shown.
    setFont(font);

    // The record keeps its own size; the window is shown at a size that can be seen and grabbed
    // and that fits the desktop.
    const double tpp = platform::twipsPerPixel(this);
    const QSize shown = platform::showableSize(
        platform::toPixels(QRectF(0, 0, std::clamp(double(note.width), 0.0, 1e8),
                                  std::clamp(double(note.height), 0.0, 1e8)),
                           tpp)
            .size());
    platform::setOuterGeometryTwips(this, QRectF(boundedTwips(note.left), boundedTwips(note.top),
                                                 platform::toTwips(shown.width(), tpp),
                                                 platform::toTwips(shown.height(), tpp)));
    setFixedSize(size()); // a fixed frame: the note is never resized
    rescueOffScreen();

    // The label covers the window but for a strip along the left and top; it reaches below the
    // bottom edge and is cut off there.
    const QRectF outer = platform::outerGeometryTwips(this);
    m_lastPlace = outer.topLeft();
    platform::setGeometryTwips(Label1, 100, 100, outer.width() - 200, outer.height() - 100);

    // Key preview: every key reaches this window first, whichever control has the focus.
    qApp->installEventFilter(this);

    // Reachable by the master before the entry says that the window exists; until the window is
    // up, a close request is answered "not yet".
    m_closeRequests = new platform::CloseRequestServer(this);
    m_closeRequests->onActivate = [this] { activateFromRequest(); };
    m_closeRequests->onKeys = [this](const QString &, const std::function<void(bool)> &reply) {
        closeRequested(reply);
    };
    if (const store::Status listening =
            m_closeRequests->listen(m_files->appDir(), QCoreApplication::applicationPid());
        !listening) {
        delete m_closeRequests;
        m_closeRequests = nullptr;
        qApp->removeEventFilter(this);
        return store::Error{QStringLiteral("付箋の終了要求を受ける窓口を開けませんでした: %1")
                                .arg(listening.error())};
    }

    // The last step: an entry in IDDATA.INI means a window that is up and can be reached.
    m_state = State::Registering;
    m_files->registerWindow();
    return LoadResult::Registering;
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    askWindowManager();
    // Sent before the window is mapped; the text box is made once it is.
    if (!Text1 && m_state != State::Loading)
        QMetaObject::invokeMethod(this, &Form1::makeText1, Qt::QueuedConnection);
}

void Form1::makeText1()
{
    if (Text1)
        return;
    // Made after the window is on the screen: a text box lays itself out the moment it is made,
    // which loads the fonts, and the window's first paint needs them no sooner. It lays itself out
    // in the application's font before it takes the window's; the desktop's default font is often
    // a family that is not installed, looked up through the fallbacks, while the note's font is
    // loaded anyway.
    const QFont desktopFont = QApplication::font();
    QApplication::setFont(font());
    Text1 = new QLineEdit(this);
    QApplication::setFont(desktopFont);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->hide();
    Text1->setText(store::formatNumber(store::idNumericValue(m_files->noteId())));
}

void Form1::rescueOffScreen()
{
    const QRect place = platform::reachablePlace(frameGeometry());
    if (place != frameGeometry())
        move(place.topLeft());
}

void Form1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (m_state != State::Loading)
        m_lastPlace = platform::outerGeometryTwips(this).topLeft();
}

void Form1::Form_KeyDown()
{
    Form_Unload();
}

void Form1::OUT_Click()
{
    Form_Unload();
}

void Form1::Form_MouseDown(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        showMenu(event->globalPosition().toPoint());
}

void Form1::Form_MouseMove(QMouseEvent *event)
{
    platform::dragWithLeftButton(this, event);
}

void Form1::showMenu(const QPoint &globalPos)
{
    KME->popup(globalPos);
}

void Form1::activateFromRequest()
{
    if (m_state != State::Shown)
        return;
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->window() == this) {
            Form_KeyDown();
            return true;
        }
        break;
    case QEvent::MouseButtonPress:
        if (watched == Label1) {
            Form_MouseDown(static_cast<QMouseEvent *>(event)); // Label1_MouseDown
            return true;
        }
        break;
    case QEvent::MouseMove:
        if (watched == Label1) {
            Form_MouseMove(static_cast<QMouseEvent *>(event)); // Label1_MouseMove
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    Form_MouseDown(event);
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    Form_MouseMove(event);
}

void Form1::keyPressEvent(QKeyEvent *)
{
    Form_KeyDown();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The window goes when its write-back is done, not before.
    event->ignore();
    Form_Unload();
}

void Form1::paintEvent(QPaintEvent *)
{
    // A thin fixed frame: a dark outer line and a light inner one in the note's own colour.
    QPainter painter(this);
    const QColor back = palette().color(QPalette::Window);
    painter.setPen(back.darker(170));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(back.lighter(130));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

} // namespace notewin

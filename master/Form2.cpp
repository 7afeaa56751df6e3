// Form2: the note editor, and owner of the tray menu SMENU.
#include "Form2.h"

#include "EditorLayout.h"
#include "Form1.h"
#include "Form3.h"
#include "RgbColour.h"
#include "platform/MessageBox.h"
#include "platform/Processes.h"
#include "platform/SystemMove.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"
#include "store/Cp932.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"
#include "store/NoteStore.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTextEdit>
#include <QWindow>
#include <qdrawutil.h>

namespace master {

namespace {

const QString DefaultFontName = QStringLiteral("ＭＳ Ｐゴシック");
const QString InitialText = QStringLiteral("ここに表示メッセージを入力してください。\n");
constexpr qint64 DefaultBackColor = 12632256; // silver
constexpr double Text1FontSize = 14.25;
constexpr double NoteHeightAllowance = 500; // the note is this much lower than the editor
constexpr int CornerGrip = 12;              // pixels along an edge that resize diagonally

// A value of the record from one of the editor's appearance variables, in the kind it holds.
store::Value recordValue(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString)
        return store::Value::text(v.toString());
    return store::Value::number(v.toDouble());
}

QString decimalText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return store::formatNumber(v.toDouble());
}

// The message as the user typed it, line breaks as "\n". The raw text keeps characters such as
// the no-break space that the plain-text form would silently replace.
QString typedText(const QTextEdit *edit)
{
    QString text = edit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QString describeCharacter(const QString &character)
{
    QStringList codes;
    for (char32_t c : character.toUcs4())
        codes << QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("「%1」(%2)").arg(character, codes.join(QLatin1Char(' ')));
}

// Why the message cannot be stored in MDATA.INI or handed to a note window, or an empty string.
QString refusalOf(const QString &message)
{
    QString bad;
    if (message.contains(QLatin1Char('"')))
        bad = QStringLiteral("\"");
    else if (message.contains(store::NoteArgsSeparator))
        bad = store::NoteArgsSeparator.toString();
    else
        bad = store::cp932::firstUnencodable(message);
    if (bad.isEmpty())
        return {};
    return QStringLiteral(
               "この付箋には %1 を書くことができません。\n"
               "この文字を消すか別の文字に替えてから、もう一度「作成完了」を押してください。")
        .arg(describeCharacter(bad));
}

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

Form2::Form2(Form1 *main) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_main(main)
{
    setObjectName(QStringLiteral("Form2"));
    // It has no title to name it by.
    setAccessibleName(QStringLiteral("付箋の作成"));
    setMouseTracking(true);
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
    // A plain multi-line box: the text wraps, and no scroll bars take room from it.
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font(DefaultFontName);
    font.setPointSizeF(Text1FontSize);
    Text1->setFont(font);
    QPalette textPalette = Text1->palette();
    textPalette.setColor(QPalette::Base, colourFromRgbNumber(DefaultBackColor));
    textPalette.setColor(QPalette::Text, colourFromRgbNumber(0));
    Text1->setPalette(textPalette);
    Text1->setPlainText(InitialText);
    // Dragging the text box moves the editor; the press still reaches it and places the caret.
    Text1->viewport()->installEventFilter(this);

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
    add(QStringLiteral("FMKIDOU"), QStringLiteral("Pinboa起動"), [this] {
        m_main->MainMode = 1;
        m_main->showMain();
    });
    separator(QStringLiteral("KUBU"));
    add(QStringLiteral("FHYOUZI"), QStringLiteral("付箋表示・再表示"),
        [this] { m_main->refresh(); });
    add(QStringLiteral("FSAKUSEI"), QStringLiteral("付箋作成"),
        [this] { m_main->sakusei_Click(); });
    add(QStringLiteral("FSYOUKYO"), QStringLiteral("付箋消去"),
        [this] { m_main->syoukyo_Click(); });
    separator(QStringLiteral("KUBUNN"));
    add(QStringLiteral("SYURYOU"), QStringLiteral("終了"), [this] { m_main->syuuryou_Click(); });
}

void Form2::Form_Load()
{
    NoteDesktop &desktop = m_main->Desktop;
    // A folder that cannot be read now leaves NewNoteId at 0; create complete chooses again
    // and reports the failure then, when the user is looking at the editor.
    if (desktop.APC()) {
        const auto records = store::NoteStore(desktop.AppDir).readNoteRecords();
        if (records)
            NewNoteId = store::chooseNewNoteId(desktop.NoteLineCount, *records);
    }
    desktop.NoteTable = QList<NoteRow>(qMax(0, desktop.NoteLineCount) + 1);

    IRO2 = rgbNumber(Text1->palette().color(QPalette::Base));
    FNT2 = DefaultFontName;
    FSIZE2 = 12;
    FIRO2 = 0;
}

store::NoteRecord Form2::newNote() const
{
    QString message = typedText(Text1);
    if (message.endsWith(QLatin1Char('\n')))
        message.chop(1);
    message.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));

    const QRectF outer = platform::outerGeometryTwips(this);
    store::NoteRecord note;
    note.NoteText = store::Value::text(message);
    note.NoteBackColor = store::Value::text(decimalText(IRO2));
    note.NoteFontName = store::Value::text(FNT2.toString());
    note.NoteFontSize = recordValue(FSIZE2);
    note.NoteTop = store::Value::number(outer.y());
    note.NoteLeft = store::Value::number(outer.x());
    note.NoteWidth = store::Value::number(outer.width());
    note.NoteHeight = store::Value::number(outer.height() - NoteHeightAllowance);
    note.NoteForeColor = recordValue(FIRO2);
    note.NoteId = store::Value::number(double(NewNoteId));
    return note;
}

void Form2::Command1_Click()
{
    if (m_unloaded)
        return;
    NoteDesktop &desktop = m_main->Desktop;
    QString error;
    if (!desktop.APC(&error)) {
        showFailure(error);
        return;
    }
    const int n = desktop.NoteLineCount;
    const store::NoteStore noteStore(desktop.AppDir);
    if (NewNoteId <= 0) {
        const auto records = noteStore.readNoteRecords();
        if (!records) {
            showFailure(records.error());
            return;
        }
        NewNoteId = store::chooseNewNoteId(n, *records);
    }

    // Everything that could refuse the note is checked before a window starts or a byte is
    // written, so a refusal leaves no trace and the user can correct the text.
    const store::NoteRecord note = newNote();
    if (const QString refusal = refusalOf(note.NoteText.toText()); !refusal.isEmpty()) {
        showFailure(refusal);
        return;
    }
    if (const auto bytes = store::serializeNoteRecord(note); !bytes) {
        showFailure(bytes.error());
        return;
    }
    if (const auto args = store::EncodeNoteArgs(note); !args) {
        showFailure(args.error());
        return;
    }

    const qint64 taskId = desktop.startNote(note, &error);
    if (taskId == 0) {
        showFailure(error);
        return;
    }
    if (desktop.NoteTable.size() < n + 1)
        desktop.NoteTable.resize(n + 1);
    desktop.NoteTable[n] = NoteRow{note, taskId};

    if (const store::Status appended = noteStore.appendNoteRecord(note); !appended) {
        // An unregistered window would vanish at the next refresh: take it down again and let
        // the user try once more with the text still in the editor. Asked to end, it closes
        // as on any request to end: its entry goes, and it has no record to write to.
        platform::endNoteWindow(desktop.ProgramDir, taskId);
        showFailure(appended.error());
        return;
    }

    if (m_main->MainMode == 0) {
        unload();
        return;
    }
    m_main->moveTo(TTP, LLF);
    unload();
    m_main->showMain();
}

void Form2::Command2_Click()
{
    // A dialog that was closed is on its way out; each opening loads a fresh one.
    if (!m_settings || !m_settings->isVisible())
        m_settings = new Form3(this);
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
    if (m_main->MainMode == 0) {
        unload();
        return;
    }
    m_main->moveTo(Top(), Left());
    unload();
    m_main->showMain();
}

double Form2::Top() const
{
    return platform::outerGeometryTwips(this).y();
}

double Form2::Left() const
{
    return platform::outerGeometryTwips(this).x();
}

void Form2::moveTo(double top, double left)
{
    const double tpp = platform::twipsPerPixel(this);
    move(platform::toPixels(left, tpp), platform::toPixels(top, tpp));
}

void Form2::setBackColor(const QColor &colour)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
}

void Form2::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_settings)
        m_settings->close();
    hide();
    m_main->editorUnloaded();
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

void Form2::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

Qt::Edges Form2::edgesAt(const QPoint &pos) const
{
    Qt::Edges edges;
    const int grip = qMax(m_border, CornerGrip);
    const bool nearLeft = pos.x() < m_border, nearRight = pos.x() >= width() - m_border;
    const bool nearTop = pos.y() < m_border, nearBottom = pos.y() >= height() - m_border;
    if (!nearLeft && !nearRight && !nearTop && !nearBottom)
        return edges;
    if (pos.x() < grip)
        edges |= Qt::LeftEdge;
    if (pos.x() >= width() - grip)
        edges |= Qt::RightEdge;
    if (pos.y() < grip)
        edges |= Qt::TopEdge;
    if (pos.y() >= height() - grip)
        edges |= Qt::BottomEdge;
    return edges;
}

void Form2::mousePressEvent(QMouseEvent *event)
{
    m_pressEdges = {};
    m_moving = false;
    if (event->buttons() == Qt::LeftButton) {
        const Qt::Edges edges = edgesAt(event->position().toPoint());
        if (edges) {
            m_pressEdges = edges;
            if (windowHandle())
                windowHandle()->startSystemResize(edges);
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void Form2::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton) {
        const Qt::Edges edges = edgesAt(event->position().toPoint());
        if ((edges & Qt::LeftEdge && edges & Qt::TopEdge) ||
            (edges & Qt::RightEdge && edges & Qt::BottomEdge))
            setCursor(Qt::SizeFDiagCursor);
        else if ((edges & Qt::RightEdge && edges & Qt::TopEdge) ||
                 (edges & Qt::LeftEdge && edges & Qt::BottomEdge))
            setCursor(Qt::SizeBDiagCursor);
        else if (edges & (Qt::LeftEdge | Qt::RightEdge))
            setCursor(Qt::SizeHorCursor);
        else if (edges & (Qt::TopEdge | Qt::BottomEdge))
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
        return;
    }
    // A press on the border resizes; a press on the surface drags the window.
    if (!m_pressEdges && Form_MouseMove(event))
        return;
    QWidget::mouseMoveEvent(event);
}

bool Form2::Form_MouseMove(QMouseEvent *event)
{
    if (event->buttons() != Qt::LeftButton)
        return false;
    // One move per press: motion that was queued before the window manager took the pointer
    // must not ask for a second move, which would start after the release and follow the
    // bare pointer.
    if (m_moving)
        return true;
    m_moving = platform::dragWithLeftButton(this, event);
    return m_moving;
}

void Form2::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressEdges = {};
    m_moving = false;
    QWidget::mouseReleaseEvent(event);
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

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Text1->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            m_moving = false;
            break; // the press still places the caret
        case QEvent::MouseMove:
            if (Form_MouseMove(static_cast<QMouseEvent *>(event))) // Text1_MouseMove
                return true;
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace master

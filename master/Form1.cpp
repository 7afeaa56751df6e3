// Form1: the master's main window, its tray icon and the public operations other windows call.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"

#include "DataFolderChoice.h"
#include "Form2.h"
#include "Form4.h"
#include "Form5.h"
#include "Form6.h"
#include "NotificationArea.h"
#include "WrappingButton.h"

#include "platform/MessageBox.h"
#include "platform/Twips.h"
#include "platform/WindowSystem.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

// Outside any namespace, as the resource system wants it.
static void initResources()
{
    Q_INIT_RESOURCE(pinboa);
}

namespace master {

namespace {

// Client area below the menu bar, twips.
constexpr double ClientWidth = 4755;
constexpr double ClientHeight = 1080;
constexpr double ButtonTop = 0;
constexpr double ButtonHeight = 1035;

const QString MessageTitle = QStringLiteral("Pinboa");

QIcon programIcon()
{
    initResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/pinboa-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/pinboa.svg"));
    return icon;
}

} // namespace

Form1::Form1(QWidget *parent)
    : Form(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                       Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Pinboa"));
    setWindowIcon(programIcon());

    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    m_menuBar->setNativeMenuBar(false);
    const auto addMenuItem = [this](const char *name, const QString &caption,
                                    void (Form1::*click)()) {
        QAction *action = m_menuBar->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, click);
    };
    addMenuItem("syuuryou", QStringLiteral("終了(&X)"), &Form1::syuuryou_Click);
    addMenuItem("sakusei", QStringLiteral("付箋作成(&N)"), &Form1::sakusei_Click);
    addMenuItem("syoukyo", QStringLiteral("付箋消去(&D)"), &Form1::syoukyo_Click);
    addMenuItem("bazyon", QStringLiteral("バージョン(&A)"), &Form1::bazyon_Click);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("ClientArea"));
    const QFont buttonFont = platform::designFont(15.75);
    struct ButtonDesign
    {
        const char *name;
        QString caption;
        QString tip;
        double left;
        double width;
        void (Form1::*click)();
    };
    const ButtonDesign designs[] = {
        {"Command1", QStringLiteral("表示・再表示"),
         QStringLiteral("登録されている付箋を表示します。"), 30, 1185, &Form1::Command1_Click},
        {"Command2", QStringLiteral("付箋 作成"), QStringLiteral("付箋の作成を行います。"), 1230,
         1125, &Form1::sakusei_Click},
        {"Command3", QStringLiteral("付箋  消去"),
         QStringLiteral("登録されている付箋の消去を行います。"), 2370, 1155, &Form1::syoukyo_Click},
        {"Command4", QStringLiteral("トレイに格納"), QStringLiteral("トレイに格納します。"), 3540,
         1185, &Form1::Command4_Click},
    };
    QWidget *previous = nullptr;
    for (const ButtonDesign &design : designs) {
        auto *button = new WrappingButton(design.caption, m_client);
        button->setObjectName(QString::fromLatin1(design.name));
        button->setToolTip(design.tip);
        button->setFont(buttonFont);
        platform::setGeometryTwips(button, design.left, ButtonTop, design.width, ButtonHeight);
        connect(button, &QPushButton::clicked, this, design.click);
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    }

    // The menu bar sits above the client area, which keeps its design size.
    const double tpp = platform::twipsPerPixel(this);
    const int clientWidth = platform::toPixels(ClientWidth, tpp);
    const int clientHeight = platform::toPixels(ClientHeight, tpp);
    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, clientWidth, menuHeight);
    m_client->setGeometry(0, menuHeight, clientWidth, clientHeight);
    setFixedSize(clientWidth, menuHeight + clientHeight);

    m_tray = new QSystemTrayIcon(programIcon(), this);
    m_tray->setObjectName(QStringLiteral("TrayIcon"));
    m_tray->setToolTip(QStringLiteral("Pinboa メニュー"));
    connect(m_tray, &QSystemTrayIcon::activated, this, &Form1::trayActivated);
    connect(&m_desktop, &NoteDesktop::finished, this, &Form1::desktopFinished);
    connect(&m_desktop, &NoteDesktop::putBackDue, this,
            [this] { runCommand(DesktopCommand::PutBack); });
    m_choice = new DataFolderChoice(this);
    connect(m_choice, &DataFolderChoice::chosen, this, &Form1::switchDataFolder);
}

Form1::~Form1()
{
    delete m_editor.data();
}

void Form1::addTrayIcon()
{
    m_tray->show();
}

void Form1::APC()
{
    if (const store::Status counted = m_desktop.APC(); !counted)
        platform::showMessage(this, {counted.error(), MessageTitle});
}

void Form1::HYOUZI()
{
    if (m_desktop.HYOUZI())
        QApplication::setOverrideCursor(Qt::BusyCursor);
}

void Form1::UL()
{
    if (m_following)
        return runCommand(DesktopCommand::Hide);
    if (m_desktop.UL())
        QApplication::setOverrideCursor(Qt::BusyCursor);
}

void Form1::refresh()
{
    // A second request while one runs starts no second round of windows.
    if (m_following)
        return runCommand(DesktopCommand::Show);
    if (m_desktop.refresh())
        QApplication::setOverrideCursor(Qt::BusyCursor);
}

void Form1::desktopFinished(const QString &message)
{
    if (!std::exchange(m_following, false))
        QApplication::restoreOverrideCursor();
    if (!message.isEmpty())
        platform::showMessage(this, {message, MessageTitle});
    QTimer::singleShot(0, this, &Form1::runNextCommand);
}

void Form1::Command1_Click()
{
    refresh();
}

void Form1::Command4_Click()
{
    MainMode = 0;
    // Hidden with nowhere to come back from, the master would be out of reach.
    if (tray::notificationAreaAvailable())
        hide();
    else
        showMinimized();
}

void Form1::placeAndShow(Form *dialog)
{
    dialog->moveTo(Top(), Left());
    hide();
    dialog->show();
}

void Form1::returnFromDialog(double top, double left)
{
    if (MainMode == 0)
        return;
    moveTo(top, left);
    showMain();
}

void Form1::sakusei_Click()
{
    Form2 *form = editor();
    if (form->editing()) {
        // An edit is under way: it stays where the user has it.
        form->raise();
        form->activateWindow();
        return;
    }
    const double top = Top();
    const double left = Left();
    form->moveTo(top, left);
    form->TTP = top;
    form->LLF = left;
    hide();
    form->show();
}

void Form1::syoukyo_Click()
{
    auto *form = new Form4;
    connect(form, &Form4::erased, this, [this] {
        learnNotes(); // the master's own change
        refresh();
    });
    connect(form, &Form4::returnTo, this, &Form1::returnFromDialog);
    placeAndShow(form);
}

void Form1::bazyon_Click()
{
    auto *form = new Form5;
    // Its button always brings the main window back.
    connect(form, &Form5::returnTo, this, [this](double top, double left) {
        moveTo(top, left);
        showMain();
    });
    placeAndShow(form);
}

void Form1::syuuryou_Click()
{
    if (m_tray)
        m_tray->hide();
    if (m_exit)
        m_exit();
    else
        QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->ignore();
    syuuryou_Click();
}

Form2 *Form1::editor()
{
    if (m_editor)
        return m_editor;
    m_editor = new Form2(m_desktop);
    connect(m_editor, &Form2::returnTo, this, &Form1::returnFromDialog);
    connect(m_editor, &Form2::unloaded, this, [this] { m_editor = nullptr; });
    connect(m_editor, &Form2::launchChosen, this, &Form1::showMain);
    connect(m_editor, &Form2::refreshChosen, this, &Form1::refresh);
    connect(m_editor, &Form2::createChosen, this, &Form1::sakusei_Click);
    connect(m_editor, &Form2::eraseChosen, this, &Form1::syoukyo_Click);
    connect(m_editor, &Form2::putBackChosen, this, [this] {
        auto *form = new Form6;
        connect(form, &Form6::putBack, this, [this] {
            // A note put back may hold the number the editor chose as it loaded: it chooses
            // when it registers instead.
            if (m_editor)
                m_editor->NewNoteId = 0;
            learnNotes();
            HYOUZI(); // shows just the notes put back
        });
        connect(form, &Form6::returnTo, this, &Form1::returnFromDialog);
        placeAndShow(form);
    });
    connect(m_editor, &Form2::dataFolderChosen, this, &Form1::dataFolder_Click);
    connect(m_editor, &Form2::exitChosen, this, &Form1::syuuryou_Click);
    return m_editor;
}

void Form1::showMain()
{
    MainMode = 1;
    // Its own last place: a window shown again without one is placed anew by the window manager,
    // away from whatever covers the old place.
    if (windowHandle())
        moveTo(Top(), Left());
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void Form1::trayActivated(QSystemTrayIcon::ActivationReason reason)
{
    // While the main window is on the screen it is the user's home: a click on the icon brings
    // it to the front, wherever notes or other windows cover it.
    if (isVisible() && !isMinimized()) {
        if (reason != QSystemTrayIcon::Unknown)
            showMain();
        return;
    }
    if (reason == QSystemTrayIcon::Context)
        editor()->SMENU->popup(QCursor::pos());
}

} // namespace master

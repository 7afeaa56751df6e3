// Message boxes, or the test hook that stands in for them.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>

#include <cstdio>

namespace platform {

namespace {
std::function<MessageAnswer(const Message &)> &hook()
{
    static std::function<MessageAnswer(const Message &)> s_hook;
    return s_hook;
}
// The window a message concerns, as the user sees it: the parent's window while it is shown; a
// window not shown yet (a dialog still loading) or hidden gives way to the window the user works
// in, or any shown window of the program. With none, the box stands in the middle of the screen.
QWidget *shownOwner(QWidget *parent)
{
    const auto shown = [](const QWidget *w) {
        return w && w->isVisible() && !w->isMinimized() && w->windowType() != Qt::Popup;
    };
    if (parent && shown(parent->window()))
        return parent->window();
    if (QWidget *active = QApplication::activeWindow(); shown(active))
        return active;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (shown(window) && !qobject_cast<QMessageBox *>(window))
            return window;
    }
    return nullptr;
}

} // namespace

void showMessage(QWidget *parent, const Message &message, std::function<void(MessageAnswer)> then)
{
    const auto answer = [&then](MessageAnswer a) {
        if (then)
            then(a);
    };
    if (hook())
        return answer(hook()(message));
    // Unattended runs (the end-to-end tests) have nobody to press a button: the message goes to
    // the error stream and the default button counts as pressed.
    static const bool toStderr = qEnvironmentVariableIsSet("PINBOA_MESSAGES_TO_STDERR");
    if (toStderr) {
        std::fprintf(stderr, "%s: %s\n", message.title.toLocal8Bit().constData(),
                     message.text.toLocal8Bit().constData());
        return answer(message.buttons == MessageButtons::YesNo ? MessageAnswer::Yes
                                                               : MessageAnswer::Ok);
    }

    auto *box = new QMessageBox(shownOwner(parent)); // centred over the window it concerns
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setText(message.text);
    box->setWindowTitle(message.title);
    switch (message.icon) {
    case MessageIcon::Exclamation:
        box->setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Question:
        box->setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    if (message.buttons == MessageButtons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
        // The desktop's buttons speak Japanese whatever translations are installed.
        box->button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box->button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    // The answer goes to the window that asked only while it exists.
    const QPointer<QWidget> asker(parent);
    const bool hasAsker = parent != nullptr;
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, asker, hasAsker, then = std::move(then)](int) {
                         if (!then || (hasAsker && !asker))
                             return;
                         const bool yes = box->clickedButton() == box->button(QMessageBox::Yes);
                         then(box->standardButtons() & QMessageBox::Yes
                                  ? (yes ? MessageAnswer::Yes : MessageAnswer::No)
                                  : MessageAnswer::Ok);
                     });
    box->open();
}

void setMessageHookForTesting(std::function<MessageAnswer(const Message &)> h)
{
    hook() = std::move(h);
}

} // namespace platform

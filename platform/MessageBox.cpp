// Message boxes, or the test hook that stands in for them.
#include "MessageBox.h"

#include <QAbstractButton>

#include <cstdio>

namespace platform {

namespace {
std::function<MessageAnswer(const Message &)> &hook()
{
    static std::function<MessageAnswer(const Message &)> s_hook;
    return s_hook;
}
} // namespace

MessageAnswer showMessage(QWidget *parent, const Message &message)
{
    if (hook())
        return hook()(message);
    // Unattended runs (the end-to-end tests) have nobody to press a button: the message goes to
    // the error stream and the default button counts as pressed.
    static const bool toStderr = qEnvironmentVariableIsSet("PINBOA_MESSAGES_TO_STDERR");
    if (toStderr) {
        std::fprintf(stderr, "%s: %s\n", message.title.toLocal8Bit().constData(),
                     message.text.toLocal8Bit().constData());
        return message.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }

    QMessageBox box(parent);
    box.setText(message.text);
    box.setWindowTitle(message.title);
    switch (message.icon) {
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (message.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        // The desktop's buttons speak Japanese whatever translations are installed.
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

void setMessageHookForTesting(std::function<MessageAnswer(const Message &)> h)
{
    hook() = std::move(h);
}

} // namespace platform

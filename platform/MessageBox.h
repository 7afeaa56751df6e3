// Message boxes with text, title, icon and buttons, returning the button pressed.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace platform {

enum class MessageIcon
{
    Exclamation,
    Question,
    Critical
};
enum class MessageButtons
{
    Ok,
    YesNo
};
enum class MessageAnswer
{
    Ok,
    Yes,
    No
};

struct Message
{
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::Exclamation;
    MessageButtons buttons = MessageButtons::Ok;
};

// Modal; with Yes and No, Yes is the default button.
MessageAnswer showMessage(QWidget *parent, const Message &message);

// Test seam: every message goes to `hook` instead of the screen (an empty function restores it).
void setMessageHookForTesting(std::function<MessageAnswer(const Message &)> hook);

} // namespace platform

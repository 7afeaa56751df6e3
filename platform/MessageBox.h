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

// Shows the box over the window it concerns and returns at once: no event loop of its own runs
// the program meanwhile. `then` gets the button pressed, unless `parent` is gone by then. With
// Yes and No, Yes is the default button.
void showMessage(QWidget *parent, const Message &message,
                 std::function<void(MessageAnswer)> then = {});

// Test seam: every message goes to `hook` instead of the screen, and its answer to `then` at once
// (an empty function restores the screen).
void setMessageHookForTesting(std::function<MessageAnswer(const Message &)> hook);

} // namespace platform

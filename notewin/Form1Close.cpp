// The note window's life in the files: registered at start-up, closed with its write-back, each
// wait for the files a state of the window, and the master's close requests answered when done.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form1.h"

#include "NoteFiles.h"

#include "platform/CloseRequest.h"
#include "platform/Log.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"

#include <QApplication>

#include <utility>

namespace notewin {

void Form1::registrationDone(const store::Status &status)
{
    if (m_state != State::Registering)
        return;
    if (!status) {
        m_state = State::Loading;
        delete m_closeRequests;
        m_closeRequests = nullptr;
        qApp->removeEventFilter(this);
    } else {
        takeOptions();
    }
    emit loaded(status);
}

void Form1::markShown()
{
    if (m_state != State::Registering)
        return;
    m_state = State::Shown;
    // A request to end that came during the start-up: the entry is written, so the close that
    // removes it runs now.
    if (m_endRequested)
        Form_Unload(CloseCause::EndRequest);
}

void Form1::Form_Unload(CloseCause cause)
{
    const bool end = cause == CloseCause::EndRequest;
    switch (m_state) {
    case State::Loading:
    case State::Registering:
        // Not up yet: a request to end waits for the window (or for the start-up to fail).
        m_endRequested = m_endRequested || end;
        return;
    case State::Closing:
        m_ending = m_ending || end; // a second key waits with the first
        return;
    case State::Closed:
        return;
    case State::Shown:
        break;
    }
    m_state = State::Closing;
    m_ending = end;
    // Where the user left the window, frame included, when the files are free.
    m_files->writeBack([this] { return platform::outerGeometryTwips(this).topLeft(); },
                       [this] { return workspaceNote(); });
}

void Form1::writeBackDone(const store::CloseResult &stored)
{
    if (m_state != State::Closing)
        return;
    if (stored.busy() && !m_ending) {
        // Nothing was written: the note stays, and the next key tries again.
        m_state = State::Shown;
        answerRequests(false);
        platform::showMessage(
            this, {QStringLiteral("付箋を閉じられませんでした。\n%1").arg(stored.notes.error()),
                   QStringLiteral("付箋"), platform::MessageIcon::Exclamation,
                   platform::MessageButtons::Ok});
        return;
    }
    m_state = State::Closed;
    // The master waits for the write-back, not for the user to read a message.
    answerRequests(true);
    // The place is what matters; where the note was and the choices that could not be kept
    // (a damaged options file, which the master sets aside) are not worth a message at close.
    if (!stored.options && !stored.options.busy())
        qCWarning(lcPinboa, "%s", qPrintable(stored.options.error()));
    if (stored.ok()) {
        emit closed(0);
        return;
    }
    const QString text =
        stored.notes.ok()
            ? QStringLiteral("付箋の位置は保存しましたが、実行中の付箋の一覧から外せませんでした。"
                             "\n%1")
                  .arg(stored.running.error())
            : QStringLiteral("付箋の位置を保存できませんでした。\n%1").arg(stored.notes.error());
    // Asked to end from outside (a signal, the session's end): nobody may be there to press a
    // button, so the message is logged only.
    if (m_ending) {
        qCWarning(lcPinboa, "%s", qPrintable(text));
        emit closed(1);
        return;
    }
    platform::showMessage(this,
                          {text, QStringLiteral("付箋"), platform::MessageIcon::Critical,
                           platform::MessageButtons::Ok},
                          [this](platform::MessageAnswer) { emit closed(1); });
}

void Form1::closeRequested(std::function<void(bool)> reply)
{
    switch (m_state) {
    case State::Shown:
        m_pendingReplies.append(std::move(reply));
        Form_KeyDown(); // exactly as a key press
        break;
    case State::Closing:
        m_pendingReplies.append(std::move(reply)); // answered when the write-back is done
        break;
    case State::Closed:
        reply(true);
        break;
    case State::Loading:
    case State::Registering:
        reply(false); // not yet: the master tries again later
        break;
    }
}

void Form1::answerRequests(bool closed)
{
    const auto replies = std::exchange(m_pendingReplies, {});
    for (const auto &reply : replies)
        reply(closed);
}

void Form1::Form_UnloadNow()
{
    if (m_state != State::Shown && m_state != State::Closing)
        return;
    m_state = State::Closed;
    // No event loop may run again, and the last place the window was known at is all there is.
    const store::CloseResult stored = m_files->writeBackNow(m_lastPlace, workspaceNote());
    for (const store::Status *part : {&stored.notes, &stored.running, &stored.options}) {
        if (!*part)
            qCWarning(lcPinboa, "%s", qPrintable(part->error()));
    }
}

} // namespace notewin

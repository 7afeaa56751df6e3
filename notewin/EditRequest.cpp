// "編集…": a request to the running master, or a master started with it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "EditRequest.h"

#include "platform/LineRequest.h"
#include "platform/SingleInstance.h"

#include <QDir>
#include <QProcess>

namespace notewin {

EditRequest::EditRequest(const QString &programDir, const QString &dataDir, QObject *parent)
    : QObject(parent), m_programDir(programDir), m_dataDir(dataDir)
{
}

void EditRequest::send(const QString &argument)
{
    if (m_pending)
        return;
    m_pending = true;
    // Only the asking side of the single-instance check: nothing is claimed.
    auto *master = new platform::SingleInstance(m_programDir, m_dataDir, this);
    using Outcome = platform::LineRequest::Outcome;
    connect(master->ask(platform::protocol::EditNote, argument), &platform::LineRequest::finished,
            this, [this, master, argument](Outcome outcome) {
                master->deleteLater();
                m_pending = false;
                if (outcome == Outcome::NotRunning)
                    startMaster(argument);
                else if (outcome != Outcome::Answered)
                    emit failed(QStringLiteral("pinboa が応答しないため、付箋を編集できません。"));
            });
}

void EditRequest::startMaster(const QString &argument)
{
    const QString program = QDir(m_programDir).filePath(QStringLiteral("pinboa"));
    if (!QProcess::startDetached(program, {QStringLiteral("--edit-note"), argument}, m_programDir))
        emit failed(QStringLiteral("%1 を起動できないため、付箋を編集できません。")
                        .arg(QDir::toNativeSeparators(program)));
}

} // namespace notewin

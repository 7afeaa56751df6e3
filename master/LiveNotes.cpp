// Which note windows of a folder are alive, and which running entries stand for them.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "LiveNotes.h"

#include "platform/Processes.h"
#include "store/NoteArgs.h"
#include "store/NoteId.h"

namespace master {

QString idTextOf(const QString &noteArgs)
{
    const auto decoded = store::DecodeNoteArgs(noteArgs);
    if (decoded.ok() && decoded.value().has_value())
        return decoded.value()->at(store::NoteRecord::Id);
    return {};
}

std::optional<QString> windowIdOf(const store::NoteRecord &note)
{
    const auto args = store::EncodeNoteArgs(note);
    if (!args)
        return std::nullopt;
    return idTextOf(args.value());
}

qint64 entryTaskId(const store::RunningEntry &entry)
{
    const double value = store::idNumericValue(entry.RunningTaskId.toText());
    return value >= 1 ? static_cast<qint64>(value) : 0;
}

LiveWindows LiveWindows::scan(const QString &programDir, const QSet<qint64> &leaving)
{
    LiveWindows live;
    for (const platform::LiveNoteWindow &window : platform::liveNoteWindows(programDir)) {
        if (leaving.contains(window.pid))
            continue;
        const QString id = idTextOf(window.noteArgs);
        live.idByPid.insert(window.pid, id);
        if (!id.isNull())
            live.ids.insert(id);
    }
    return live;
}

bool LiveWindows::provablyDead(const store::RunningEntry &entry) const
{
    const QString id = entry.RunningId.toText();
    if (const qint64 taskId = entryTaskId(entry); taskId > 0) {
        const auto it = idByPid.constFind(taskId);
        if (it == idByPid.constEnd())
            return true;
        return !it->isNull() && *it != id;
    }
    return !ids.contains(id);
}

QList<qint64> LiveWindows::windowsOf(const store::RunningEntry &entry) const
{
    const QString id = entry.RunningId.toText();
    QList<qint64> windows;
    if (const qint64 taskId = entryTaskId(entry); taskId > 0) {
        const auto it = idByPid.constFind(taskId);
        if (it == idByPid.constEnd() || it->isNull() || *it == id)
            windows.append(taskId);
        return windows;
    }
    for (auto it = idByPid.cbegin(); it != idByPid.cend(); ++it) {
        if (it.value() == id)
            windows.append(it.key());
    }
    return windows;
}

QList<store::RunningEntry> LiveWindows::entries() const
{
    QList<store::RunningEntry> list;
    for (auto it = idByPid.cbegin(); it != idByPid.cend(); ++it) {
        if (!it->isNull())
            list.append({store::Value::text(*it), store::Value::number(double(it.key()))});
    }
    return list;
}

} // namespace master

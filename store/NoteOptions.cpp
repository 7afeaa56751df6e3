// The per-note options file: its syntax, note numbers, and the store's operations on it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteOptions.h"

#include "Files.h"
#include "FolderLock.h"
#include "NoteId.h"
#include "NoteStore.h"

#include <QByteArrayList>
#include <QSet>
#include <QUtf8StringView>

#include <cmath>
#include <limits>

namespace store {

namespace {

QString lineError(const QString &fileName, int line, const QString &why)
{
    return QStringLiteral("%1 の %2 行目を読めません（%3）。").arg(fileName).arg(line).arg(why);
}

// A whole number of decimal digits, with a leading "-" when `negative` is allowed.
std::optional<qint64> wholeNumber(QByteArrayView text, bool negative, qint64 most)
{
    const bool minus = negative && text.startsWith('-');
    const QByteArrayView digits = minus ? text.sliced(1) : text;
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > most)
        return std::nullopt;
    return minus ? -value : value;
}

std::optional<bool> truth(QByteArrayView text)
{
    if (text == "true")
        return true;
    if (text == "false")
        return false;
    return std::nullopt;
}

void dropDefaults(NoteOptionsTable &options)
{
    options.removeIf([](const auto &entry) { return entry.value().isDefault(); });
}

QString optionsPath(const QString &appDir)
{
    return appDir + QString::fromLatin1(NoteOptionsFileName);
}

NoteOptionsReadout readOptionsAt(const QString &path)
{
    NoteOptionsReadout readout;
    const auto file = files::read(path);
    if (!file) {
        readout.state = NoteOptionsReadout::State::Unreadable;
        readout.problem = file.error();
        return readout;
    }
    if (!file->exists)
        return readout;
    auto parsed = parseNoteOptions(file->bytes, files::shownName(path));
    if (!parsed) {
        readout.state = NoteOptionsReadout::State::Damaged;
        readout.problem = parsed.error();
        return readout;
    }
    readout.state = NoteOptionsReadout::State::Whole;
    readout.options = std::move(parsed.value());
    return readout;
}

} // namespace

Result<NoteOptionsTable> parseNoteOptions(const QByteArray &bytes, const QString &fileName)
{
    NoteOptionsTable options;
    QSet<qint64> sections;
    std::optional<qint64> current;
    QSet<QByteArray> keys; // of the current section
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3); // a byte order mark that an editor may have added
    const QByteArrayList lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = int(i + 1);
        const auto fail = [&](const QString &why) {
            return Error{lineError(fileName, lineNo, why)};
        };
        QByteArrayView line = lines.at(i);
        if (!QUtf8StringView(line).isValidUtf8())
            return fail(QStringLiteral("UTF-8 ではない文字があります"));
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const auto number = line.endsWith(']')
                                    ? wholeNumber(line.sliced(1, line.size() - 2).trimmed(), true,
                                                  std::numeric_limits<qint64>::max() / 10)
                                    : std::nullopt;
            if (!number)
                return fail(QStringLiteral("見出しは [付箋番号] の形です"));
            if (sections.contains(*number))
                return fail(QStringLiteral("付箋番号 %1 の見出しが二つあります").arg(*number));
            sections.insert(*number);
            current = *number;
            keys.clear();
            continue;
        }
        if (!current)
            return fail(QStringLiteral("[付箋番号] の見出しより前に設定があります"));
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            return fail(QStringLiteral("「名前=値」の形ではありません"));
        const QByteArrayView key = line.first(equals).trimmed();
        const QByteArrayView value = line.sliced(equals + 1).trimmed();
        if (keys.contains(key.toByteArray()))
            return fail(QStringLiteral("%1 が二つあります").arg(QString::fromUtf8(key)));
        keys.insert(key.toByteArray());
        NoteOptions &note = options[*current];
        if (key == "above" || key == "allWorkspaces") {
            const auto flag = truth(value);
            if (!flag)
                return fail(
                    QStringLiteral("%1 の値は true か false です").arg(QString::fromUtf8(key)));
            (key == "above" ? note.above : note.allWorkspaces) = *flag;
        } else if (key == "workspace") {
            const auto number = wholeNumber(value, false, std::numeric_limits<int>::max());
            if (!number)
                return fail(QStringLiteral("workspace の値は 0 以上の整数です"));
            note.workspace = int(*number);
        } else {
            return fail(QStringLiteral("知らない項目 %1 があります").arg(QString::fromUtf8(key)));
        }
    }
    dropDefaults(options);
    return options;
}

QByteArray serializeNoteOptions(const NoteOptionsTable &options)
{
    // Found by users beside their notes: it says what it is.
    QByteArray out(
        "# pinboa: 付箋ごとの設定（[付箋番号] ごと）。付箋そのものは MDATA.INI にあります。\n");
    const auto flag = [](bool value) { return value ? QByteArray("true") : QByteArray("false"); };
    for (auto it = options.cbegin(); it != options.cend(); ++it) {
        const NoteOptions &note = it.value();
        if (note.isDefault())
            continue;
        out += "\n[" + QByteArray::number(it.key()) + "]\n";
        out += "above=" + flag(note.above) + '\n';
        out += "allWorkspaces=" + flag(note.allWorkspaces) + '\n';
        if (note.workspace)
            out += "workspace=" + QByteArray::number(*note.workspace) + '\n';
    }
    return out;
}

qint64 windowNoteNumber(const QString &idText)
{
    return roundHalfEven(idNumericValue(idText));
}

std::optional<qint64> recordNoteNumber(const Value &noteId)
{
    const auto number = noteId.toNumber();
    if (!number || !std::isfinite(*number) || std::floor(*number) != *number ||
        std::abs(*number) > 9.0e15)
        return std::nullopt;
    return qint64(*number);
}

// The store's operations on the file, beside those on the two legacy files in NoteStore.cpp.

Status updateNoteOptionsLocked(const QString &notesDir,
                               const std::function<bool(NoteOptionsTable &)> &change)
{
    const QString path = optionsPath(notesDir);
    // The file travels with the notes: a sync engine that replaces it meanwhile is read again.
    return files::rewrite(path, [&](const files::Bytes &file) -> Result<std::optional<QByteArray>> {
        NoteOptionsTable read;
        if (file.exists) {
            auto parsed = parseNoteOptions(file.bytes, files::shownName(path));
            if (!parsed)
                return Error{parsed.error()};
            read = std::move(parsed.value());
        }
        NoteOptionsTable options = read;
        if (!change(options))
            return std::optional<QByteArray>();
        dropDefaults(options);
        // Written only when something differs, and never made only to hold the defaults.
        if (options == read)
            return std::optional<QByteArray>();
        return std::optional<QByteArray>(serializeNoteOptions(options));
    });
}

QString NoteStore::noteOptionsFilePath() const
{
    return optionsPath(m_folders.notes);
}

Result<NoteOptionsReadout> NoteStore::readNoteOptions() const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    return readOptionsAt(noteOptionsFilePath());
}

Status NoteStore::updateNoteOptions(const std::function<bool(NoteOptionsTable &)> &change) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    return updateNoteOptionsLocked(m_folders.notes, change);
}

Status NoteStore::removeNoteOptions(const QList<qint64> &numbers) const
{
    return updateNoteOptions([&](NoteOptionsTable &options) {
        bool removed = false;
        for (const qint64 number : numbers)
            removed = options.remove(number) > 0 || removed;
        return removed;
    });
}

Status NoteStore::keepOnlyNoteOptions(const QList<qint64> &numbers) const
{
    const QSet<qint64> kept(numbers.cbegin(), numbers.cend());
    return updateNoteOptions([&](NoteOptionsTable &options) {
        return options.removeIf([&](const auto &entry) { return !kept.contains(entry.key()); }) > 0;
    });
}

Result<QString> NoteStore::setAsideNoteOptions() const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = noteOptionsFilePath();
    const NoteOptionsReadout read = readOptionsAt(path);
    if (read.state == NoteOptionsReadout::State::Missing ||
        read.state == NoteOptionsReadout::State::Whole)
        return QString(); // nothing to set aside, or mended meanwhile
    return files::setAside(path);
}

Result<QString> NoteStore::tidyNoteOptions(const QList<NoteRecord> &records, bool wholeFile) const
{
    FolderLock lock(m_folders.state, m_wait);
    if (!lock.locked())
        return lock.error();
    const NoteStore held(m_folders, LockWait::Held);
    const auto read = held.readNoteOptions();
    if (!read)
        return Error{read.error()};
    if (read->state == NoteOptionsReadout::State::Damaged ||
        read->state == NoteOptionsReadout::State::Unreadable)
        return held.setAsideNoteOptions();
    // A record that could not be read may still have its options: nothing goes then.
    if (read->state == NoteOptionsReadout::State::Missing || !wholeFile)
        return QString();
    QList<qint64> numbers;
    for (const NoteRecord &record : records) {
        if (const auto number = recordNoteNumber(record.NoteId))
            numbers.append(*number);
    }
    if (const Status kept = held.keepOnlyNoteOptions(numbers); !kept)
        return Error{kept.error()};
    return QString();
}

} // namespace store

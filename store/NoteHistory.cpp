// The record versions this computer has read or written, one step per line of a small file.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteHistory.h"

#include "Files.h"

#include <QCryptographicHash>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace store {

namespace {

// 64-bit FNV-1a: stable across runs, versions of Qt and computers, unlike qHash.
quint64 fnv1a(const QByteArray &bytes)
{
    quint64 hash = 14695981039346656037ull;
    for (const char c : bytes) {
        hash ^= uchar(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

// A field as Value's equality sees it: a number by its value, anything else by its text.
void appendCanonical(QByteArray &out, const Value &value)
{
    if (value.isNumber()) {
        if (const auto number = value.toNumber()) {
            const double normal = *number == 0 ? 0.0 : *number; // -0 is 0
            char bits[sizeof normal];
            std::memcpy(bits, &normal, sizeof normal);
            out += 'n';
            out.append(bits, sizeof bits);
            out += '\x1f';
            return;
        }
    }
    out += value.isText() ? 't' : 'b';
    out += value.toText().toUtf8();
    out += '\x1f';
}

bool isPlace(int field)
{
    return field == NoteRecord::Top || field == NoteRecord::Left;
}

} // namespace

size_t qHash(const NoteVersion &version, size_t seed)
{
    return qHashMulti(seed, version.number, version.hash);
}

NoteVersion versionOf(const NoteRecord &record)
{
    QByteArray canonical;
    for (int f = 0; f < NoteRecord::FieldCount; ++f) {
        if (!isPlace(f) && f != NoteRecord::Id)
            appendCanonical(canonical, record.field(f));
    }
    const double number = record.NoteId.toNumber().value_or(0);
    return NoteVersion{qint64(std::llround(number)), fnv1a(canonical)};
}

bool sameNote(const NoteRecord &a, const NoteRecord &b, bool numberAside)
{
    for (int f = 0; f < NoteRecord::FieldCount; ++f) {
        if (isPlace(f) || (numberAside && f == NoteRecord::Id))
            continue;
        if (!(a.field(f) == b.field(f)))
            return false;
    }
    return true;
}

void NoteHistory::step(char kind, const NoteVersion &version)
{
    Entry &entry = m_entries[version];
    if (entry.firstSeen < 0)
        entry.firstSeen = m_steps;
    if (kind == 'w')
        entry.lastWritten = m_steps;
    ++m_steps;
    m_pending += kind + QByteArray(" ") + QByteArray::number(version.number) + ' ' +
                 QByteArray::number(version.hash, 16) + '\n';
}

void NoteHistory::addRead(const QList<NoteRecord> &records)
{
    for (const NoteRecord &record : records) {
        const NoteVersion version = versionOf(record);
        if (!m_entries.contains(version))
            step('r', version);
    }
}

void NoteHistory::addWritten(const QList<NoteRecord> &records)
{
    for (const NoteRecord &record : records)
        step('w', versionOf(record));
}

std::optional<qint64> NoteHistory::firstSeen(const NoteRecord &record) const
{
    const auto it = m_entries.constFind(versionOf(record));
    if (it == m_entries.constEnd())
        return std::nullopt;
    return it->firstSeen;
}

std::optional<qint64> NoteHistory::lastWritten(const NoteRecord &record) const
{
    const auto it = m_entries.constFind(versionOf(record));
    if (it == m_entries.constEnd() || it->lastWritten < 0)
        return std::nullopt;
    return it->lastWritten;
}

QString NoteHistory::fileName()
{
    QByteArray machine = QSysInfo::machineUniqueId();
    if (machine.isEmpty())
        machine = QSysInfo::machineHostName().toUtf8();
    return QStringLiteral(".pinboa-seen-") +
           QString::fromLatin1(
               QCryptographicHash::hash(machine, QCryptographicHash::Sha256).toHex().left(12));
}

NoteHistory NoteHistory::load(const QString &stateFolder)
{
    NoteHistory history;
    const auto file = files::read(stateFolder + fileName());
    if (!file)
        return history;
    for (const QByteArray &raw : file->bytes.split('\n')) {
        const QList<QByteArray> parts = raw.trimmed().split(' ');
        if (parts.size() != 3 || (parts[0] != "r" && parts[0] != "w"))
            continue;
        bool numberOk = false;
        bool hashOk = false;
        const NoteVersion version{parts[1].toLongLong(&numberOk),
                                  parts[2].toULongLong(&hashOk, 16)};
        if (numberOk && hashOk)
            history.step(parts[0][0], version);
    }
    history.m_pending.clear();
    return history;
}

void NoteHistory::rememberRead(const QString &stateFolder, const QList<NoteRecord> &records)
{
    remember(stateFolder, records, {}, &records);
}

void NoteHistory::rememberRewrite(const QString &stateFolder, const QList<NoteRecord> &before,
                                  const QList<NoteRecord> &after)
{
    remember(stateFolder, before, after, &after);
}

void NoteHistory::rememberAppend(const QString &stateFolder, const NoteRecord &record)
{
    remember(stateFolder, {}, {record}, nullptr);
}

void NoteHistory::remember(const QString &stateFolder, const QList<NoteRecord> &read,
                           const QList<NoteRecord> &after, const QList<NoteRecord> *current)
{
    NoteHistory history = load(stateFolder);
    history.addRead(read);
    QSet<NoteVersion> before;
    for (const NoteRecord &record : read)
        before.insert(versionOf(record));
    QList<NoteRecord> written;
    for (const NoteRecord &record : after) {
        if (!before.contains(versionOf(record)))
            written.append(record);
    }
    history.addWritten(written);
    (void)history.save(stateFolder, current);
}

Status NoteHistory::save(const QString &stateFolder, const QList<NoteRecord> *current)
{
    const QString path = stateFolder + fileName();
    if (current && m_steps > 4 * qint64(Bound) + 2 * current->size())
        return compact(path, *current);
    if (m_pending.isEmpty())
        return {};
    // A lost step costs a merge a duplicate at worst: no wait for the disk.
    Status appended = files::append(path, m_pending, files::Sync::No);
    if (appended)
        m_pending.clear();
    return appended;
}

Status NoteHistory::compact(const QString &path, const QList<NoteRecord> &current)
{
    QSet<NoteVersion> keep;
    for (const NoteRecord &record : current)
        keep.insert(versionOf(record));
    QList<std::pair<qint64, NoteVersion>> others; // the latest step of each version
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (!keep.contains(it.key()))
            others.append({std::max(it->firstSeen, it->lastWritten), it.key()});
    }
    std::sort(others.begin(), others.end(),
              [](const auto &a, const auto &b) { return a.first > b.first; });
    for (qsizetype i = 0; i < std::min<qsizetype>(others.size(), Bound); ++i)
        keep.insert(others[i].second);

    // Each kept version's first step and its last write, in their old order.
    QList<std::tuple<qint64, char, NoteVersion>> steps;
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (!keep.contains(it.key()))
            continue;
        steps.append({it->firstSeen, it->lastWritten == it->firstSeen ? 'w' : 'r', it.key()});
        if (it->lastWritten > it->firstSeen)
            steps.append({it->lastWritten, 'w', it.key()});
    }
    std::sort(steps.begin(), steps.end(),
              [](const auto &a, const auto &b) { return std::get<0>(a) < std::get<0>(b); });
    NoteHistory compacted;
    for (const auto &[at, kind, version] : steps)
        compacted.step(kind, version);
    if (Status saved = files::save(path, compacted.m_pending); !saved)
        return saved;
    compacted.m_pending.clear();
    *this = std::move(compacted);
    return {};
}

} // namespace store

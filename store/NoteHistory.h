// The record versions this computer has read or written: the base a conflict copy is merged
// against, kept in the state folder, never in the synced one.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Records.h"
#include "Result.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

namespace store {

// One version of a note: its number and a hash of its fields other than the place (text,
// colours, font, size). Moving a note keeps its version; any other change makes a new one.
struct NoteVersion
{
    qint64 number = 0;
    quint64 hash = 0;
    bool operator==(const NoteVersion &other) const = default;
};
size_t qHash(const NoteVersion &version, size_t seed = 0);
NoteVersion versionOf(const NoteRecord &record);

// Two records of one note in one version: equal but for the place. With `numberAside`, the number
// is set aside too: the same note under another number.
bool sameNote(const NoteRecord &a, const NoteRecord &b, bool numberAside = false);

// Every read and every write is one step after all earlier ones, so that the history can say
// which came first. Bounded: the oldest versions go first, never those of the current file.
class NoteHistory
{
public:
    // The versions of `records` that were not seen before, as read now.
    void addRead(const QList<NoteRecord> &records);
    // The versions of `records` as written now by this computer.
    void addWritten(const QList<NoteRecord> &records);

    bool seen(const NoteRecord &record) const { return firstSeen(record).has_value(); }
    bool wrote(const NoteRecord &record) const { return lastWritten(record).has_value(); }
    // The step at which the version was first read or written here; the last one it was written.
    std::optional<qint64> firstSeen(const NoteRecord &record) const;
    std::optional<qint64> lastWritten(const NoteRecord &record) const;
    qsizetype size() const { return m_entries.size(); }

    // The history's file in a state folder. Its name carries a key of this computer, so that a
    // state folder that a sync engine carries anyway (a program folder synced whole) never gives
    // one computer another's history.
    static QString fileName();
    // A missing file is an empty history; lines that cannot be read are passed over (the history
    // only ever makes merges keep more).
    static NoteHistory load(const QString &stateFolder);
    // Adds what was read and written since load() to the file. Given the whole file's records as
    // they stand, and when the history has grown past its bound, writes it again with the oldest
    // versions left out, never those of `current`.
    Status save(const QString &stateFolder, const QList<NoteRecord> *current = nullptr);

    static constexpr int Bound = 4096;

    // What an operation under the folder lock did, added to the history of `stateFolder`: a read
    // of the whole file; a rewrite (the records before and after it, whose new versions it
    // wrote); an append. A history that cannot be saved costs a later merge a duplicate at worst,
    // so these never fail the operation.
    static void rememberRead(const QString &stateFolder, const QList<NoteRecord> &records);
    static void rememberRewrite(const QString &stateFolder, const QList<NoteRecord> &before,
                                const QList<NoteRecord> &after);
    static void rememberAppend(const QString &stateFolder, const NoteRecord &record);

private:
    struct Entry
    {
        qint64 firstSeen = -1;
        qint64 lastWritten = -1;
    };
    void step(char kind, const NoteVersion &version);
    static void remember(const QString &stateFolder, const QList<NoteRecord> &read,
                         const QList<NoteRecord> &after, const QList<NoteRecord> *current);
    Status compact(const QString &path, const QList<NoteRecord> &current);

    QHash<NoteVersion, Entry> m_entries;
    qint64 m_steps = 0;
    QByteArray m_pending; // the lines of the steps since load()
};

} // namespace store

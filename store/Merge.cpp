// The merge rules for notes from another computer.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Merge.h"

#include <algorithm>

namespace store {

namespace {

qint64 numberOf(const NoteRecord &record)
{
    return versionOf(record).number;
}

bool holds(const QList<NoteRecord> &records, const NoteRecord &record, bool numberAside = false)
{
    return std::any_of(records.begin(), records.end(),
                       [&](const NoteRecord &r) { return sameNote(r, record, numberAside); });
}

// Adds records at the end of a list, each under a new number when its own is taken.
class Adder
{
public:
    Adder(const QList<NoteRecord> &main, const QList<NoteRecord> &other) : m_merged{main, {}}
    {
        for (const auto *list : {&main, &other}) {
            for (const NoteRecord &record : *list)
                m_largest = std::max(m_largest, numberOf(record));
        }
    }

    void add(NoteRecord record)
    {
        const qint64 number = numberOf(record);
        if (std::any_of(m_merged.records.begin(), m_merged.records.end(),
                        [&](const NoteRecord &r) { return numberOf(r) == number; }))
            record.NoteId = Value::number(double(++m_largest));
        m_merged.records.append(record);
        m_merged.added.append(record);
    }

    Merged take() { return std::move(m_merged); }

private:
    Merged m_merged;
    qint64 m_largest = 0;
};

} // namespace

Merged mergeConflictCopy(const QList<NoteRecord> &main, const QList<NoteRecord> &copy,
                         const NoteHistory &history)
{
    Adder adder(main, copy);
    for (const NoteRecord &record : copy) {
        if (holds(main, record))
            continue;
        if (const auto seen = history.firstSeen(record)) {
            const qint64 number = numberOf(record);
            bool held = false;
            bool changedHere = false;
            for (const NoteRecord &r : main) {
                if (numberOf(r) != number)
                    continue;
                held = true;
                const auto written = history.lastWritten(r);
                changedHere = changedHere || (written && *written > *seen);
            }
            if (!held || changedHere)
                continue;
        }
        if (!holds(main, record, true))
            adder.add(record);
    }
    return adder.take();
}

Merged mergeBringingIn(const QList<NoteRecord> &target, const QList<NoteRecord> &incoming)
{
    Adder adder(target, incoming);
    for (const NoteRecord &record : incoming) {
        if (!holds(target, record, true))
            adder.add(record);
    }
    return adder.take();
}

Merged putBackOverwritten(const QList<NoteRecord> &previous, const QList<NoteRecord> &incoming,
                          const QList<NoteRecord> &erased, const NoteHistory &history)
{
    Merged merged{incoming, {}};
    for (const NoteRecord &record : previous) {
        const auto written = history.lastWritten(record);
        if (!written || holds(merged.records, record))
            continue;
        const qint64 number = numberOf(record);
        const bool wasErased = std::any_of(erased.begin(), erased.end(), [&](const NoteRecord &e) {
            if (numberOf(e) != number)
                return false;
            const auto seen = history.firstSeen(e);
            return sameNote(e, record) || !seen || *seen >= *written;
        });
        if (wasErased)
            continue;
        const auto holder =
            std::find_if(merged.records.begin(), merged.records.end(),
                         [&](const NoteRecord &r) { return numberOf(r) == number; });
        if (holder == merged.records.end()) {
            merged.records.append(record);
        } else {
            const auto seen = history.firstSeen(*holder);
            if (!seen || *seen >= *written)
                continue;
            *holder = record;
        }
        merged.added.append(record);
    }
    return merged;
}

} // namespace store

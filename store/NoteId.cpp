// Note identifiers: choosing a new one and comparing them in the one way each place uses.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "NoteId.h"

#include <cmath>
#include <set>

namespace store {

qint64 chooseNewNoteId(int lineCount, const QList<NoteRecord> &records)
{
    std::set<double> used;
    for (const NoteRecord &record : records) {
        if (const auto id = record.NoteId.toNumber())
            used.insert(*id);
    }
    qint64 candidate = qint64(qMax(lineCount, 0)) + 1;
    while (used.count(double(candidate)))
        ++candidate;
    return candidate;
}

bool recordMatchesEntry(const Value &noteId, const QString &runningId)
{
    if (noteId.isNumber()) {
        if (const auto number = noteId.toNumber())
            return formatNumber(*number) == runningId;
    }
    return noteId.toText() == runningId;
}

bool ownIdMatchesEntry(const QString &ownId, const QString &runningId)
{
    return ownId == runningId;
}

double idNumericValue(const QString &idText)
{
    qsizetype i = 0;
    const qsizetype n = idText.size();
    while (i < n && (idText[i] == u' ' || idText[i] == u'\t'))
        ++i;
    QByteArray plain;
    if (i < n && (idText[i] == u'+' || idText[i] == u'-')) {
        plain += char(idText[i].unicode());
        ++i;
    }
    int digits = 0;
    auto takeDigits = [&] {
        while (i < n && idText[i] >= u'0' && idText[i] <= u'9') {
            plain += char(idText[i].unicode());
            ++i;
            ++digits;
        }
    };
    takeDigits();
    if (i < n && idText[i] == u'.') {
        plain += '.';
        ++i;
        takeDigits();
    }
    if (digits == 0)
        return 0;
    bool ok = false;
    const double value = QString::fromLatin1(plain).toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0;
}

qint64 roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return 0;
    constexpr double limit = 9.0e18;
    if (value >= limit)
        return qint64(limit);
    if (value <= -limit)
        return -qint64(limit);
    // std::nearbyint rounds in the current mode, which may have been changed; do it by hand.
    const double floor = std::floor(value);
    const double diff = value - floor;
    qint64 result = qint64(floor);
    if (diff > 0.5 || (diff == 0.5 && (result % 2 != 0)))
        ++result;
    return result;
}

bool ownIdMatchesRecord(const QString &ownId, const Value &noteId)
{
    const auto number = noteId.toNumber();
    if (!number)
        return false;
    return double(roundHalfEven(idNumericValue(ownId))) == *number;
}

} // namespace store

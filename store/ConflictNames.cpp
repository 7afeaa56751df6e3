// Recognising the conflict copies of the three sync engines.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "ConflictNames.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

namespace store {

namespace {

struct Pattern
{
    SyncEngine engine;
    // The engine's part between the original's base name and its extension; its groups are the
    // date, then the time when there is one.
    QString middle;
    QString dateFormat;
};

const Pattern Patterns[] = {
    // The device is the first seven characters of its identifier, base 32.
    {SyncEngine::Syncthing, QStringLiteral(R"(\.sync-conflict-(\d{8})-(\d{6})-[A-Z2-7]{7})"),
     QStringLiteral("yyyyMMdd")},
    {SyncEngine::Nextcloud, QStringLiteral(R"( \(conflicted copy (\d{4}-\d{2}-\d{2}) (\d{6})\))"),
     QStringLiteral("yyyy-MM-dd")},
    {SyncEngine::Dropbox,
     QStringLiteral(R"( \([^()/]+['’]s conflicted copy (\d{4}-\d{2}-\d{2})\))"),
     QStringLiteral("yyyy-MM-dd")},
};

// "MDATA.INI" as a case-blind base name and extension around the engine's part.
QRegularExpression patternFor(const QString &original, const Pattern &pattern)
{
    const qsizetype dot = original.lastIndexOf(u'.');
    const QString base = dot < 0 ? original : original.left(dot);
    const QString extension = dot < 0 ? QString() : original.mid(dot);
    return QRegularExpression(u"^(?i:"_qs + QRegularExpression::escape(base) + u')' +
                              pattern.middle + u"(?i:"_qs + QRegularExpression::escape(extension) +
                              u")$"_qs);
}

} // namespace

QStringList syncedFileNames()
{
    return {QStringLiteral("MDATA.INI"), QStringLiteral("ERASED.INI"),
            QStringLiteral("pinboa-notes.ini")};
}

std::optional<ConflictName> conflictCopyOf(const QString &fileName, const QStringList &originals)
{
    for (const QString &original : originals) {
        for (const Pattern &pattern : Patterns) {
            const QRegularExpressionMatch match = patternFor(original, pattern).match(fileName);
            if (!match.hasMatch())
                continue;
            // A name that only looks like one: no such day or time.
            if (!QDate::fromString(match.captured(1), pattern.dateFormat).isValid())
                continue;
            if (match.lastCapturedIndex() >= 2 &&
                !QTime::fromString(match.captured(2), u"HHmmss"_qs).isValid())
                continue;
            return ConflictName{original, pattern.engine};
        }
    }
    return std::nullopt;
}

QList<ConflictCopy> conflictCopies(const QString &folder, const QStringList &originals)
{
    QList<ConflictCopy> found;
    const QStringList entries =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &entry : entries) {
        if (const auto name = conflictCopyOf(entry, originals))
            found.append({folder + entry, name->original, name->engine});
    }
    return found;
}

} // namespace store

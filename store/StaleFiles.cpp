// What a killed save leaves beside a data file, and how it is told from the user's own files.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace store::files {

namespace {

// Six letters in a word's shape: "backup", "BACKUP", "Backup".
bool wordShaped(QStringView letters)
{
    auto allLower = [](QStringView s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'a' && c <= u'z'; });
    };
    auto allUpper = [](QStringView s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return c >= u'A' && c <= u'Z'; });
    };
    return allLower(letters) || allUpper(letters) ||
           (allUpper(letters.first(1)) && allLower(letters.sliced(1)));
}

} // namespace

void removeStaleTemporaries(const QString &path)
{
    const QFileInfo target(path);
    const QString prefix = target.fileName() + u'.';
    constexpr int RandomLetters = 6;
    const QDir dir = target.absoluteDir();
    const QStringList entries =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString &entry : entries) {
        if (entry.size() != prefix.size() + RandomLetters || !entry.startsWith(prefix))
            continue;
        const QStringView letters = QStringView(entry).sliced(prefix.size());
        const bool random = std::all_of(letters.begin(), letters.end(), [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        });
        if (!random || wordShaped(letters))
            continue;
        const QByteArray native = QFile::encodeName(dir.filePath(entry));
        struct stat info;
        if (::lstat(native.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlink(native.constData());
    }
}

} // namespace store::files

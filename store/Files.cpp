// Whole-file reads, atomic rewrites and appends that land whole.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Files.h"

#include "SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store::files {

QString resolve(const QString &dir, const QString &name)
{
    const QStringList entries =
        QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QString found;
    for (const QString &entry : entries) {
        if (entry == name)
            return dir + entry;
        if (found.isEmpty() && entry.compare(name, Qt::CaseInsensitive) == 0)
            found = entry;
    }
    return dir + (found.isEmpty() ? name : found);
}

QString shownName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// A missing file reads as an empty one.
Result<Bytes> read(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return Bytes{};
    if (!file.open(QIODevice::ReadOnly)) {
        const int cause = errno;
        return Error{
            QStringLiteral("%1 を開けません（%2）。")
                .arg(shownName(path), cause ? systemErrorText(cause) : file.errorString())};
    }
    Bytes result;
    result.exists = true;
    result.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error{
            QStringLiteral("%1 を読めません（%2）。").arg(shownName(path), file.errorString())};
    return result;
}

// Writes a temporary file beside the old one, syncs it and renames it over the old one, so that
// a crash at any moment leaves one of the two whole. The bytes go through the descriptor, so that
// a failure keeps the system's error number, which names the cause (a full disk, say).
Status save(const QString &path, const QByteArray &bytes)
{
    auto failed = [&](int cause) {
        return Error{QStringLiteral("%1 に書き込めません（%2）。")
                         .arg(shownName(path), systemErrorText(cause))};
    };
    const QString dir = QFileInfo(path).absolutePath();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // The new file is made beside the old one: a folder that cannot be written says so.
        if (::access(QFile::encodeName(dir).constData(), W_OK) != 0)
            return Error{
                QStringLiteral("フォルダー %1 に書き込めないため、%2 を保存できません（%3）。")
                    .arg(QDir::toNativeSeparators(dir), shownName(path), systemErrorText(errno))};
        return Error{
            QStringLiteral("%1 に書き込めません（%2）。").arg(shownName(path), file.errorString())};
    }
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(file.handle(), data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int cause = written < 0 ? errno : ENOSPC;
            file.cancelWriting();
            return failed(cause);
        }
        data += written;
        left -= written;
    }
    if (::fsync(file.handle()) != 0) {
        const int cause = errno;
        file.cancelWriting();
        return failed(cause);
    }
    errno = 0;
    if (!file.commit()) {
        const int cause = errno;
        if (cause != 0)
            return failed(cause);
        return Error{
            QStringLiteral("%1 に書き込めません（%2）。").arg(shownName(path), file.errorString())};
    }
    return {};
}

// Appends one whole record. A file whose last line has no line break gets CR LF first, so that
// the new record starts on a line of its own. A write that fails part-way (a full disk) is cut
// back to the old length: a half line would make the whole file unreadable to everyone.
Status append(const QString &path, const QByteArray &line, Sync sync)
{
    auto failed = [&](int cause) {
        return Error{QStringLiteral("%1 に書き込めません（%2）。")
                         .arg(shownName(path), systemErrorText(cause))};
    };
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return failed(errno);

    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const int cause = errno;
        ::close(fd);
        return failed(cause);
    }
    const off_t oldSize = info.st_size;
    QByteArray out;
    if (oldSize > 0) {
        char last = 0;
        if (::pread(fd, &last, 1, oldSize - 1) != 1) {
            const int cause = errno;
            ::close(fd);
            return failed(cause);
        }
        if (last != '\n' && last != '\r')
            out = "\r\n";
    }
    out += line;

    auto cutBack = [&](int cause) {
        // Back to the old length; a file that did not exist before stays, empty, as a missing
        // file and an empty one read the same.
        while (::ftruncate(fd, oldSize) != 0 && errno == EINTR) {
        }
        ::close(fd);
        return failed(cause);
    };
    const char *data = out.constData();
    qsizetype left = out.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return cutBack(written < 0 ? errno : ENOSPC);
        data += written;
        left -= written;
    }
    if (sync == Sync::ToDisk && ::fdatasync(fd) != 0)
        return cutBack(errno);
    if (::close(fd) != 0)
        return failed(errno);
    return {};
}

} // namespace store::files

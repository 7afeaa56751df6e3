// Whole-file reads, atomic rewrites and appends that land whole.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Files.h"

#include "Records.h"
#include "SystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
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

namespace {

// Why a folder, a pipe or a device in a data file's place is not read or written.
QString notAPlainFile(mode_t mode)
{
    return S_ISDIR(mode) ? systemErrorText(EISDIR)
                         : QStringLiteral("ファイルではなく、特別な種類の項目です");
}

Identity identityFrom(const struct stat &info)
{
    return Identity{true,
                    quint64(info.st_dev),
                    quint64(info.st_ino),
                    qint64(info.st_size),
                    qint64(info.st_mtim.tv_sec),
                    qint64(info.st_mtim.tv_nsec)};
}

std::function<void(const QString &)> &beforeCommitHook()
{
    static std::function<void(const QString &)> hook;
    return hook;
}

QString changedTooOften(const QString &path)
{
    return QStringLiteral("%1 が書き込みの間に何度も別のプログラム（同期ソフトなど）に置き換え"
                          "られたため、書き込めませんでした。しばらくしてからもう一度お試し"
                          "ください。")
        .arg(shownName(path));
}

void beforeCommit(const QString &path)
{
    if (beforeCommitHook())
        beforeCommitHook()(path);
}

} // namespace

Identity identityOf(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return identityFrom(info);
}

void setBeforeCommitForTesting(std::function<void(const QString &path)> hook)
{
    beforeCommitHook() = std::move(hook);
}

// A missing file reads as an empty one. Read with the system calls themselves, so that a failure
// names the cause of the call that failed (Qt's own open leaves a stale error number behind when
// it refuses a folder).
Result<Bytes> read(const QString &path)
{
    auto cannot = [&](const QString &why) {
        return Error{QStringLiteral("%1 を読めません（%2）。").arg(shownName(path), why)};
    };
    int fd;
    do {
        // Not blocking: a pipe in the file's place must not hold the program up.
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT)
            return Bytes{};
        return cannot(systemErrorText(errno));
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        const int cause = errno;
        ::close(fd);
        return cannot(systemErrorText(cause));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return cannot(notAPlainFile(info.st_mode));
    }
    Bytes result;
    result.exists = true;
    result.identity = identityFrom(info);
    // One byte more than the size, so that the end shows without another allocation.
    result.bytes.resize(qsizetype(info.st_size) + 1);
    qsizetype got = 0;
    for (;;) {
        if (got == result.bytes.size())
            result.bytes.resize(got * 2); // grown since the stat
        const ssize_t n = ::read(fd, result.bytes.data() + got, size_t(result.bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int cause = errno;
            ::close(fd);
            return cannot(systemErrorText(cause));
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    result.bytes.truncate(got);
    return result;
}

// Writes a temporary file beside the old one, syncs it and renames it over the old one, so that
// a crash at any moment leaves one of the two whole. The bytes go through the descriptor, so that
// a failure keeps the system's error number, which names the cause (a full disk, say). With
// `expected`, the rename happens only while the file is still the one that was read.
Result<Commit> saveAt(const QString &path, const QByteArray &bytes, const Identity *expected)
{
    auto failed = [&](int cause) {
        return Error{QStringLiteral("%1 に書き込めません（%2）。")
                         .arg(shownName(path), systemErrorText(cause))};
    };
    struct stat existing;
    if (::stat(QFile::encodeName(path).constData(), &existing) == 0 && S_ISDIR(existing.st_mode))
        return failed(EISDIR); // QSaveFile refuses it without an error number
    removeStaleTemporaries(path);
    const QString dir = QFileInfo(path).absolutePath();
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const int cause = errno;
        // The new file is made beside the old one: a folder that cannot be written says so.
        if (::access(QFile::encodeName(dir).constData(), W_OK) != 0)
            return Error{
                QStringLiteral("フォルダー %1 に書き込めないため、%2 を保存できません（%3）。")
                    .arg(QDir::toNativeSeparators(dir), shownName(path), systemErrorText(errno))};
        if (cause != 0)
            return failed(cause);
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
    if (expected) {
        beforeCommit(path);
        if (identityOf(path) != *expected) {
            file.cancelWriting();
            return Commit::FileChanged;
        }
    }
    errno = 0;
    if (!file.commit()) {
        const int cause = errno;
        if (cause != 0)
            return failed(cause);
        return Error{
            QStringLiteral("%1 に書き込めません（%2）。").arg(shownName(path), file.errorString())};
    }
    return Commit::Done;
}

Status save(const QString &path, const QByteArray &bytes)
{
    auto saved = saveAt(path, bytes, nullptr);
    if (!saved)
        return Error{saved.error()};
    return {};
}

Result<QString> setAside(const QString &path)
{
    if (!QFileInfo::exists(path))
        return QString();
    const QString stamp = QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_qs);
    QString aside = path + QStringLiteral(".%1.bad").arg(stamp);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path + QStringLiteral(".%1-%2.bad").arg(stamp).arg(n);
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0)
        return Error{QStringLiteral("%1 を別の名前にできません（%2）。")
                         .arg(shownName(path), systemErrorText(errno))};
    return aside;
}

Result<Commit> saveIfUnchanged(const QString &path, const QByteArray &bytes, const Identity &read)
{
    return saveAt(path, bytes, &read);
}

namespace {

// Appends one whole record. A file whose last line has no line break gets CR LF first, so that
// the new record starts on a line of its own. A write that fails part-way (a full disk) is cut
// back to the old length: a half line would make the whole file unreadable to everyone.
// `appendedTo` gets the identity of the file that took the record (the empty one when a save
// found the file replaced and wrote nothing).
Status appendAt(const QString &path, const QByteArray &line, Sync sync, Identity *appendedTo)
{
    auto failed = [&](int cause) {
        return Error{QStringLiteral("%1 に書き込めません（%2）。")
                         .arg(shownName(path), systemErrorText(cause))};
    };
    removeStaleTemporaries(path);
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
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Error{QStringLiteral("%1 に書き込めません（%2）。")
                         .arg(shownName(path), notAPlainFile(info.st_mode))};
    }
    const off_t oldSize = info.st_size;
    // The whole old text, for a 0x1A mark anywhere in it.
    QByteArray old(qsizetype(oldSize), Qt::Uninitialized);
    for (qsizetype got = 0; got < old.size();) {
        const ssize_t n = ::pread(fd, old.data() + got, size_t(old.size() - got), off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int cause = n < 0 ? errno : EIO;
            ::close(fd);
            return failed(cause);
        }
        got += n;
    }
    const qsizetype text = textLength(old);
    QByteArray out;
    if (text > 0 && old[text - 1] != '\n' && old[text - 1] != '\r')
        out = "\r\n";
    out += line;
    if (text < old.size()) {
        ::close(fd);
        const Identity atOpen = identityFrom(info);
        auto saved = saveAt(path, old.left(text) + out, appendedTo ? &atOpen : nullptr);
        if (!saved)
            return Error{saved.error()};
        if (appendedTo)
            *appendedTo = *saved == Commit::Done ? identityOf(path) : Identity{};
        return {};
    }

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
    if (appendedTo && ::fstat(fd, &info) == 0)
        *appendedTo = identityFrom(info);
    if (::close(fd) != 0)
        return failed(errno);
    return {};
}

} // namespace

Status append(const QString &path, const QByteArray &line, Sync sync)
{
    return appendAt(path, line, sync, nullptr);
}

Status appendChecked(const QString &path, const QByteArray &line, Sync sync)
{
    auto sameFile = [](const Identity &a, const Identity &b) {
        return a.exists && b.exists && a.device == b.device && a.inode == b.inode;
    };
    // A file this append wrote to, still holding the record where it went: the system reuses the
    // number of a removed file, so the number alone does not say so.
    QList<Identity> appendedTo;
    auto holdsRecord = [&](const Identity &now) {
        for (const Identity &done : appendedTo) {
            if (!sameFile(done, now))
                continue;
            const auto file = read(path);
            if (file && sameFile(file->identity, done) &&
                file->bytes.mid(done.size - line.size(), line.size()) == line)
                return true;
        }
        return false;
    };
    for (int round = 0; round < RewriteRounds; ++round) {
        if (holdsRecord(identityOf(path)))
            return {}; // never twice into one file
        Identity wrote;
        if (Status s = appendAt(path, line, sync, &wrote); !s)
            return s;
        appendedTo.append(wrote);
        beforeCommit(path);
        if (sameFile(identityOf(path), wrote))
            return {};
    }
    return Error{changedTooOften(path)};
}

Status rewrite(const QString &path, const Change &change)
{
    for (int round = 0; round < RewriteRounds; ++round) {
        auto file = read(path);
        if (!file)
            return Error{file.error()};
        auto bytes = change(file.value());
        if (!bytes)
            return Error{bytes.error()};
        if (!bytes->has_value())
            return {};
        auto saved = saveIfUnchanged(path, **bytes, file->identity);
        if (!saved)
            return Error{saved.error()};
        if (*saved == Commit::Done)
            return {};
    }
    return Error{changedTooOften(path)};
}

void ignoreFileSizeSignal()
{
    ::signal(SIGXFSZ, SIG_IGN);
}

} // namespace store::files

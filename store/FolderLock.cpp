// The lock of one data folder, a kernel lock that dies with its holder.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "FolderLock.h"

#include "SystemError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace store {

namespace {

int openLockFile(const QByteArray &native)
{
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 || (errno != EACCES && errno != EROFS && errno != EPERM))
        return fd;
    // A folder the user may only read: an existing lock file still serves the readers. When
    // there is none, the cause to report is the folder that cannot be written.
    const int cause = errno;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        errno = cause;
    return fd;
}

void sleepMs(qint64 ms)
{
    const timespec duration{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    ::nanosleep(&duration, nullptr);
}

QString lockPath(const QString &appDir)
{
    return QDir::toNativeSeparators(QDir(appDir).filePath(FolderLock::lockFileName()));
}

} // namespace

Error FolderLock::busyError(const QString &appDir, int waitedMs)
{
    return Error{QStringLiteral("付箋のデータファイルを別のプログラムが使用中です。\n"
                                "ロックファイル %1 が %2 秒待っても空きませんでした。"
                                "何も書き込んでいません。しばらくしてからもう一度お試し"
                                "ください。")
                     .arg(lockPath(appDir))
                     .arg((waitedMs + 999) / 1000),
                 true};
}

FolderLock::FolderLock(const QString &appDir, LockWait wait)
{
    m_held = wait == LockWait::Held;
    if (m_held)
        return; // taken already, by the caller
    const QString path = QDir(appDir).filePath(lockFileName());
    const int fd = openLockFile(QFile::encodeName(path));
    if (fd < 0) {
        const int cause = errno;
        m_error.message = (cause == EACCES || cause == EROFS || cause == EPERM)
                              ? QStringLiteral("フォルダー %1 に書き込めないため、データファイルの"
                                               "ロック（%2）を作れません（%3）。")
                                    .arg(QDir::toNativeSeparators(QDir(appDir).absolutePath()),
                                         lockPath(appDir), systemErrorText(cause))
                              : QStringLiteral("データファイルのロック（%1）を作れません（%2）。")
                                    .arg(lockPath(appDir), systemErrorText(cause));
        return;
    }
    // Short tries at first, as a holder keeps the lock for a moment only; longer ones later.
    const QDeadlineTimer deadline(TimeoutMs);
    int interval = 2;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            m_error.message = QStringLiteral("データファイルのロック（%1）を取れません（%2）。")
                                  .arg(lockPath(appDir), systemErrorText(errno));
            ::close(fd);
            return;
        }
        if (wait == LockWait::None || deadline.hasExpired())
            break;
        sleepMs(std::clamp<qint64>(deadline.remainingTime(), 1, interval));
        interval = std::min(interval * 2, 50);
    }
    ::close(fd);
    m_error = busyError(appDir);
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the only descriptor releases the lock
}

} // namespace store

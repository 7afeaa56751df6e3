// The lock of one program folder, a kernel lock that dies with its holder, taken with a bounded
// wait.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "FolderLock.h"

#include "SystemError.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace store {

namespace {

// Waits about `ms` milliseconds. Responsive: in a nested event loop of the thread that runs the
// application's loop; a loop that returns at once (the application is quitting) falls back to a
// sleep, so the wait never spins.
void pause(int ms, LockWait wait)
{
    QDeadlineTimer deadline(ms);
    const QCoreApplication *app = QCoreApplication::instance();
    if (wait == LockWait::Responsive && app && app->thread() == QThread::currentThread()) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const qint64 left = deadline.remainingTime();
    if (left > 0) {
        const timespec duration{time_t(left / 1000), long(left % 1000) * 1000000L};
        ::nanosleep(&duration, nullptr);
    }
}

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

} // namespace

FolderLock::FolderLock(const QString &appDir, LockWait wait)
{
    const QString path = QDir(appDir).filePath(lockFileName());
    const QString shownPath = QDir::toNativeSeparators(path);
    const int fd = openLockFile(QFile::encodeName(path));
    if (fd < 0) {
        const int cause = errno;
        m_error.message = (cause == EACCES || cause == EROFS || cause == EPERM)
                              ? QStringLiteral("フォルダー %1 に書き込めないため、データファイルの"
                                               "ロック（%2）を作れません（%3）。")
                                    .arg(QDir::toNativeSeparators(QDir(appDir).absolutePath()),
                                         shownPath, systemErrorText(cause))
                              : QStringLiteral("データファイルのロック（%1）を作れません（%2）。")
                                    .arg(shownPath, systemErrorText(cause));
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
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error.message = QStringLiteral("データファイルのロック（%1）を取れません（%2）。")
                                  .arg(shownPath, systemErrorText(errno));
            ::close(fd);
            return;
        }
        if (deadline.hasExpired())
            break;
        pause(int(std::min<qint64>(interval, std::max<qint64>(1, deadline.remainingTime()))), wait);
        interval = std::min(interval * 2, 50);
    }
    ::close(fd);
    m_error.busy = true;
    m_error.message = QStringLiteral("付箋のデータファイルを別のプログラムが使用中です。\n"
                                     "ロックファイル %1 が %2 秒待っても空きませんでした。"
                                     "何も書き込んでいません。しばらくしてからもう一度お試し"
                                     "ください。")
                          .arg(shownPath)
                          .arg(TimeoutMs / 1000);
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the only descriptor releases the lock
}

} // namespace store

// The lock of one program folder, a kernel lock that dies with its holder.
#include "FolderLock.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace store {

FolderLock::FolderLock(const QString &appDir)
{
    const QString path = QDir(appDir).filePath(lockFileName());
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        // A folder the user may only read: an existing lock file still serves the readers.
        do {
            fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) {
        m_error = QStringLiteral("データファイルのロック（%1）を作れません（%2）。")
                      .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        m_error = QStringLiteral("データファイルのロック（%1）を取れません（%2）。")
                      .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(strerror(errno)));
        ::close(fd);
        return;
    }
    m_fd = fd;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the only descriptor releases the lock
}

} // namespace store

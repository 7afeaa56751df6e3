// The lock of one program folder: a kernel lock (flock) on ".pinboa.lock" beside the data files.
#pragma once

#include "Result.h"

#include <QString>

namespace store {

// Held from construction to destruction. The kernel releases it when the holder dies, so a
// crashed process never blocks the others. Never hold it while waiting for the user.
class FolderLock
{
public:
    explicit FolderLock(const QString &appDir);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    bool locked() const { return m_fd >= 0; }
    const QString &error() const { return m_error; } // why it could not be taken

    static QString lockFileName() { return QStringLiteral(".pinboa.lock"); }

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace store

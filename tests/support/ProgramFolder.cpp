// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "ProgramFolder.h"

#include "store/FolderLock.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace testsupport {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QVERIFY2(file.write(bytes) == bytes.size(), qPrintable(path));
}

void startedProgramsSkipLeakCheck()
{
    const QByteArray options = qgetenv("ASAN_OPTIONS");
    if (!options.isEmpty())
        qputenv("ASAN_OPTIONS", options + ":detect_leaks=0");
}

ProgramFolder::ProgramFolder() : m_path(QDir(m_dir.path()).canonicalPath()) {}

QString ProgramFolder::filePath(const QString &name) const
{
    return m_path + QLatin1Char('/') + name;
}

bool ProgramFolder::addProgram(const QString &program, const QString &name) const
{
    const QString target = filePath(name);
    return QFile::copy(program, target) &&
           QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString ProgramFolder::built(const QString &name)
{
    return qEnvironmentVariable("PINBOA_PROGRAM_DIR") + QLatin1Char('/') + name;
}

HeldLock::HeldLock(const QString &folder)
{
    // An open file of its own: the kernel lock is not any store's of this process.
    const QByteArray path =
        QFile::encodeName(QDir(folder).filePath(store::FolderLock::lockFileName()));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void HeldLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace testsupport

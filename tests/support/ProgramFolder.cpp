// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

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

} // namespace testsupport

// A temporary program folder for one test, and the bytes of the files in it.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A file's bytes; "<missing>" when there is no such file, so that a missing file never passes
// for an empty one.
QByteArray readBytes(const QString &path);
// Writes the file whole; a failure fails the running test.
void writeBytes(const QString &path, const QByteArray &bytes);

// In the sanitizer build, the leak check at the end of a process runs in a task of its own that
// /proc lists with the process's program and command line: for that moment the master would count
// one more window of a note that has just closed. The note windows this test starts end without
// the check (this process keeps its own).
void startedProgramsSkipLeakCheck();

// An empty folder of its own, removed with everything in it when the object goes. The programs
// copied into it take it for their program folder.
class ProgramFolder
{
public:
    ProgramFolder();

    bool isValid() const { return m_dir.isValid(); }
    // Without a closing slash; links resolved, as a program started from the folder sees it.
    QString path() const { return m_path; }
    QString filePath(const QString &name) const;

    QByteArray read(const QString &name) const { return readBytes(filePath(name)); }
    void write(const QString &name, const QByteArray &bytes) const
    {
        writeBytes(filePath(name), bytes);
    }

    // Copies `program` into the folder as `name`, runnable; false when it cannot.
    bool addProgram(const QString &program, const QString &name = QStringLiteral("memlet")) const;
    // A program of the build's program folder (PINBOA_PROGRAM_DIR, which ctest sets).
    static QString built(const QString &name);

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// Another program's hold on a data folder's lock, from construction until release() or the end.
class HeldLock
{
public:
    explicit HeldLock(const QString &folder);
    ~HeldLock() { release(); }
    HeldLock(const HeldLock &) = delete;
    HeldLock &operator=(const HeldLock &) = delete;
    bool held() const { return m_fd >= 0; }
    void release();

private:
    int m_fd = -1;
};

} // namespace testsupport

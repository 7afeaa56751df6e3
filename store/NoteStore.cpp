// The two data files of one program folder: every read, append and rewrite, under the folder lock.
#include "NoteStore.h"

#include "FolderLock.h"
#include "NoteId.h"
#include "SystemError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

const QString NoteFileName = QStringLiteral("MDATA.INI");
const QString RunningFileName = QStringLiteral("IDDATA.INI");

QString systemError()
{
    return systemErrorText(errno);
}

// The file of the folder whose name matches `name` in any letter case; the exact name wins when
// several do. The path of a new file with `name` when none exists.
QString resolveFile(const QString &dir, const QString &name)
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

struct FileBytes
{
    bool exists = false;
    QByteArray bytes;
};

// A missing file reads as an empty one.
Result<FileBytes> readFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return FileBytes{};
    if (!file.open(QIODevice::ReadOnly)) {
        const int cause = errno;
        return Error{
            QStringLiteral("%1 を開けません（%2）。")
                .arg(shownName(path), cause ? systemErrorText(cause) : file.errorString())};
    }
    FileBytes result;
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
Status saveFile(const QString &path, const QByteArray &bytes)
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

enum class Sync
{
    ToDisk,
    No
};

// Appends one whole record. A file whose last line has no line break gets CR LF first, so that
// the new record starts on a line of its own. A write that fails part-way (a full disk) is cut
// back to the old length: a half line would make the whole file unreadable to everyone.
Status appendToFile(const QString &path, const QByteArray &line, Sync sync)
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

Result<QList<NoteRecord>> readNotesAt(const QString &path, bool *exists = nullptr)
{
    auto file = readFile(path);
    if (!file)
        return Error{file.error()};
    if (exists)
        *exists = file->exists;
    return parseNoteRecords(file->bytes, shownName(path));
}

Result<QList<RunningEntry>> readEntriesAt(const QString &path)
{
    auto file = readFile(path);
    if (!file)
        return Error{file.error()};
    return parseRunningEntries(file->bytes, shownName(path));
}

Status writeNotesAt(const QString &path, const QList<NoteRecord> &records)
{
    auto bytes = serializeNoteRecords(records);
    if (!bytes)
        return Error{bytes.error()};
    return saveFile(path, bytes.value());
}

Status writeEntriesAt(const QString &path, const QList<RunningEntry> &entries)
{
    auto bytes = serializeRunningEntries(entries);
    if (!bytes)
        return Error{bytes.error()};
    return saveFile(path, bytes.value());
}

// Removes the entries of `idText` from the running-note file; the caller holds the lock.
Status removeEntriesLocked(const QString &dir, const QString &idText)
{
    const QString path = resolveFile(dir, RunningFileName);
    auto file = readFile(path);
    if (!file)
        return Error{file.error()};
    if (!file->exists)
        return {}; // nothing to remove, and no reason to create the file
    auto entries = parseRunningEntries(file->bytes, shownName(path));
    if (!entries)
        return Error{entries.error()};
    QList<RunningEntry> kept;
    for (const RunningEntry &entry : entries.value()) {
        if (!ownIdMatchesEntry(idText, entry.RunningId.toText()))
            kept.append(entry);
    }
    return writeEntriesAt(path, kept);
}

} // namespace

NoteStore::NoteStore(const QString &appDir, LockWait wait) : m_appDir(appDir), m_wait(wait)
{
    if (!m_appDir.endsWith(u'/'))
        m_appDir += u'/';
}

QString NoteStore::appDir() const
{
    return m_appDir;
}

QString NoteStore::noteFilePath() const
{
    return resolveFile(m_appDir, NoteFileName);
}

QString NoteStore::runningFilePath() const
{
    return resolveFile(m_appDir, RunningFileName);
}

Result<int> NoteStore::countNoteLines() const
{
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    auto file = readFile(noteFilePath());
    if (!file)
        return Error{file.error()};
    return countLines(file->bytes);
}

Result<QList<NoteRecord>> NoteStore::readNoteRecords() const
{
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    return readNotesAt(noteFilePath());
}

Status NoteStore::appendNoteRecord(const NoteRecord &record) const
{
    auto line = serializeNoteRecord(record); // refuses before anything is touched
    if (!line)
        return Error{line.error()};
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    return appendToFile(noteFilePath(), line.value(), Sync::ToDisk);
}

Status NoteStore::updateNoteRecords(const std::function<bool(QList<NoteRecord> &)> &change) const
{
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = noteFilePath();
    auto records = readNotesAt(path);
    if (!records)
        return Error{records.error()};
    if (!change(records.value()))
        return {};
    return writeNotesAt(path, records.value());
}

Result<QList<RunningEntry>> NoteStore::readRunningEntries() const
{
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    return readEntriesAt(runningFilePath());
}

Status NoteStore::appendRunningEntry(const QString &idText) const
{
    auto line = serializeRunningEntries(
        {RunningEntry{Value::text(idText), Value::text(QStringLiteral("0"))}});
    if (!line)
        return Error{line.error()};
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    // A running entry names a live window: after a power failure it is stale whatever the disk
    // kept, so it is not worth a wait for the disk on every note window's start, which the
    // folder lock would make one after another when many notes are shown at once.
    return appendToFile(runningFilePath(), line.value(), Sync::No);
}

Status
NoteStore::updateRunningEntries(const std::function<bool(QList<RunningEntry> &)> &change) const
{
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = runningFilePath();
    auto entries = readEntriesAt(path);
    if (!entries)
        return Error{entries.error()};
    if (!change(entries.value()))
        return {};
    return writeEntriesAt(path, entries.value());
}

Result<QList<RunningEntry>> NoteStore::recordTaskIds(const QHash<QString, qint64> &taskIds) const
{
    QList<RunningEntry> after;
    const Status status = updateRunningEntries([&](QList<RunningEntry> &entries) {
        bool changed = false;
        for (RunningEntry &entry : entries) {
            const auto it = taskIds.constFind(entry.RunningId.toText());
            if (it == taskIds.constEnd())
                continue;
            const auto number = entry.RunningTaskId.toNumber();
            if (!entry.RunningTaskId.isNumber() || !number || *number != double(*it)) {
                entry.RunningTaskId = Value::number(double(*it));
                changed = true;
            }
        }
        after = entries;
        return changed;
    });
    if (!status)
        return Error{status.error(), status.busy()};
    return after;
}

CloseResult NoteStore::closeNoteWindow(const QString &idText, double top, double left) const
{
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return {lock.error(), lock.error()};
    CloseResult result;
    // The entries go first: once the window is gone from IDDATA.INI the master may show the
    // note again, and it will then read the position stored just below. They are runtime state,
    // though, and the position is the user's: a running-note file that cannot be read or
    // written does not keep the position from being stored.
    result.running = removeEntriesLocked(m_appDir, idText);

    const QString path = noteFilePath();
    bool exists = false;
    auto records = readNotesAt(path, &exists);
    if (!records) {
        result.notes = Error{records.error()};
        return result;
    }
    if (!exists)
        return result; // no note data file: no record to store the position in
    for (NoteRecord &record : records.value()) {
        if (ownIdMatchesRecord(idText, record.NoteId)) {
            record.NoteTop = Value::number(top);
            record.NoteLeft = Value::number(left);
        }
    }
    result.notes = writeNotesAt(path, records.value());
    return result;
}

Result<QString> NoteStore::replaceRunningFile(const QList<RunningEntry> &entries) const
{
    auto bytes = serializeRunningEntries(entries);
    if (!bytes)
        return Error{bytes.error()};
    FolderLock lock(m_appDir, m_wait);
    if (!lock.locked())
        return lock.error();
    const QString path = runningFilePath();
    auto file = readFile(path);
    if (file && parseRunningEntries(file->bytes, shownName(path)).ok())
        return QString(); // readable again: another program mended it meanwhile

    // Set aside under a name of its own, never deleted: it may be wanted to see what happened.
    QString aside;
    if (QFile::exists(path)) {
        const QString stamp = QDateTime::currentDateTime().toString(u"yyyyMMdd-HHmmss"_qs);
        aside = m_appDir + QStringLiteral("IDDATA.INI.%1.bad").arg(stamp);
        for (int n = 2; QFile::exists(aside); ++n)
            aside = m_appDir + QStringLiteral("IDDATA.INI.%1-%2.bad").arg(stamp).arg(n);
        if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) !=
            0)
            return Error{QStringLiteral("%1 を別の名前にできません（%2）。")
                             .arg(shownName(path), systemError())};
    }
    if (Status s = saveFile(m_appDir + RunningFileName, bytes.value()); !s)
        return Error{s.error()};
    return aside;
}

} // namespace store

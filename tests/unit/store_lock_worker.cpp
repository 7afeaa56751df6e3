// A writer for the lock tests: read-modify-write operations on one folder's files, in a loop.
// store_lock_worker <folder> <worker number> <rounds, 0 for ever>
// store_lock_worker <folder> chaos <kills>: keeps two forked writers busy, SIGKILLs one at a
// random moment again and again, and checks after each kill that both files still read whole.
// store_lock_worker <folder> filesize 0: under a file-size limit, with SIGXFSZ as the programs
// set it, tries an append of each file and a rewrite; prints each failure, and exits with 0 when
// each failed with its message and left both files as they were.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/Files.h"
#include "store/NoteStore.h"
#include "tests/support/Notes.h"

#include <QFile>
#include <QString>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace store;

namespace {

// A note with a line break, a comma and a quoted size, each a chance for a torn write to show.
NoteRecord makeNote(double id)
{
    NoteRecord r = testsupport::noteAt(id, 0, -15);
    r.NoteText = Value::text(QStringLiteral("付箋 %1\r\n二行目, カンマ").arg(id));
    r.NoteFontSize = Value::text(QStringLiteral("10.5"));
    return r;
}

int fail(const Status &status)
{
    std::fprintf(stderr, "%s\n", qPrintable(status.error()));
    return 2;
}

// Eight writers in a slow build (sanitizers, a loaded machine) may each hold the files for longer
// than another can wait: a busy attempt, which changed nothing, is made again, as the programs'
// windows do from their timers, for up to a minute.
template <typename Operation> auto patiently(Operation operation)
{
    const std::time_t deadline = std::time(nullptr) + 60;
    for (;;) {
        auto outcome = operation();
        if (!outcome.busy() || std::time(nullptr) > deadline)
            return outcome;
    }
}

int runWriter(const NoteStore &store, int worker, int rounds)
{
    const bool endless = rounds == 0;
    for (int i = 0; endless || i < rounds; ++i) {
        // The counter lives in the NoteTop of note 1; each round adds one and adds a note.
        const Status counted = patiently([&] {
            return store.updateNoteRecords([&](QList<NoteRecord> &records) {
                for (NoteRecord &record : records) {
                    if (record.NoteId.toNumber() == 1.0)
                        record.NoteTop = Value::number(*record.NoteTop.toNumber() + 1);
                }
                records.append(makeNote(10000 + worker * 1000 + i % 1000));
                if (endless && records.size() > 60)
                    records.removeAt(1); // keep the file small when running for ever
                return true;
            });
        });
        if (!counted)
            return fail(counted);
        const int noteId = 100000 + worker * 1000 + i % 1000;
        if (Status s = patiently([&] { return store.appendNoteRecord(makeNote(noteId)); }); !s)
            return fail(s);

        // The window of the note just appended: its entry, its task id, its close.
        const QString id = QString::number(noteId);
        if (Status s = patiently([&] { return store.appendRunningEntry(id); }); !s)
            return fail(s);
        if (const auto recorded = patiently([&] {
                return store.recordTaskIds({{id, i + 1}});
            });
            !recorded)
            return fail(Error{recorded.error()});
        if (i % 2 == 1 || endless) {
            const CloseResult closed =
                patiently([&] { return store.closeNoteWindow(id, worker, i); });
            if (!closed.running)
                return fail(closed.running);
            if (!closed.notes)
                return fail(closed.notes);
        }
    }
    return 0;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

pid_t forkWriter(const NoteStore &store, int worker)
{
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        _exit(runWriter(store, worker, 0));
    }
    return pid;
}

int runChaos(const NoteStore &store, int kills)
{
    std::srand(unsigned(std::time(nullptr)) ^ unsigned(getpid()));
    pid_t writers[2] = {forkWriter(store, 0), forkWriter(store, 1)};
    for (int k = 0; k < kills; ++k) {
        usleep(useconds_t(std::rand() % 4000));
        const int slot = std::rand() % 2;
        kill(writers[slot], SIGKILL);
        int status = 0;
        waitpid(writers[slot], &status, 0);
        if (!WIFSIGNALED(status)) {
            std::fprintf(stderr, "a writer ended by itself (status %d)\n", status);
            return 3;
        }
        // Read without the lock, while the other writer goes on: a rewrite replaces a file by
        // a rename and an append is one write, so a reader must never see half of either.
        const auto records = parseNoteRecords(readAll(store.noteFilePath()));
        if (!records)
            return fail(Error{records.error()});
        if (records->isEmpty() || records->first().NoteId.toNumber() != 1.0) {
            std::fprintf(stderr, "the counter note is gone\n");
            return 3;
        }
        const auto entries = parseRunningEntries(readAll(store.runningFilePath()));
        if (!entries)
            return fail(Error{entries.error()});
        writers[slot] = forkWriter(store, (k + 2) % 50);
    }
    for (const pid_t pid : writers) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    // A killed holder releases the lock: this read would wait for ever otherwise.
    if (const auto records = store.readNoteRecords(); !records)
        return fail(Error{records.error()});
    return 0;
}

int runFileSizeLimit(const NoteStore &store)
{
    files::ignoreFileSizeSignal();
    const QByteArray notes = readAll(store.noteFilePath());
    const QByteArray entries = readAll(store.runningFilePath());
    struct Write
    {
        const char *name;
        qint64 limit; // a few bytes past the file, or short of the rewritten one
        std::function<Status()> run;
    };
    const Write writes[] = {
        {"append entry", entries.size() + 3, [&] { return store.appendRunningEntry(u"3"_qs); }},
        {"append record", notes.size() + 3, [&] { return store.appendNoteRecord(makeNote(3)); }},
        {"rewrite", 20, [&] {
             return store.updateNoteRecords([](QList<NoteRecord> &records) {
                 records.first().NoteTop = Value::number(99);
                 return true;
             });
         }}};
    int failures = 0;
    for (const Write &write : writes) {
        rlimit old;
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limit{rlim_t(write.limit), old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        const Status status = write.run();
        setrlimit(RLIMIT_FSIZE, &old);
        std::printf("%s: %s\n", write.name, qPrintable(status.error()));
        const bool named = !status.ok() && status.error().contains(u"ファイルが大きすぎます"_qs);
        const bool kept =
            readAll(store.noteFilePath()) == notes && readAll(store.runningFilePath()) == entries;
        if (!named || !kept) {
            std::fprintf(stderr, "%s: %s\n", write.name,
                         !named ? "no failure with its cause" : "a file changed");
            ++failures;
        }
    }
    return failures == 0 ? 0 : 4;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return 1;
    const NoteStore store(QString::fromLocal8Bit(argv[1]), store::LockWait::Sleep);
    if (qstrcmp(argv[2], "chaos") == 0)
        return runChaos(store, std::atoi(argv[3]));
    if (qstrcmp(argv[2], "filesize") == 0)
        return runFileSizeLimit(store);
    return runWriter(store, std::atoi(argv[2]), std::atoi(argv[3]));
}

// Benchmark of the note store: reading and rewriting a MDATA.INI of 10,000 records.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/NoteStore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace store;

namespace {

constexpr int RecordCount = 10000;
constexpr int Runs = 9;

NoteRecord makeNote(int id)
{
    NoteRecord r;
    // A mix of what users write: Japanese, commas, a line break in every tenth note.
    r.NoteText =
        Value::text(id % 10 == 0 ? QStringLiteral("買い物メモ %1\r\n牛乳, 卵").arg(id)
                                 : QStringLiteral("会議 %1 時から、第①会議室").arg(id % 24));
    r.NoteBackColor = Value::text(QStringLiteral("12632256"));
    r.NoteFontName = Value::text(QStringLiteral("ＭＳ Ｐゴシック"));
    r.NoteFontSize = id % 3 == 0 ? Value::text(QStringLiteral("10.5")) : Value::number(12);
    r.NoteTop = Value::number(600 + id % 700);
    r.NoteLeft = Value::number(-15 + id % 1300);
    r.NoteWidth = Value::number(5430);
    r.NoteHeight = Value::number(2500);
    r.NoteForeColor = Value::number(0);
    r.NoteId = Value::number(id);
    return r;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    QList<NoteRecord> records;
    for (int id = 1; id <= RecordCount; ++id)
        records.append(makeNote(id));
    const auto bytes = serializeNoteRecords(records);
    QFile file(dir.filePath(QStringLiteral("MDATA.INI")));
    if (!bytes || !file.open(QIODevice::WriteOnly) || file.write(bytes.value()) != bytes->size())
        return 1;
    file.close();

    const NoteStore store(dir.path());
    std::vector<double> reads;
    std::vector<double> closes;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const auto read = store.readNoteRecords();
        reads.push_back(timer.nsecsElapsed() / 1e6);
        if (!read || read->size() != RecordCount) {
            std::fprintf(stderr, "read failed: %s\n", qPrintable(read.error()));
            return 1;
        }

        timer.restart();
        const CloseResult closed =
            store.closeNoteWindow(QString::number(RecordCount / 2), 100 + run, 200);
        closes.push_back(timer.nsecsElapsed() / 1e6);
        if (!closed.notes) {
            std::fprintf(stderr, "close failed: %s\n", qPrintable(closed.notes.error()));
            return 1;
        }
    }
    std::printf("store read %d records: %.1f ms\n", RecordCount, median(reads));
    std::printf("store close write-back %d records: %.1f ms\n", RecordCount, median(closes));
    std::printf("store file size: %lld bytes\n", static_cast<long long>(bytes->size()));
    return 0;
}

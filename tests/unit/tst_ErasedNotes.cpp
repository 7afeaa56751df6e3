// The erased-notes file: erasing into it, its cap, damaged lines, and putting notes back.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/ErasedNotes.h"
#include "store/Files.h"
#include "store/NoteStore.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QTest>

#include <sys/resource.h>

using namespace store;
using namespace testsupport;

namespace {

// Writes that would make a file larger than `bytes` fail, as on a full disk.
struct FileSizeLimit
{
    explicit FileSizeLimit(rlim_t bytes)
    {
        files::ignoreFileSizeSignal(); // as both programs do
        ::getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limit{bytes, old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old); }
    rlimit old;
};

// Bytes another program may have written: a place as "600.50", full-width digits in a text.
const QByteArray Odd = noteLine("2", "\x82\x50\x82\x51", "600.50,1200");

QByteArray lines(int first, int last)
{
    QByteArray bytes;
    for (int id = first; id <= last; ++id)
        bytes += noteLine(QByteArray::number(id));
    return bytes;
}

QList<NoteRecord> parse(const QByteArray &bytes)
{
    return parseNoteRecords(bytes).value();
}

// Takes the notes numbered `ids` out of the list.
auto taking(QList<double> ids)
{
    return [ids](QList<NoteRecord> &records) {
        QList<NoteRecord> taken;
        for (qsizetype i = records.size() - 1; i >= 0; --i) {
            if (ids.contains(*records[i].NoteId.toNumber()))
                taken.prepend(records.takeAt(i));
        }
        return taken;
    };
}

} // namespace

class tst_ErasedNotes : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramFolder> m_dir;
    std::unique_ptr<ErasedNotes> m_erased;
    QByteArray notes() const { return m_dir->read(u"MDATA.INI"_qs); }
    QByteArray erased() const { return m_dir->read(u"ERASED.INI"_qs); }

private slots:
    void init()
    {
        m_dir = std::make_unique<ProgramFolder>();
        m_erased = std::make_unique<ErasedNotes>(m_dir->path());
    }

    void eraseKeepsTheRecordsByteForByteThenRewrites()
    {
        m_dir->write(u"MDATA.INI"_qs, noteLine("1") + Odd + noteLine("3"));
        QVERIFY(m_erased->erase(taking({5})));
        QCOMPARE(erased(), QByteArray("<missing>")); // nothing picked: nothing written
        QVERIFY(m_erased->erase(taking({2})));
        QCOMPARE(notes(), noteLine("1") + noteLine("3"));
        QCOMPARE(erased(), Odd);
        QVERIFY(m_erased->erase(taking({1, 3})));
        QCOMPARE(notes(), QByteArray());
        QCOMPARE(erased(), Odd + noteLine("1") + noteLine("3"));
    }

    // An erased note's options go with it; a note that keeps its number keeps them.
    void eraseTakesTheOptionsOfNotesThatAreGone()
    {
        m_dir->write(u"MDATA.INI"_qs, noteLine("1") + noteLine("2") + noteLine("2"));
        m_dir->write(u"pinboa-notes.ini"_qs,
                     "[1]\nabove=true\n[2]\nabove=true\n[9]\nallWorkspaces=true\n");
        QVERIFY(m_erased->erase([](QList<NoteRecord> &records) {
            return QList<NoteRecord>{records.takeAt(2), records.takeAt(0)};
        }));
        const auto options = NoteStore(m_dir->path()).readNoteOptions();
        QVERIFY(options.ok());
        QCOMPARE(options->options.keys(), (QList<qint64>{2, 9}));
    }

    void capKeepsTheNewest()
    {
        QVERIFY(m_erased->append(parse(lines(1, 197))));
        QVERIFY(m_erased->append(parse(lines(198, ErasedNotes::Kept + 5))));
        QCOMPARE(erased(), lines(6, ErasedNotes::Kept + 5));
    }

    // A note is never in both files, nor in neither: when the second write fails, the first is
    // undone. The limit leaves room for the smaller file only.
    void failedSecondWriteLeavesBothFilesAsTheyWere()
    {
        const QByteArray many = lines(1, 20);
        m_dir->write(u"MDATA.INI"_qs, many);
        m_dir->write(u"ERASED.INI"_qs, Odd);
        {
            FileSizeLimit limit(rlim_t(many.size() / 2));
            QVERIFY(!m_erased->erase(taking({4})));
        }
        QCOMPARE(notes(), many);
        QCOMPARE(erased(), Odd);

        m_dir->write(u"MDATA.INI"_qs, Odd);
        m_dir->write(u"ERASED.INI"_qs, many);
        {
            FileSizeLimit limit(rlim_t(many.size() / 2));
            QVERIFY(!m_erased->putBack(parse(noteLine("7"))));
        }
        QCOMPARE(notes(), Odd);
        QCOMPARE(erased(), many);
    }

    void damagedLinesAreListedAroundAndNeverRewritten()
    {
        const QByteArray damaged = noteLine("1") + noteLine("x") + noteLine("3");
        m_dir->write(u"ERASED.INI"_qs, damaged);
        const auto readout = m_erased->read();
        QCOMPARE(readout->records.size(), 2);
        QCOMPARE(readout->badLines, QList<int>{2});
        QVERIFY(m_erased->append(parse(noteLine("4")))); // after it, never rewritten
        QCOMPARE(erased(), damaged + noteLine("4"));
        QVERIFY(!m_erased->putBack(readout->records).ok());
        QCOMPARE(erased(), damaged + noteLine("4"));
        QCOMPARE(notes(), QByteArray("<missing>"));
        // A text left open would swallow what came after it: refused.
        m_dir->write(u"ERASED.INI"_qs, noteLine("1") + "\"open");
        QVERIFY(!m_erased->append(parse(noteLine("4"))));
        QCOMPARE(erased(), noteLine("1") + "\"open");
    }

    void putBackTakesANewNumberOnlyWhenItsOwnIsTaken()
    {
        m_dir->write(u"ERASED.INI"_qs, noteLine("1") + Odd + noteLine("3"));
        m_dir->write(u"MDATA.INI"_qs, noteLine("3", "new"));
        const QList<NoteRecord> chosen = parse(Odd + noteLine("3") + noteLine("9"));
        const auto back = m_erased->putBack(chosen);
        QVERIFY2(back.ok(), qPrintable(back.error()));
        QCOMPARE(back->size(), 2); // 9 is not there
        // 2 is free and comes back as it was; 3 is taken, and with two lines in MDATA.INI by then
        // the first candidate is 3, so 4.
        QCOMPARE(notes(), noteLine("3", "new") + Odd + noteLine("4"));
        QCOMPARE(erased(), noteLine("1"));
    }
};

QTEST_APPLESS_MAIN(tst_ErasedNotes)
#include "tst_ErasedNotes.moc"

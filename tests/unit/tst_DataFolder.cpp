// The data folder rule: where the notes are, else the program folder when it can be written, else
// the user's data folder.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/DataFolder.h"
#include "store/FolderKey.h"
#include "store/NoteHistory.h"
#include "store/NoteStore.h"
#include "tests/support/Notes.h"
#include "tests/support/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <unistd.h>

using namespace store;
using testsupport::ProgramFolder;

class tst_DataFolder : public QObject
{
    Q_OBJECT

private slots:
    void followsTheNotes_data();
    void followsTheNotes();
    void asksTheSystemWhetherTheFolderCanBeWritten();
    void chosenFolderKeepsThisComputersStateApart();
};

void tst_DataFolder::followsTheNotes_data()
{
    QTest::addColumn<QString>("notes"); // what the program folder holds: a file, or a folder "/"
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("xdg"); // XDG_DATA_HOME below the test folder, or as it stands
    QTest::addColumn<QString>("expected");
    const QString unset = u"<unset>"_qs;
    const QString xdg = u"/データ home"_qs;
    QTest::newRow("notes, read-only") << u"MDATA.INI"_qs << false << xdg << u"programs"_qs;
    QTest::newRow("notes in another case") << u"mdata.ini"_qs << false << xdg << u"programs"_qs;
    QTest::newRow("notes, writable") << u"MDATA.INI"_qs << true << xdg << u"programs"_qs;
    QTest::newRow("no notes, writable") << u""_qs << true << xdg << u"programs"_qs;
    QTest::newRow("no notes, read-only") << u""_qs << false << xdg << u"データ home/pinboa"_qs;
    QTest::newRow("a folder named MDATA.INI")
        << u"MDATA.INI/"_qs << false << xdg << u"データ home/pinboa"_qs;
    QTest::newRow("relative XDG_DATA_HOME ignored")
        << u""_qs << false << u"relative/data"_qs << u"home/.local/share/pinboa"_qs;
    QTest::newRow("empty XDG_DATA_HOME")
        << u""_qs << false << u""_qs << u"home/.local/share/pinboa"_qs;
    QTest::newRow("no XDG_DATA_HOME") << u""_qs << false << unset << u"home/.local/share/pinboa"_qs;
}

void tst_DataFolder::followsTheNotes()
{
    QFETCH(QString, notes);
    QFETCH(bool, writable);
    QFETCH(QString, xdg);
    QFETCH(QString, expected);
    ProgramFolder root;
    QVERIFY(root.isValid());
    const QString programs = root.filePath(u"programs"_qs);
    QVERIFY(QDir().mkpath(programs));
    QVERIFY(QDir().mkpath(root.filePath(u"home"_qs)));
    if (notes.endsWith(u'/'))
        QVERIFY(QDir(programs).mkdir(notes.chopped(1)));
    else if (!notes.isEmpty())
        testsupport::writeBytes(programs + u'/' + notes, "");
    // Relative paths resolve against the working folder: the test folder, to see what is made.
    QVERIFY(QDir::setCurrent(root.path()));
    qputenv("HOME", QFile::encodeName(root.filePath(u"home"_qs)));
    qunsetenv("XDG_CONFIG_HOME"); // no folder chosen in the test's home
    if (xdg == u"<unset>"_qs)
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", QFile::encodeName(xdg.startsWith(u'/') ? root.path() + xdg : xdg));

    const QString folder = dataFolder(programs, [&](const QString &) { return writable; });
    QCOMPARE(folder, root.filePath(expected) + u'/');
    QVERIFY(QFileInfo(folder).isDir());
    if (expected != u"programs"_qs)
        QCOMPARE(int(QFileInfo(folder).permissions() & 0x0077), 0); // made for the user alone
    QVERIFY(!QFileInfo::exists(root.filePath(u"relative"_qs)));
}

void tst_DataFolder::asksTheSystemWhetherTheFolderCanBeWritten()
{
    ProgramFolder root;
    QVERIFY(root.isValid());
    const QString programs = root.filePath(u"programs"_qs);
    QVERIFY(QDir().mkpath(programs));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath(u"data"_qs)));
    QCOMPARE(dataFolder(programs), programs + u'/');

    // The kernel lets root write anywhere: there a folder that is not there stands in for one
    // that cannot be written.
    QString readOnly = root.filePath(u"gone"_qs);
    if (::geteuid() != 0) {
        readOnly = programs;
        QVERIFY(QFile::setPermissions(programs, QFile::ReadOwner | QFile::ExeOwner));
    }
    QCOMPARE(dataFolder(readOnly), root.filePath(u"data/pinboa/"_qs));
    QFile::setPermissions(programs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void tst_DataFolder::chosenFolderKeepsThisComputersStateApart()
{
    ProgramFolder root;
    QVERIFY(root.isValid());
    const QString programs = root.filePath(u"programs"_qs);
    const QString synced = root.filePath(u"同期 フォルダー"_qs);
    QVERIFY(QDir().mkpath(programs) && QDir().mkpath(synced) && QDir::setCurrent(root.path()));
    qputenv("HOME", QFile::encodeName(root.filePath(u"home"_qs)));
    qputenv("XDG_CONFIG_HOME", "relative/config"); // ignored, like a relative XDG_STATE_HOME
    qputenv("XDG_STATE_HOME", "relative/state");

    QVERIFY(!chooseDataFolder(root.filePath(u"missing"_qs)).ok());
    QVERIFY(chooseDataFolder(synced + u"/../同期 フォルダー"_qs));
    QVERIFY(QFileInfo::exists(root.filePath(u"home/.config/pinboa/pinboa.conf"_qs)));
    const QString state = root.filePath(u"home/.local/state/pinboa/"_qs) + folderKey(synced);
    QCOMPARE(folders(programs), Folders(synced + u'/', state + u'/'));
    QCOMPARE(dataFolder(programs), synced + u'/');
    QCOMPARE(int(QFileInfo(state).permissions() & 0x0077), 0);
    QVERIFY(!QFileInfo::exists(root.filePath(u"relative"_qs)));

    // The notes go to the chosen folder; what describes this computer's programs does not.
    const NoteStore store(folders(programs));
    QVERIFY(store.appendNoteRecord(testsupport::note(1)));
    QVERIFY(store.appendRunningEntry(u"1"_qs));
    QCOMPARE(QDir(synced).entryList(QDir::Files | QDir::Hidden), QStringList{u"MDATA.INI"_qs});
    QStringList kept = QDir(state).entryList(QDir::Files | QDir::Hidden);
    kept.sort();
    QCOMPARE(kept, QStringList({NoteHistory::fileName(), u".pinboa.lock"_qs, u"IDDATA.INI"_qs}));

    // A choice that is no absolute path is no choice; forgetting it goes back to the rule.
    testsupport::writeBytes(configFile(), "[General]\ndataFolder=synced\n");
    QCOMPARE(dataFolder(programs), programs + u'/');
    QVERIFY(chooseDataFolder(synced));
    QVERIFY(clearDataFolder());
    QCOMPARE(folders(programs), Folders(programs));
    // A configuration that cannot be written leaves the choice as it was.
    QVERIFY(QFile::remove(configFile()) && QDir().mkdir(configFile()));
    QVERIFY(!chooseDataFolder(synced).ok());
    QCOMPARE(dataFolder(programs), programs + u'/');
}

QTEST_APPLESS_MAIN(tst_DataFolder)
#include "tst_DataFolder.moc"

// The data folder rule: where the notes are, else the program folder when it can be written, else
// the user's data folder.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "store/DataFolder.h"
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

QTEST_APPLESS_MAIN(tst_DataFolder)
#include "tst_DataFolder.moc"

// Where backups may go: never where the data folder would back them up, where they would
// hold no entries, or where the web site would publish them; and a deletion's backup that
// does not hold the day lets nothing be deleted.

#include "TestAppDir.h"

#include "backup/ArchiveRead.h"
#include "backup/BackupFolder.h"
#include "backup/BackupRestore.h"
#include "backup/BackupRun.h"
#include "diary/EntryDrafts.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

QStringList memberNames(const QString &archive)
{
    QStringList names;
    QString error;
    const bool read = readBackupArchive(
        archive,
        [&](const QString &name, const QByteArray &, QString *) {
            names.append(name);
            return true;
        },
        &error);
    if (!read)
        qWarning("%s", qPrintable(error));
    return names;
}

} // namespace

Q_DECLARE_METATYPE(BackupFolderFault)
Q_DECLARE_METATYPE(RestoredConnection)

class TestBackupFolder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void folderFault_data();
    void folderFault();
    void refusedFolderIsNotStored();
    void deletionBackupHoldsTheDay_data();
    void deletionBackupHoldsTheDay();
    void draftIsNotBackedUp();
    void restoreKeepsTodaysConnection_data();
    void restoreKeepsTodaysConnection();

private:
    // Makes the layout below the temporary root: "Home/Kakiva" is the data folder.
    QString root(const QString &relative) const { return m_root.filePath(relative); }

    QTemporaryDir m_root;
    std::unique_ptr<TestAppDir> m_app;
};

void TestBackupFolder::init()
{
    m_app = std::make_unique<TestAppDir>();
    m_app->write(u"Diary/2024/03/05.dia"_s, "day\r\n");
    m_app->write(u"HTML/2024/03/05.html"_s, "<html></html>\n");
}

void TestBackupFolder::cleanup()
{
    m_app.reset();
}

void TestBackupFolder::folderFault_data()
{
    QTest::addColumn<QString>("folder"); // below the temporary root; "DATA" is the data folder
    QTest::addColumn<QString>("link");   // made first, when given: "name>target"
    QTest::addColumn<BackupFolderFault>("fault");
    using F = BackupFolderFault;

    QTest::newRow("default Backups/") << u"DATA/Backups"_s << QString() << F::None;
    QTest::newRow("beside the data folder") << u"Home/KakivaBackups"_s << QString() << F::None;
    QTest::newRow("name starting like Diary") << u"DATA/DiaryBackups"_s << QString() << F::None;
    QTest::newRow("not made yet") << u"Elsewhere/new/folder"_s << QString() << F::None;
    QTest::newRow("the data folder") << u"DATA"_s << QString() << F::DataFolder;
    QTest::newRow("the data folder, spelt with ..")
        << u"DATA/Diary/.."_s << QString() << F::DataFolder;
    QTest::newRow("the home folder above it") << u"Home"_s << QString() << F::AboveDataFolder;
    QTest::newRow("the root of the disk") << u"/"_s << QString() << F::AboveDataFolder;
    QTest::newRow("Diary/") << u"DATA/Diary"_s << QString() << F::InDiary;
    QTest::newRow("inside Diary/, not made yet")
        << u"DATA/Diary/2024/backups"_s << QString() << F::InDiary;
    QTest::newRow("HTML/") << u"DATA/HTML"_s << QString() << F::InHtml;
    QTest::newRow("inside HTML/") << u"DATA/HTML/2024"_s << QString() << F::InHtml;
    QTest::newRow("Backups/ a link into Diary/")
        << u"DATA/Backups"_s << u"DATA/Backups>DATA/Diary"_s << F::InDiary;
    QTest::newRow("a link elsewhere to HTML/")
        << u"Home/site"_s << u"Home/site>DATA/HTML"_s << F::InHtml;
    QTest::newRow("a link to the folder above")
        << u"Home/up"_s << u"Home/up>Home"_s << F::AboveDataFolder;
}

void TestBackupFolder::folderFault()
{
    QFETCH(QString, folder);
    QFETCH(QString, link);
    QFETCH(BackupFolderFault, fault);
    const QString data = root(u"Home/Kakiva"_s);
    for (const QString &made : {u"Home/Kakiva/Diary/2024"_s, u"Home/Kakiva/HTML/2024"_s})
        QVERIFY(QDir().mkpath(root(made)));
    const auto place = [&](QString path) {
        if (path.startsWith(u'/'))
            return path;
        return root(path.replace(u"DATA"_s, u"Home/Kakiva"_s));
    };
    if (!link.isEmpty()) {
        const QStringList ends = link.split(u'>');
        QVERIFY(QFile::link(place(ends[1]), place(ends[0])));
    }
    QCOMPARE(backupFolderFault(place(folder), data), fault);
    QCOMPARE(backupFolderFaultText(fault).isEmpty(), fault == BackupFolderFault::None);
}

// The window's choice of folder goes through setBackupFolder: a refused folder is not kept,
// and the reason is said in Japanese.
void TestBackupFolder::refusedFolderIsNotStored()
{
    QString error;
    QVERIFY(!setBackupFolder(m_app->filePath(u"HTML"_s), &error));
    QCOMPARE(error, backupFolderFaultText(BackupFolderFault::InHtml));
    QCOMPARE(IniRead(BackupSection, BackupFolderKey), QString());
    QVERIFY(setBackupFolder(root(u"elsewhere"_s), &error));
    QCOMPARE(IniRead(BackupSection, BackupFolderKey), root(u"elsewhere"_s));
}

void TestBackupFolder::deletionBackupHoldsTheDay_data()
{
    QTest::addColumn<QString>("folder"); // written by hand into the settings; "" the default
    QTest::addColumn<QDate>("day");
    QTest::addColumn<bool>("holds");
    QTest::newRow("default folder") << QString() << QDate(2024, 3, 5) << true;
    QTest::newRow("a day the backup lacks") << QString() << QDate(2024, 3, 6) << false;
    QTest::newRow("Diary/ by hand") << u"Diary"_s << QDate(2024, 3, 5) << false;
    QTest::newRow("the data folder by hand") << u"."_s << QDate(2024, 3, 5) << false;
    QTest::newRow("HTML/ by hand") << u"HTML/old"_s << QDate(2024, 3, 5) << false;
}

// Only a backup read back whole that holds the day lets a deletion go ahead; a folder set by
// hand where no backup may go gets no backup at all.
void TestBackupFolder::deletionBackupHoldsTheDay()
{
    QFETCH(QString, folder);
    QFETCH(QDate, day);
    QFETCH(bool, holds);
    if (!folder.isEmpty())
        QVERIFY(IniWrite(BackupSection, BackupFolderKey,
                         QDir::cleanPath(m_app->filePath(folder))));
    QString error;
    QCOMPARE(writeBackupHolding(day, &error), holds);
    QVERIFY2(holds || !error.isEmpty(), "a refusal says why");
    if (!folder.isEmpty())
        QCOMPARE(listBackups(backupFolder()).size(), 0);
}

// A draft is the typing of a dialog still open, not the diary: the drafts the program writes
// lie where no backup takes them.
void TestBackupFolder::draftIsNotBackedUp()
{
    QString error;
    QString before;
    QVERIFY2(writeBackupNow(&error, &before), qPrintable(error));
    QVERIFY(writeDraft({u"2024"_s, u"03"_s, u"05"_s}, u"書きかけ"_s));
    QVERIFY(writeDraft({u"2024"_s, u"03"_s, u"06"_s}, u"新しい日"_s));
    QString after;
    QVERIFY2(writeBackupNow(&error, &after), qPrintable(error));
    QCOMPARE(memberNames(after), memberNames(before));
}

void TestBackupFolder::restoreKeepsTodaysConnection_data()
{
    QTest::addColumn<RestoredConnection>("connection");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("password");
    QTest::newRow("today's connection") << RestoredConnection::Current << u"new.example.jp"_s
                                        << u"today-pw"_s;
    QTest::newRow("the backup's, without today's password")
        << RestoredConnection::FromBackup << u"old.example.com"_s << QString();
}

// A whole restore writes Kakiva.ini through the merge: the backup's server never gets
// today's password.
void TestBackupFolder::restoreKeepsTodaysConnection()
{
    QFETCH(RestoredConnection, connection);
    QFETCH(QString, server);
    QFETCH(QString, password);
    m_app->write(u"Kakiva.ini"_s, "[FTP]\r\nServer=old.example.com\r\nName=me\r\n");
    m_app->write(u"known_hosts"_s, "old.example.com ssh-ed25519 OLD\n");
    QString error;
    QString written;
    QVERIFY2(writeBackupNow(&error, &written), qPrintable(error));
    m_app->write(u"Kakiva.ini"_s, "[FTP]\r\nServer=new.example.jp\r\nName=me\r\n"
                                  "Password=today-pw\r\n");
    m_app->write(u"known_hosts"_s, "new.example.jp ssh-ed25519 NEW\n");

    QVERIFY2(restoreBackup(written, &error, connection), qPrintable(error));
    QCOMPARE(IniRead(FtpSection, ServerKey), server);
    QCOMPARE(IniRead(FtpSection, PasswordKey), password);
    QVERIFY(m_app->read(u"known_hosts"_s).startsWith(server.toLatin1() + ' '));
}

QTEST_GUILESS_MAIN(TestBackupFolder)
#include "TestBackupFolder.moc"

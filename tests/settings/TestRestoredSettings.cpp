// The settings a restore leaves: the backup's, with today's backup folder and, unless asked
// otherwise, today's connection; never a password beside a server it was not stored for.

#include "settings/CertificatePin.h"
#include "settings/IniDocument.h"
#include "settings/RestoredSettings.h"
#include "settings/SettingsFile.h"
#include "settings/StoredPassword.h"

#include <QTest>

using namespace Kakiva;

Q_DECLARE_METATYPE(RestoredConnection)

namespace {

// Today: a password in the file for today's server.
const QByteArray TodayInFile = "[FTP]\r\nServer=new.example.jp\r\nName=me\r\nPassword=secret\r\n"
                               "Directory=www\r\nCertificate=new.example.jp:990 aa\r\n"
                               "[Backup]\r\nFolder=/media/stick\r\n";
// Today: the password in the keyring.
const QByteArray TodayInKeyring = "[FTP]\r\nServer=new.example.jp\r\nName=me\r\nPassword=\r\n"
                                  "PasswordStore=keyring\r\nDirectory=www\r\n";
// An old backup: another provider, no password, no keyring, older options.
const QByteArray OldProvider = "[FTP]\r\nServer=old.example.com\r\nName=olduser\r\nPassword=\r\n"
                               "Directory=public_html\r\nCertificate=old.example.com:990 bb\r\n"
                               "[Backup]\r\nFolder=/old/place\r\n[Window]\r\nTop=40\r\n";
// A backup of the same login, with another directory.
const QByteArray SameLogin = "[FTP]\r\nServer=new.example.jp\r\nName=me\r\nPassword=\r\n"
                             "Directory=old_www\r\n[Window]\r\nTop=40\r\n";

// The values of the result that a restore decides, in the order of the columns.
QStringList decided(const QByteArray &settings)
{
    const IniDocument document(settings);
    QStringList values;
    for (const QLatin1StringView key :
         {ServerKey, NameKey, DirectoryKey, PasswordKey, PasswordStoreKey, CertificateKey})
        values.append(QString::fromLatin1(document.value(QString(FtpSection), QString(key))));
    values.append(QString::fromLatin1(
        document.value(QString(BackupSection), QString(BackupFolderKey))));
    values.append(QString::fromLatin1(document.value(u"Window", u"Top")));
    return values;
}

} // namespace

class TestRestoredSettings : public QObject
{
    Q_OBJECT

private slots:
    void merge_data();
    void merge();
};

void TestRestoredSettings::merge_data()
{
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("restored");
    QTest::addColumn<RestoredConnection>("connection");
    // Server, Name, Directory, Password, PasswordStore, Certificate, backup folder, other.
    QTest::addColumn<QStringList>("expected");
    const auto keep = RestoredConnection::Current;
    const auto back = RestoredConnection::FromBackup;

    QTest::newRow("old provider: today's connection and password stay")
        << TodayInFile << OldProvider << keep
        << QStringList{"new.example.jp", "me", "www", "secret", "", "new.example.jp:990 aa",
                       "/media/stick", "40"};
    QTest::newRow("keyring today: the place stays, no password in the file")
        << TodayInKeyring << OldProvider << keep
        << QStringList{"new.example.jp", "me", "www", "", "keyring", "", "", "40"};
    QTest::newRow("backup's connection of another server: no password goes with it")
        << TodayInFile << OldProvider << back
        << QStringList{"old.example.com", "olduser", "public_html", "", "",
                       "old.example.com:990 bb", "/media/stick", "40"};
    QTest::newRow("backup's connection of the same login: the password stays")
        << TodayInFile << SameLogin << back
        << QStringList{"new.example.jp", "me", "old_www", "secret", "", "", "/media/stick",
                       "40"};
    QTest::newRow("backup's connection, keyring today: looked up under the backup's login")
        << TodayInKeyring << OldProvider << back
        << QStringList{"old.example.com", "olduser", "public_html", "", "keyring",
                       "old.example.com:990 bb", "", "40"};
    QTest::newRow("no settings today: the backup's connection without a password")
        << QByteArray() << OldProvider << keep
        << QStringList{"", "", "", "", "", "", "", "40"};
    QTest::newRow("backup without settings of its own: today's stay")
        << TodayInFile << QByteArray() << keep
        << QStringList{"new.example.jp", "me", "www", "secret", "", "new.example.jp:990 aa",
                       "/media/stick", ""};
}

void TestRestoredSettings::merge()
{
    QFETCH(QByteArray, current);
    QFETCH(QByteArray, restored);
    QFETCH(RestoredConnection, connection);
    QFETCH(QStringList, expected);
    QCOMPARE(decided(mergeRestoredSettings(current, restored, connection)), expected);
}

QTEST_GUILESS_MAIN(TestRestoredSettings)
#include "TestRestoredSettings.moc"

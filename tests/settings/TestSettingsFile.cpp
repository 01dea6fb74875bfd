#include "TestAppDir.h"
#include "WriteFault.h"

#include "platform/AppDir.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

const QString Ftp = FtpSection;

QByteArray repeated(qsizetype count, char byte = 'a')
{
    return QByteArray(count, byte);
}

QFileDevice::Permissions modeBits(const QString &path)
{
    const auto all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                     QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                     QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return QFile::permissions(path) & all;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_appDir = std::make_unique<TestAppDir>(); }
    void cleanup() { m_appDir.reset(); }

    void missingFileReadsEmptyAndCreatesNothing();
    void readsStoredValue_data();
    void readsStoredValue();
    void readsAfreshEveryCall();
    void snapshotHoldsEveryKey();
    void unreadableFileGivesEmptySnapshot();
    void writesNewFile_data();
    void writesNewFile();
    void valuesReadBackOrAreRefused_data();
    void valuesReadBackOrAreRefused();
    void addsKeysInOrderOfFirstWrite();
    void keepsForeignContent_data();
    void keepsForeignContent();
    void fileIsOwnerOnly_data();
    void fileIsOwnerOnly();
    void reportsWriteFailure_data();
    void reportsWriteFailure();
    void failedWriteKeepsTheFile_data();
    void failedWriteKeepsTheFile();

private:
    void storeFile(const QByteArray &bytes) { writeWholeFile(settingsFilePath(), bytes); }

    std::unique_ptr<TestAppDir> m_appDir;
};

void TestSettingsFile::missingFileReadsEmptyAndCreatesNothing()
{
    for (const QString key : {ServerKey, NameKey, PasswordKey, DirectoryKey})
        QCOMPARE(IniRead(Ftp, key), QString());
    QVERIFY(QDir(m_appDir->path()).isEmpty());
}

void TestSettingsFile::readsStoredValue_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString server = ServerKey, name = NameKey, password = PasswordKey;
    QTest::newRow("CR LF file") << QByteArray("[FTP]\r\nServer=ftp.example.com\r\n") << Ftp
                                << server << "ftp.example.com";
    QTest::newRow("LF-only file") << QByteArray("[Other]\nName=no\n[FTP]\nName=user\n") << Ftp
                                  << name << "user";
    QTest::newRow("CR-only file") << QByteArray("[FTP]\rName=user\rPassword=pw\r") << Ftp
                                  << password << "pw";
    QTest::newRow("no final line end")
        << QByteArray("[FTP]\r\nServer=ftp.x.jp") << Ftp << server << "ftp.x.jp";
    QTest::newRow("odd spacing") << QByteArray("  [ FTP ]  \r\n  server =  ftp.x.jp  \r\n") << Ftp
                                 << server << "ftp.x.jp";
    QTest::newRow("tabs") << QByteArray("[FTP]\r\nName\t=\tuser\t\r\n") << Ftp << name << "user";
    QTest::newRow("double quotes")
        << QByteArray("[FTP]\r\nPassword = \"pass word\" \r\n") << Ftp << password << "pass word";
    QTest::newRow("single quotes keep inner blanks")
        << QByteArray("[FTP]\r\nPassword=' pw '\r\n") << Ftp << password << " pw ";
    QTest::newRow("unmatched quotes kept")
        << QByteArray("[FTP]\r\nPassword=\"pw'\r\n") << Ftp << password << "\"pw'";
    QTest::newRow("lone quote kept")
        << QByteArray("[FTP]\r\nPassword=\"\r\n") << Ftp << password << "\"";
    QTest::newRow("equals sign in value")
        << QByteArray("[FTP]\r\nDirectory=/a=b\r\n") << Ftp << QString(DirectoryKey) << "/a=b";
    QTest::newRow("names in other letter case")
        << QByteArray("[ftp]\r\nSERVER=x\r\n") << Ftp << server << "x";
    QTest::newRow("first key wins")
        << QByteArray("[FTP]\r\nName=first\r\nname=second\r\n") << Ftp << name << "first";
    QTest::newRow("first section wins")
        << QByteArray("[FTP]\r\nName=first\r\n[Ftp]\r\nName=second\r\n") << Ftp << name << "first";
    QTest::newRow("comments skipped")
        << QByteArray("[FTP]\r\n;Server=c1\r\n  ; Server=c2\r\nServer=real\r\n") << Ftp << server
        << "real";
    QTest::newRow("key of another section")
        << QByteArray("[Other]\r\nServer=x\r\n[FTP]\r\nName=y\r\n") << Ftp << server << "";
    QTest::newRow("key before any section")
        << QByteArray("Server=x\r\n[FTP]\r\n") << Ftp << server << "";
    QTest::newRow("unclosed header ends section")
        << QByteArray("[FTP]\r\n[Other\r\nServer=x\r\n") << Ftp << server << "";
    QTest::newRow("missing section")
        << QByteArray("[Other]\r\nServer=x\r\n") << Ftp << server << "";
    QTest::newRow("empty value") << QByteArray("[FTP]\r\nServer=\r\n") << Ftp << server << "";
    QTest::newRow("byte-order mark before the section")
        << QByteArray("\xEF\xBB\xBF[FTP]\r\nServer=x\r\n") << Ftp << server << "x";
    QTest::newRow("Japanese value")
        << QByteArray("[FTP]\r\nDirectory=/\x93\xFA\x96\x7B\x8C\xEA\r\n") << Ftp
        << QString(DirectoryKey) << u"/日本語"_qs;
    QTest::newRow("section name with ']' as second byte")
        << QByteArray("[\x89\x5D]\r\nName=x\r\n") << u"云"_qs << name << "x";

    const QByteArray head = "[FTP]\r\nPassword=";
    QTest::newRow("254 bytes read whole") << head + repeated(254) + "\r\n"
                                          << Ftp << password << QString(repeated(254));
    QTest::newRow("255 bytes cut to 254") << head + repeated(255) + "\r\n"
                                          << Ftp << password << QString(repeated(254));
    QTest::newRow("double-byte character across the limit")
        << head + repeated(253) + "\x82\xA0" + "\r\n"
        << Ftp << password << QString(repeated(253));
    QTest::newRow("double-byte character ending at the limit")
        << head + repeated(252) + "\x82\xA0" + "\r\n"
        << Ftp << password << QString(repeated(252)) + u"あ"_qs;
    QTest::newRow("limit counts without quotes") << head + '"' + repeated(254) + "\"\r\n"
                                                 << Ftp << password << QString(repeated(254));
}

void TestSettingsFile::readsStoredValue()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    storeFile(file);
    QCOMPARE(IniRead(section, key), expected);
}

void TestSettingsFile::readsAfreshEveryCall()
{
    storeFile("[FTP]\r\nServer=first\r\n");
    QCOMPARE(IniRead(Ftp, ServerKey), u"first"_qs);
    storeFile("[FTP]\r\nServer=second\r\n");
    QCOMPARE(IniRead(Ftp, ServerKey), u"second"_qs);
    QVERIFY(QFile::remove(settingsFilePath()));
    QCOMPARE(IniRead(Ftp, ServerKey), QString());
}

// One reading gives every setting, by the same rules as IniRead: names in any case, blanks
// and quotes around values dropped.
void TestSettingsFile::snapshotHoldsEveryKey()
{
    storeFile("[ftp]\r\n server = ftp.example.jp\r\nNAME=\" diarist\"\r\nPassword=\r\n"
              "passwordstore=keyring\r\nDirectory=www/site\r\n"
              "Certificate=ftp.example.jp:21 abcdef\r\n[BACKUP]\r\nFolder=/mnt/backups\r\n");
    const Settings settings = readSettings();
    QCOMPARE(settings.server, u"ftp.example.jp"_s);
    QCOMPARE(settings.user, u" diarist"_s);
    QCOMPARE(settings.directory, u"www/site"_s);
    QCOMPARE(settings.password, QString());
    QCOMPARE(settings.passwordStore, u"keyring"_s);
    QVERIFY(settings.passwordInKeyring());
    QCOMPARE(settings.certificate, u"ftp.example.jp:21 abcdef"_s);
    QCOMPARE(settings.backupFolder, u"/mnt/backups"_s);

    storeFile("[FTP]\r\nPassword=secret\r\nPasswordStore=keyring\r\n");
    QVERIFY2(!readSettings().passwordInKeyring(), "a password in the file counts");
}

void TestSettingsFile::unreadableFileGivesEmptySnapshot()
{
    QVERIFY(QDir().mkpath(settingsFilePath()));
    QString error;
    const Settings settings = readSettings(&error);
    verifyErrorNames(error, settingsFilePath());
    QCOMPARE(settings.server, QString());
    QVERIFY(!settings.passwordInKeyring());
}

void TestSettingsFile::writesNewFile_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("ASCII") << u"ftp.example.com"_qs << QByteArray("Server=ftp.example.com")
                           << u"ftp.example.com"_qs;
    QTest::newRow("empty value") << QString() << QByteArray("Server=") << QString();
    QTest::newRow("blank inside") << u"pass word"_qs << QByteArray("Server=pass word")
                                  << u"pass word"_qs;
    QTest::newRow("Japanese in CP932")
        << u"/日本語ソ表ｶﾅ"_qs
        << QByteArray("Server=/\x93\xFA\x96\x7B\x8C\xEA\x83\x5C\x95\x5C\xB6\xC5")
        << u"/日本語ソ表ｶﾅ"_qs;
    QTest::newRow("character outside CP932 round-trips")
        << u"pw\U0001F600"_qs << QByteArray("Server=pw&#128512;") << u"pw\U0001F600"_qs;
}

void TestSettingsFile::writesNewFile()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    QFETCH(QString, readBack);
    QString error;
    QVERIFY2(IniWrite(Ftp, ServerKey, value, &error), qPrintable(error));
    QCOMPARE(readWholeFile(settingsFilePath()), "[FTP]\r\n" + line + "\r\n");
    QCOMPARE(IniRead(Ftp, ServerKey), readBack);
    QCOMPARE(IniRead(Ftp, PasswordKey), QString());
}

void TestSettingsFile::valuesReadBackOrAreRefused_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("line"); // empty: refused
    QTest::addColumn<SettingValueFault>("fault");

    const auto none = SettingValueFault::None;
    QTest::newRow("outer blanks") << u"  padded  "_s << QByteArray("Password=\"  padded  \"")
                                  << none;
    QTest::newRow("outer double quotes")
        << u"\"quoted\""_s << QByteArray("Password=\"\"quoted\"\"") << none;
    QTest::newRow("outer single quotes") << u"'q'"_s << QByteArray("Password=\"'q'\"") << none;
    QTest::newRow("quote at one end") << u"pw\""_s << QByteArray("Password=\"pw\"\"") << none;
    QTest::newRow("tab at the end") << u"pw\t"_s << QByteArray("Password=\"pw\t\"") << none;
    QTest::newRow("yen sign") << u"\u00A51"_s << QByteArray("Password=&#165;1") << none;
    QTest::newRow("typed reference") << u"&#65;"_s << QByteArray("Password=&#38;#65;") << none;
    QTest::newRow("254 bytes") << QString(repeated(254)) << "Password=" + repeated(254) << none;
    QTest::newRow("255 bytes") << QString(repeated(255)) << QByteArray()
                               << SettingValueFault::TooLong;
    QTest::newRow("reference past the limit")
        << QString(repeated(250)) + u"😀"_s << QByteArray() << SettingValueFault::TooLong;
    QTest::newRow("LF") << u"a\nb"_s << QByteArray() << SettingValueFault::LineBreak;
    QTest::newRow("CR") << u"a\rb"_s << QByteArray() << SettingValueFault::LineBreak;
    QTest::newRow("wave dash read back full-width")
        << u"a\u301Cb"_s << QByteArray() << SettingValueFault::CharacterChanges;
}

void TestSettingsFile::valuesReadBackOrAreRefused()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, line);
    QFETCH(SettingValueFault, fault);
    const QByteArray before = "[FTP]\r\nPassword=old\r\n";
    storeFile(before);
    QCOMPARE(settingValueFault(value), fault);
    QString error;
    const bool written = IniWrite(Ftp, PasswordKey, value, &error);
    QCOMPARE(written, !line.isEmpty());
    if (written) {
        QCOMPARE(readWholeFile(settingsFilePath()), "[FTP]\r\n" + line + "\r\n");
        QCOMPARE(IniRead(Ftp, PasswordKey), value);
    } else {
        verifyErrorNames(error, settingsFilePath());
        QCOMPARE(readWholeFile(settingsFilePath()), before);
    }
}

void TestSettingsFile::addsKeysInOrderOfFirstWrite()
{
    QVERIFY(IniWrite(Ftp, ServerKey, u"ftp.example.com"_qs));
    QVERIFY(IniWrite(Ftp, NameKey, u"user"_qs));
    QVERIFY(IniWrite(Ftp, PasswordKey, QString()));
    QVERIFY(IniWrite(Ftp, DirectoryKey, u"/www"_qs));
    QVERIFY(IniWrite(Ftp, ServerKey, u"ftp.x.jp"_qs));
    QCOMPARE(readWholeFile(settingsFilePath()),
             "[FTP]\r\nServer=ftp.x.jp\r\nName=user\r\nPassword=\r\nDirectory=/www\r\n");
}

void TestSettingsFile::keepsForeignContent_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");

    const QString server = ServerKey, name = NameKey;
    QTest::newRow("empty file") << QByteArray() << server << QByteArray("[FTP]\r\nServer=new\r\n");
    QTest::newRow("byte-order mark kept")
        << QByteArray("\xEF\xBB\xBF[FTP]\r\nServer=old\r\n") << server
        << QByteArray("\xEF\xBB\xBF[FTP]\r\nServer=new\r\n");
    QTest::newRow("nothing but a byte-order mark")
        << QByteArray("\xEF\xBB\xBF") << server
        << QByteArray("\xEF\xBB\xBF[FTP]\r\nServer=new\r\n");
    QTest::newRow("replace keeps sections, comments, blank lines")
        << QByteArray("; Kakiva\r\n\r\n[Other]\r\nServer = other\r\n\r\n[FTP]\r\n  Name = n  \r\n"
                      "Server=old\r\n; note\r\n\r\n[Last]\r\nz=1\r\n")
        << server
        << QByteArray("; Kakiva\r\n\r\n[Other]\r\nServer = other\r\n\r\n[FTP]\r\n  Name = n  \r\n"
                      "Server=new\r\n; note\r\n\r\n[Last]\r\nz=1\r\n");
    QTest::newRow("key in other letter case replaced in place")
        << QByteArray("[ftp]\r\nSERVER = old\r\nName=n\r\n") << server
        << QByteArray("[ftp]\r\nSERVER=new\r\nName=n\r\n");
    QTest::newRow("odd spacing replaced") << QByteArray("[FTP]\r\n  server =  ftp.x.jp  \r\n")
                                          << server << QByteArray("[FTP]\r\nserver=new\r\n");
    QTest::newRow("only the first of two keys")
        << QByteArray("[FTP]\r\nName=a\r\nName=b\r\n") << name
        << QByteArray("[FTP]\r\nName=new\r\nName=b\r\n");
    QTest::newRow("only the first of two sections")
        << QByteArray("[FTP]\r\nName=a\r\n[FTP]\r\nServer=b\r\n") << server
        << QByteArray("[FTP]\r\nName=a\r\nServer=new\r\n[FTP]\r\nServer=b\r\n");
    QTest::newRow("new key after last non-blank line")
        << QByteArray("[FTP]\r\nServer=s\r\n\r\n\t\r\n[Other]\r\nName=o\r\n") << name
        << QByteArray("[FTP]\r\nServer=s\r\nName=new\r\n\r\n\t\r\n[Other]\r\nName=o\r\n");
    QTest::newRow("new key under a bare header")
        << QByteArray("[FTP]\r\n\r\n[Other]\r\n") << name
        << QByteArray("[FTP]\r\nName=new\r\n\r\n[Other]\r\n");
    QTest::newRow("commented key stays") << QByteArray("[FTP]\r\n;Server=old\r\n") << server
                                         << QByteArray("[FTP]\r\n;Server=old\r\nServer=new\r\n");
    QTest::newRow("new section at end")
        << QByteArray("[Other]\r\nServer=o\r\n\r\n") << server
        << QByteArray("[Other]\r\nServer=o\r\n\r\n[FTP]\r\nServer=new\r\n");
    QTest::newRow("key before any section stays")
        << QByteArray("Server=top\r\n") << server
        << QByteArray("Server=top\r\n[FTP]\r\nServer=new\r\n");
    QTest::newRow("no final line end, new section")
        << QByteArray("[Other]\r\nx=1") << server
        << QByteArray("[Other]\r\nx=1\r\n[FTP]\r\nServer=new\r\n");
    QTest::newRow("no final line end, new key") << QByteArray("[FTP]\r\nName=n") << server
                                                << QByteArray("[FTP]\r\nName=n\r\nServer=new\r\n");
    QTest::newRow("no final line end, replaced")
        << QByteArray("[FTP]\r\nServer=old") << server << QByteArray("[FTP]\r\nServer=new\r\n");
    QTest::newRow("LF-only file keeps its other lines")
        << QByteArray("[FTP]\nServer=old\nName=n\n") << server
        << QByteArray("[FTP]\nServer=new\r\nName=n\n");
    QTest::newRow("Japanese and undecodable bytes kept")
        << QByteArray("; \x93\xFA\x96\x7B \xFF\xA0\x80\r\n[\x89\x5D]\r\nName=\x8C\xEA\r\n")
        << server
        << QByteArray("; \x93\xFA\x96\x7B \xFF\xA0\x80\r\n[\x89\x5D]\r\nName=\x8C\xEA\r\n"
                      "[FTP]\r\nServer=new\r\n");
}

void TestSettingsFile::keepsForeignContent()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    storeFile(before);
    QString error;
    QVERIFY2(IniWrite(Ftp, key, u"new"_qs, &error), qPrintable(error));
    QCOMPARE(readWholeFile(settingsFilePath()), after);
    QCOMPARE(IniRead(Ftp, key), u"new"_qs);
}

void TestSettingsFile::fileIsOwnerOnly_data()
{
    QTest::addColumn<bool>("existing");
    QTest::newRow("created") << false;
    QTest::newRow("rewritten from mode 0644") << true;
}

void TestSettingsFile::fileIsOwnerOnly()
{
    QFETCH(bool, existing);
    const QString path = settingsFilePath();
    if (existing) {
        storeFile("[FTP]\r\nServer=old\r\n");
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    QVERIFY(IniWrite(Ftp, PasswordKey, u"secret"_qs));
    QCOMPARE(modeBits(path), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TestSettingsFile::reportsWriteFailure_data()
{
    QTest::addColumn<QString>("appDirName");
    QTest::addColumn<bool>("appDirIsFile");
    QTest::addColumn<bool>("iniIsDirectory");

    QTest::newRow("Kakiva.ini is a directory") << QString() << false << true;
    QTest::newRow("application directory is a file") << u"plain"_qs << true << false;
    QTest::newRow("application directory is missing") << u"gone"_qs << false << false;
}

void TestSettingsFile::reportsWriteFailure()
{
    QFETCH(QString, appDirName);
    QFETCH(bool, appDirIsFile);
    QFETCH(bool, iniIsDirectory);
    if (!appDirName.isEmpty())
        setApplicationDirectory(m_appDir->filePath(appDirName));
    if (appDirIsFile)
        writeWholeFile(applicationDirectory(), "not a directory");
    if (iniIsDirectory)
        QVERIFY(QDir().mkpath(settingsFilePath()));

    QString error;
    QVERIFY(!IniWrite(Ftp, ServerKey, u"x"_qs, &error));
    verifyErrorNames(error, settingsFilePath());
    QCOMPARE(IniRead(Ftp, ServerKey), QString());
    QCOMPARE(QFileInfo(settingsFilePath()).isDir(), iniIsDirectory);
}

void TestSettingsFile::failedWriteKeepsTheFile_data()
{
    QTest::addColumn<WriteFault::Kind>("fault");
    QTest::addColumn<bool>("fileUnreadable");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("value");
    const QByteArray mine = "; mine\r\n[FTP]\r\nServer=old\r\n";
    QTest::newRow("read-only application directory")
        << WriteFault::ReadOnlyDirectory << false << mine << u"new"_qs;
    QTest::newRow("unreadable settings file")
        << WriteFault::None << true << QByteArray("[Other]\r\nkeep=1\r\n") << u"new"_qs;
    QTest::newRow("disk full half-way")
        << WriteFault::DiskFull << false << mine << QString(repeated(200));
}

void TestSettingsFile::failedWriteKeepsTheFile()
{
    QFETCH(WriteFault::Kind, fault);
    QFETCH(bool, fileUnreadable);
    QFETCH(QByteArray, before);
    QFETCH(QString, value);
    if ((fault == WriteFault::ReadOnlyDirectory || fileUnreadable) && runsAsSuperuser())
        QSKIP("permissions do not stop the superuser");
    storeFile(before);
    const QString path = settingsFilePath();
    if (fileUnreadable)
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    QString error;
    bool written = true;
    {
        const WriteFault inForce(fault, m_appDir->path(), before.size());
        written = IniWrite(Ftp, ServerKey, value, &error);
    }
    if (fileUnreadable)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(!written);
    verifyErrorNames(error, path, fault == WriteFault::DiskFull ? EFBIG : 0);
    QCOMPARE(readWholeFile(path), before);
    QCOMPARE(QDir(m_appDir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{SettingsFileName});
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"

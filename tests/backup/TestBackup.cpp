#include "FileSizeLimit.h"
#include "TestAppDir.h"
#include "TestTree.h"

#include "backup/ArchiveRead.h"
#include "backup/BackupFolder.h"
#include "backup/BackupInspect.h"
#include "backup/BackupRestore.h"
#include "backup/BackupRun.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace Kakiva;

namespace {

const QString Password = QStringLiteral("pass-in-clear");

// A small diary with everything a backup holds and what it must leave out.
void writeDiary(const TestAppDir &dir)
{
    dir.write(QStringLiteral("Diary/2024/03/05.dia"), "\x8D\xA1\x93\xFA\r\n");
    dir.write(QStringLiteral("Diary/2024/03/06.dia"), "second day\r\n\r\n");
    dir.write(QStringLiteral("Diary/2025/01/01.dia"), "new year\r\n");
    dir.write(QStringLiteral("HTML/kakiva.css"), "body { color: navy }\n");
    dir.write(QStringLiteral("HTML/index.html"), "<frameset></frameset>\n");
    dir.write(QStringLiteral("HTML/2024/03/05.html"), "<html>page</html>\n");
    dir.write(QStringLiteral("sent.json"), "{}\n");
    dir.write(QStringLiteral("known_hosts"), "host ssh-ed25519 AAAA\n");
    dir.write(QStringLiteral("Kakiva.ini"),
              "[FTP]\r\nServer=ftp.example.jp\r\nPassword=" + Password.toLatin1() +
                  "\r\n[Old]\r\npassword = " + Password.toLatin1() + "\r\n");
    dir.write(QStringLiteral("Diary/2024/03/.05.dia.draft"), "hidden temporary");
    dir.write(QStringLiteral(".Kakiva.lock"), "lock");
    dir.write(QStringLiteral("ftp.log"), "log");
}

QMap<QString, QByteArray> membersOf(const QString &archive)
{
    QMap<QString, QByteArray> members;
    QString error;
    const bool read = readZipArchive(
        archive,
        [&](const QString &name, const QByteArray &bytes, QString *) {
            members.insert(name, bytes);
            return true;
        },
        &error);
    if (!read)
        qWarning("%s", qPrintable(error));
    return members;
}

// Archives no restore may take, made the way others would make them.
const char *const CraftArchives = R"(
import os, sys, tarfile, zipfile
out = sys.argv[1]
def make(name, members, compression=zipfile.ZIP_STORED):
    with zipfile.ZipFile(os.path.join(out, name), 'w', compression) as archive:
        for member, data, mode in members:
            info = zipfile.ZipInfo(member, (2024, 1, 1, 0, 0, 0))
            info.create_system = 3
            info.external_attr = mode << 16
            info.compress_type = compression
            with archive.open(info, 'w', force_zip64=True) as stream:
                for chunk in data:
                    stream.write(chunk)
good = ('Diary/2024/01/01.dia', [b'restored\r\n'], 0o100644)
make('absolute.zip', [good, ('/tmp/kakiva-absolute.dia', [b'x'], 0o100644)])
make('dotdot.zip', [good, ('Diary/../../kakiva-outside.dia', [b'x'], 0o100644)])
make('link.zip', [good, ('Diary/2024/01/02.dia', [b'/etc/passwd'], 0o120777)])
make('device.zip', [good, ('Diary/2024/01/02.dia', [b''], 0o020644)])
make('foreign.zip', [good, ('photos/cat.jpg', [b'\xff\xd8'], 0o100644)])
make('huge.zip', [good, ('HTML/big.html', [bytes(1 << 20)] * 257, 0o100644)], zipfile.ZIP_DEFLATED)
make('empty.zip', [])
with tarfile.open(os.path.join(out, 'tarball.zip'), 'w:gz') as archive:
    archive.add(os.path.join(out, 'foreign.zip'), 'Diary/2024/01/01.dia')
with open(os.path.join(out, 'text.zip'), 'wb') as text:
    text.write(b'not an archive at all\n')
)";

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void restoresDeletedDiaryByteForByte();
    void restoresOneDayLeavingOthers();
    void refusesBadArchive_data();
    void refusesBadArchive();
    void failedBackupKeepsOlder_data();
    void failedBackupKeepsOlder();

private:
    QString backUp();

    QTemporaryDir m_archives;
    std::unique_ptr<TestAppDir> m_dir;
};

void TestBackup::initTestCase()
{
    QVERIFY(m_archives.isValid());
    QProcess python;
    python.start(qEnvironmentVariable("KAKIVA_PYTHON", QStringLiteral("python3")),
                 {QStringLiteral("-c"), QString::fromLatin1(CraftArchives), m_archives.path()});
    QVERIFY(python.waitForFinished(120000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());

    // A real backup, cut short and damaged.
    const TestAppDir dir;
    writeDiary(dir);
    for (int day = 1; day <= 28; ++day)
        dir.write(QStringLiteral("Diary/2023/02/%1.dia").arg(day, 2, 10, QLatin1Char('0')),
                  QByteArray::number(day).repeated(200));
    QString error;
    QString written;
    QVERIFY2(writeBackupNow(&error, &written), qPrintable(error));
    const QByteArray whole = readWholeFile(written);
    writeWholeFile(m_archives.filePath(QStringLiteral("truncated.zip")),
                   whole.first(whole.size() / 2));
    // The first member's compressed bytes, after its local header and name and extra field.
    const auto field = [&whole](int at) { return uchar(whole[at]) | uchar(whole[at + 1]) << 8; };
    const qsizetype data = 30 + field(26) + field(28);
    QByteArray damaged = whole;
    damaged[data] = char(~damaged[data]);
    damaged[data + 1] = char(~damaged[data + 1]);
    writeWholeFile(m_archives.filePath(QStringLiteral("damaged.zip")), damaged);
}

void TestBackup::init()
{
    m_dir = std::make_unique<TestAppDir>();
    writeDiary(*m_dir);
}

void TestBackup::cleanup()
{
    m_dir.reset();
}

QString TestBackup::backUp()
{
    QString error;
    QString written;
    if (!writeBackupNow(&error, &written))
        QTest::qFail(qPrintable(error), __FILE__, __LINE__);
    return written;
}

void TestBackup::restoresDeletedDiaryByteForByte()
{
    const QString archive = backUp();
    const QMap<QString, QByteArray> members = membersOf(archive);
    QCOMPARE(members.keys(),
             (QStringList{"Diary/2024/03/05.dia", "Diary/2024/03/06.dia", "Diary/2025/01/01.dia",
                          "HTML/2024/03/05.html", "HTML/index.html", "HTML/kakiva.css",
                          "Kakiva.ini", "known_hosts", "sent.json"}));
    QVERIFY(!members.value(QStringLiteral("Kakiva.ini")).contains(Password.toLatin1()));
    QVERIFY(members.value(QStringLiteral("Kakiva.ini")).contains("Server=ftp.example.jp"));

    const Tree diary = treeBelow(m_dir->filePath(QStringLiteral("Diary")));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("Diary"))).removeRecursively());
    QVERIFY(IniWrite(FtpSection, PasswordKey, QStringLiteral("changed since")));

    QString error;
    QVERIFY2(restoreBackup(archive, &error), qPrintable(error));
    Tree hiddenLeftOut = diary;
    hiddenLeftOut.remove(QStringLiteral("2024/03/.05.dia.draft"));
    QCOMPARE(treeBelow(m_dir->filePath(QStringLiteral("Diary"))), hiddenLeftOut);
    QCOMPARE(IniRead(FtpSection, PasswordKey), QStringLiteral("changed since"));
    // The state before the restore was backed up, so the restore can be undone.
    QCOMPARE(listBackups(backupFolder()).size(), 2);
}

void TestBackup::restoresOneDayLeavingOthers()
{
    const QString archive = backUp();
    m_dir->write(QStringLiteral("Diary/2024/03/05.dia"), "edited later\r\n");
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("Diary/2024/03/06.dia"))));

    QString error;
    QVERIFY2(restoreDayEntry(archive, QDate(2024, 3, 6), &error), qPrintable(error));
    QCOMPARE(m_dir->read(QStringLiteral("Diary/2024/03/06.dia")), QByteArray("second day\r\n\r\n"));
    QCOMPARE(m_dir->read(QStringLiteral("Diary/2024/03/05.dia")), QByteArray("edited later\r\n"));

    QVERIFY(!restoreDayEntry(archive, QDate(2024, 3, 7), &error));
    verifyErrorNames(error, archive);
}

void TestBackup::refusesBadArchive_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"truncated", "damaged", "absolute", "dotdot", "link", "device",
                             "foreign", "huge", "empty", "tarball", "text"})
        QTest::newRow(name) << QString::fromLatin1(name) + QStringLiteral(".zip");
}

void TestBackup::refusesBadArchive()
{
    QFETCH(QString, name);
    const QString archive = m_archives.filePath(name);
    const Tree before = treeBelow(m_dir->path());

    BackupSummary summary;
    QString error;
    QVERIFY(!inspectBackup(archive, &summary, &error));
    verifyErrorNames(error, archive);
    error.clear();
    QVERIFY(!restoreBackup(archive, &error));
    verifyErrorNames(error, archive);
    QVERIFY(!restoreDayEntry(archive, QDate(2024, 1, 1), &error));
    // Nothing written, not even the backup before a restore.
    QCOMPARE(treeBelow(m_dir->path()), before);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/kakiva-absolute.dia")));
}

void TestBackup::failedBackupKeepsOlder_data()
{
    QTest::addColumn<bool>("folderIsFile");
    QTest::newRow("folder is a file") << true;
    QTest::newRow("disk full") << false;
}

void TestBackup::failedBackupKeepsOlder()
{
    QFETCH(bool, folderIsFile);
    backUp();
    if (folderIsFile)
        QVERIFY(setBackupFolder(m_dir->write(QStringLiteral("blocker"), "file"), nullptr));
    const Tree before = treeBelow(m_dir->path());

    QString error;
    bool written;
    {
        const FileSizeLimit full(folderIsFile ? RLIM_INFINITY : 512);
        written = writeBackupNow(&error);
    }
    QVERIFY(!written);
    QVERIFY2(error.contains(QDir::toNativeSeparators(backupFolder())), qPrintable(error));
    QCOMPARE(treeBelow(m_dir->path()), before);
}

QTEST_GUILESS_MAIN(TestBackup)
#include "TestBackup.moc"

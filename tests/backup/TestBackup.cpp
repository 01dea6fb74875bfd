#include "FileSizeLimit.h"
#include "TestAppDir.h"
#include "TestTree.h"

#include "backup/ArchivePlacement.h"
#include "backup/ArchiveRead.h"
#include "backup/ArchiveWrite.h"
#include "backup/BackupFolder.h"
#include "backup/BackupInspect.h"
#include "backup/BackupRestore.h"
#include "backup/BackupRun.h"
#include "diary/EntryDrafts.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

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
    const bool read = readBackupArchive(
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

// Archives no restore may take, made the way others would make them: Python's zipfile
// and tarfile, the tar compressed by the zstd program.
const char *const CraftArchives = R"(
import io, os, subprocess, sys, tarfile, zipfile
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
def tar(members):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode='w', format=tarfile.PAX_FORMAT) as archive:
        for member, kind, data, link in members:
            info = tarfile.TarInfo(member)
            info.type, info.linkname, info.mtime, info.mode = kind, link, 1704067200, 0o644
            info.size = len(data) if kind == tarfile.REGTYPE else 0
            archive.addfile(info, io.BytesIO(data) if kind == tarfile.REGTYPE else None)
    return buffer.getvalue()
def write(name, data):
    with open(os.path.join(out, name), 'wb') as file:
        file.write(data)
def zst(name, members):
    compressed = subprocess.run(['zstd', '-q', '-c'], input=tar(members), capture_output=True,
                                check=True).stdout
    write(name, compressed)
good = ('Diary/2024/01/01.dia', [b'restored\r\n'], 0o100644)
make('absolute.zip', [good, ('/tmp/kakiva-absolute.dia', [b'x'], 0o100644)])
make('dotdot.zip', [good, ('Diary/../../kakiva-outside.dia', [b'x'], 0o100644)])
make('link.zip', [good, ('Diary/2024/01/02.dia', [b'/etc/passwd'], 0o120777)])
make('device.zip', [good, ('Diary/2024/01/02.dia', [b''], 0o020644)])
make('foreign.zip', [good, ('photos/cat.jpg', [b'\xff\xd8'], 0o100644)])
make('huge.zip', [good, ('HTML/big.html', [bytes(1 << 20)] * 257, 0o100644)], zipfile.ZIP_DEFLATED)
make('bomb.zip', [good] + [('HTML/%d.html' % n, [bytes(1 << 20)] * 30, 0o100644)
                           for n in range(3)], zipfile.ZIP_DEFLATED)
make('linefeed.zip', [good, ('Diary/2024/01/02\n.dia', [b'x'], 0o100644)])
make('clash.zip', [good, ('Diary/2024', [b'x'], 0o100644)])
make('twice.zip', [good, ('Diary/2024/01/01.dia', [b'other\r\n'], 0o100644)])
make('empty.zip', [])
with tarfile.open(os.path.join(out, 'tarball.zip'), 'w:gz') as archive:
    archive.add(os.path.join(out, 'foreign.zip'), 'Diary/2024/01/01.dia')
with open(os.path.join(out, 'text.zip'), 'wb') as text:
    text.write(b'not an archive at all\n')
ok = ('Diary/2024/01/01.dia', tarfile.REGTYPE, b'restored\r\n', '')
def file(name, data=b'x'):
    return (name, tarfile.REGTYPE, data, '')
zst('absolute.tar.zst', [ok, file('/tmp/kakiva-absolute.dia')])
zst('dotdot.tar.zst', [ok, file('Diary/../../kakiva-outside.dia')])
zst('symlink.tar.zst', [ok, ('Diary/2024/01/02.dia', tarfile.SYMTYPE, b'', '/etc/passwd')])
zst('hardlink.tar.zst', [ok, ('Diary/2024/01/02.dia', tarfile.LNKTYPE, b'', '/etc/passwd')])
zst('device.tar.zst', [ok, ('Diary/2024/01/02.dia', tarfile.CHRTYPE, b'', '')])
zst('fifo.tar.zst', [ok, ('Diary/2024/01/02.dia', tarfile.FIFOTYPE, b'', '')])
zst('foreign.tar.zst', [ok, file('photos/cat.jpg')])
zst('draft.tar.zst', [ok, file('Diary/.drafts/20240101.txt')])
zst('lock.tar.zst', [ok, file('.Kakiva.lock')])
zst('huge.tar.zst', [ok, file('HTML/big.html', bytes(257 << 20))])
zst('bomb.tar.zst', [ok] + [file('HTML/%d.html' % n, bytes(30 << 20)) for n in range(3)])
zst('return.tar.zst', [ok, file('Diary/2024/01/02\r.dia')])
zst('linefeed.tar.zst', [ok, file('HTML/2024/01/a\nb.html')])
zst('delete.tar.zst', [ok, file('HTML/2024/01/a\x7f.html')])
zst('escape.tar.zst', [ok, file('HTML/2024/01/a\x1b.html')])
zst('fileThenFolder.tar.zst', [file('HTML/2024'), file('HTML/2024/01/01.html'), ok])
zst('folderThenFile.tar.zst', [ok, file('Diary/2024')])
zst('dirThenFile.tar.zst', [ok, ('HTML/a.html/', tarfile.DIRTYPE, b'', ''), file('HTML/a.html')])
zst('twice.tar.zst', [ok, file('HTML/a.html', b'checked'), file('HTML/a.html', b'written')])
zst('empty.tar.zst', [])
write('plain.tar.zst', tar([ok]))
write('gzip.tar.zst', subprocess.run(['gzip', '-c'], input=tar([ok]), capture_output=True,
                                     check=True).stdout)
write('zip.tar.zst', open(os.path.join(out, 'foreign.zip'), 'rb').read())
)";

// A backup as earlier versions wrote it: a stored zip archive of the data folder's files.
const char *const OldZipBackup = R"(
import os, sys, zipfile
data, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out, 'w', zipfile.ZIP_STORED) as archive:
    for name in ['Diary', 'HTML', 'sent.json', 'known_hosts', 'Kakiva.ini']:
        path = os.path.join(data, name)
        walked = [(path, [], [])] if os.path.isfile(path) else os.walk(path)
        for folder, folders, files in walked:
            folders[:] = sorted(f for f in folders if not f.startswith('.'))
            for each in ([path] if os.path.isfile(path) else
                         [os.path.join(folder, f) for f in sorted(files) if not f.startswith('.')]):
                archive.write(each, os.path.relpath(each, data))
)";

bool runPython(const char *script, const QStringList &arguments)
{
    QProcess python;
    python.start(qEnvironmentVariable("KAKIVA_PYTHON", QStringLiteral("python3")),
                 QStringList{QStringLiteral("-c"), QString::fromLatin1(script)} + arguments);
    if (!python.waitForFinished(120000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return false;
    }
    return true;
}

QByteArray damagedInTheMiddle(QByteArray whole, qsizetype at)
{
    for (qsizetype index = at; index < at + 8 && index < whole.size(); ++index)
        whole[index] = char(~whole[index]);
    return whole;
}

} // namespace

Q_DECLARE_METATYPE(Kakiva::RestoreStep)

class TestBackup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void restoresDeletedDiaryByteForByte();
    void restoresOneDayLeavingOthers();
    void restoresOneDayWithItsPictures_data();
    void restoresOneDayWithItsPictures();
    void refusesBadArchive_data();
    void refusesBadArchive();
    void failedBackupKeepsOlder_data();
    void failedBackupKeepsOlder();
    void restoresOldZipBackup();
    void listsBothFormats();
    void swappedArchiveIsNeverWritten_data();
    void swappedArchiveIsNeverWritten();
    void cancelledRestoreWritesNothing_data();
    void cancelledRestoreWritesNothing();
    void refusesTargetsInTheDataFolder_data();
    void refusesTargetsInTheDataFolder();
    void unreadableFileIsLeftOut_data();
    void unreadableFileIsLeftOut();
    void uncheckedArchiveTakesNoName_data();
    void uncheckedArchiveTakesNoName();
    void draftsStayOutOfBackups();

private:
    QString backUp();

    QTemporaryDir m_archives;
    std::unique_ptr<TestAppDir> m_dir;
};

void TestBackup::initTestCase()
{
    QVERIFY(m_archives.isValid());
    QVERIFY(runPython(CraftArchives, {m_archives.path()}));

    // A real backup of each format, cut short and damaged.
    const TestAppDir dir;
    writeDiary(dir);
    for (int day = 1; day <= 28; ++day)
        dir.write(QStringLiteral("Diary/2023/02/%1.dia").arg(day, 2, 10, QLatin1Char('0')),
                  QByteArray::number(day).repeated(200));
    QString error;
    QString written;
    QVERIFY2(writeBackupNow(&error, &written), qPrintable(error));
    QVERIFY(written.endsWith(QStringLiteral(".tar.zst")));
    const QByteArray solid = readWholeFile(written);
    writeWholeFile(m_archives.filePath(QStringLiteral("truncated.tar.zst")),
                   solid.first(solid.size() / 2));
    writeWholeFile(m_archives.filePath(QStringLiteral("damaged.tar.zst")),
                   damagedInTheMiddle(solid, solid.size() / 2));

    const QString old = m_archives.filePath(QStringLiteral("old.zip"));
    QVERIFY(runPython(OldZipBackup, {dir.path(), old}));
    const QByteArray whole = readWholeFile(old);
    writeWholeFile(m_archives.filePath(QStringLiteral("truncated.zip")),
                   whole.first(whole.size() / 2));
    // The first member's stored bytes, after its local header and name and extra field.
    const auto field = [&whole](int at) { return uchar(whole[at]) | uchar(whole[at + 1]) << 8; };
    writeWholeFile(m_archives.filePath(QStringLiteral("damaged.zip")),
                   damagedInTheMiddle(whole, 30 + field(26) + field(28)));
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

void TestBackup::restoresOneDayWithItsPictures_data()
{
    QTest::addColumn<bool>("pictureIsLinkToLock"); // where the day's picture goes back
    QTest::newRow("pictures come back with their day") << false;
    QTest::newRow("a picture's place is a link to the lock: refused") << true;
}

// The pictures lie beside the entry and go back with it; another day's stay as they are, and
// a picture is written only where any file of the diary may be.
void TestBackup::restoresOneDayWithItsPictures()
{
    QFETCH(bool, pictureIsLinkToLock);
    m_dir->write(QStringLiteral("Diary/2024/03/20240306-1.jpg"), "picture of the 6th");
    m_dir->write(QStringLiteral("Diary/2024/03/20240305-1.png"), "picture of the 5th");
    const QString archive = backUp();
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("Diary/2024/03/20240306-1.jpg"))));
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("Diary/2024/03/20240305-1.png"))));
    if (pictureIsLinkToLock)
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral(".Kakiva.lock")),
                            m_dir->filePath(QStringLiteral("Diary/2024/03/20240306-1.jpg"))));
    m_dir->write(QStringLiteral("Diary/2024/03/06.dia"), "edited later\r\n");

    QString error;
    QCOMPARE(restoreDayEntry(archive, QDate(2024, 3, 6), &error), !pictureIsLinkToLock);
    QCOMPARE(m_dir->read(QStringLiteral(".Kakiva.lock")), QByteArray("lock"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("Diary/2024/03/20240305-1.png"))));
    // The entry and its pictures go back together, or nothing of the day does.
    QCOMPARE(m_dir->read(QStringLiteral("Diary/2024/03/06.dia")),
             pictureIsLinkToLock ? QByteArray("edited later\r\n")
                                 : QByteArray("second day\r\n\r\n"));
    if (!pictureIsLinkToLock)
        QCOMPARE(m_dir->read(QStringLiteral("Diary/2024/03/20240306-1.jpg")),
                 QByteArray("picture of the 6th"));
    else
        verifyErrorNames(error, archive);
}

void TestBackup::refusesBadArchive_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"truncated", "damaged", "absolute", "dotdot", "link", "device", "foreign", "huge", "bomb",
          "linefeed", "clash", "twice", "empty", "tarball", "text"})
        QTest::newRow(qPrintable(QStringLiteral("zip: ") + QLatin1String(name)))
            << QString::fromLatin1(name) + QStringLiteral(".zip");
    for (const char *name :
         {"truncated", "damaged", "absolute",       "dotdot",         "symlink",
          "hardlink",  "device",  "fifo",           "foreign",        "draft",
          "lock",      "huge",    "bomb",           "return",         "linefeed",
          "delete",    "escape",  "fileThenFolder", "folderThenFile", "dirThenFile",
          "twice",     "empty",   "plain",          "gzip",           "zip"})
        QTest::newRow(qPrintable(QStringLiteral("tar.zst: ") + QLatin1String(name)))
            << QString::fromLatin1(name) + QStringLiteral(".tar.zst");
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
    // Three backups a day for twenty days, which the rotation thins out once a new one is
    // written and checked: the seven newest days keep all of theirs, the weeks one each.
    for (int backup = 0; backup < 60; ++backup) {
        const QDateTime taken(QDate(2021, 3, 1).addDays(backup / 3), QTime(8 + backup % 3, 0));
        writeWholeFile(backupFolder() + QStringLiteral("/Kakiva-") +
                           taken.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                           QStringLiteral(".zip"),
                       "older");
    }
    // Bytes no compression shrinks, so the archive outgrows the full disk.
    QByteArray noise(64 * 1024, Qt::Uninitialized);
    for (qsizetype index = 0; index < noise.size(); ++index)
        noise[index] = char((index * 7919 + (index >> 7) * 104729) ^ (index * index >> 5));
    m_dir->write(QStringLiteral("HTML/noise.html"), noise);
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

void TestBackup::restoresOldZipBackup()
{
    const QString old = backupFolder() + QStringLiteral("/Kakiva-20240101-120000.zip");
    QVERIFY(QDir().mkpath(backupFolder()));
    QVERIFY(runPython(OldZipBackup, {m_dir->path(), old}));
    const Tree diary = treeBelow(m_dir->filePath(QStringLiteral("Diary")));
    QVERIFY(QDir(m_dir->filePath(QStringLiteral("Diary"))).removeRecursively());

    BackupSummary summary;
    QString error;
    QVERIFY2(inspectBackup(old, &summary, &error), qPrintable(error));
    QCOMPARE(summary.days, 3);
    QVERIFY2(restoreDayEntry(old, QDate(2024, 3, 6), &error), qPrintable(error));
    QCOMPARE(m_dir->read(QStringLiteral("Diary/2024/03/06.dia")), QByteArray("second day\r\n\r\n"));
    QVERIFY2(restoreBackup(old, &error), qPrintable(error));
    Tree hiddenLeftOut = diary;
    hiddenLeftOut.remove(QStringLiteral("2024/03/.05.dia.draft"));
    QCOMPARE(treeBelow(m_dir->filePath(QStringLiteral("Diary"))), hiddenLeftOut);
}

void TestBackup::listsBothFormats()
{
    QVERIFY(QDir().mkpath(backupFolder()));
    const QStringList names{
        "Kakiva-20240101-120000.zip",           "Kakiva-20240101-120000-2.tar.zst",
        "Kakiva-20240102-080000.tar.zst",       "Kakiva-20231231-235959.zip",
        "Kakiva-20240103-080000.tar.gz",        "kakiva-20240104-080000.tar.zst",
        ".Kakiva-20240105-080000.part.tar.zst", "Kakiva-20240106.zip"};
    for (const QString &name : names)
        writeWholeFile(backupFolder() + QLatin1Char('/') + name, "x");
    QStringList listed;
    for (const BackupFile &backup : listBackups(backupFolder()))
        listed.append(QFileInfo(backup.path).fileName());
    QCOMPARE(listed,
             (QStringList{"Kakiva-20240102-080000.tar.zst", "Kakiva-20240101-120000-2.tar.zst",
                          "Kakiva-20240101-120000.zip", "Kakiva-20231231-235959.zip"}));
    // A new backup of a second that has an old one gets the next number.
    QCOMPARE(
        QFileInfo(newBackupPath(backupFolder(), QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59))))
            .fileName(),
        QStringLiteral("Kakiva-20231231-235959-2.tar.zst"));
}

void TestBackup::swappedArchiveIsNeverWritten_data()
{
    QTest::addColumn<QString>("swapIn");
    QTest::newRow("another backup") << QString();
    QTest::newRow("archive leading outside") << QStringLiteral("dotdot.tar.zst");
}

void TestBackup::swappedArchiveIsNeverWritten()
{
    QFETCH(QString, swapIn);
    const QString archive = backUp();
    QString other = swapIn.isEmpty() ? QString() : m_archives.filePath(swapIn);
    if (other.isEmpty()) {
        m_dir->write(QStringLiteral("Diary/2024/03/06.dia"), "swapped in\r\n");
        m_dir->write(QStringLiteral("Diary/2024/01/01.dia"), "swapped in\r\n");
        other = backUp();
    }
    const QByteArray otherBytes = readWholeFile(other);
    m_dir->write(QStringLiteral("Diary/2024/03/06.dia"), "edited later\r\n");
    QFile::remove(m_dir->filePath(QStringLiteral("Diary/2024/01/01.dia")));

    QString error;
    QList<RestoreStep> steps;
    // Replaced after the check, while the state before the restore is backed up.
    const bool restored =
        restoreBackup(archive, &error, RestoredConnection::Current, [&](RestoreStep step) {
            steps.append(step);
            if (step == RestoreStep::BackingUp)
                writeWholeFile(archive, otherBytes);
            return true;
        });
    QVERIFY2(restored, qPrintable(error));
    QCOMPARE(steps, (QList<RestoreStep>{RestoreStep::Checking, RestoreStep::BackingUp,
                                        RestoreStep::Writing}));
    QCOMPARE(readWholeFile(archive), otherBytes);
    QCOMPARE(m_dir->read(QStringLiteral("Diary/2024/03/06.dia")), QByteArray("second day\r\n\r\n"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("Diary/2024/01/01.dia"))));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("../kakiva-outside.dia"))));
}

void TestBackup::cancelledRestoreWritesNothing_data()
{
    QTest::addColumn<RestoreStep>("stopAt");
    QTest::newRow("while it is checked") << RestoreStep::Checking;
    QTest::newRow("before the current state is backed up") << RestoreStep::BackingUp;
    QTest::newRow("just before the writing") << RestoreStep::Writing;
}

// The user may cancel a restore at each step up to the writing: the diary is then as it was.
void TestBackup::cancelledRestoreWritesNothing()
{
    QFETCH(RestoreStep, stopAt);
    const QString archive = backUp();
    m_dir->write(QStringLiteral("Diary/2024/03/06.dia"), "edited later\r\n");
    const Tree before = treeBelow(m_dir->filePath(QStringLiteral("Diary")));
    QString error;
    QVERIFY(!restoreBackup(archive, &error, RestoredConnection::Current,
                           [&](RestoreStep step) { return step != stopAt; }));
    QCOMPARE(treeBelow(m_dir->filePath(QStringLiteral("Diary"))), before);
}

void TestBackup::refusesTargetsInTheDataFolder_data()
{
    QTest::addColumn<QString>("blocked");
    QTest::addColumn<QString>("kind");
    QTest::newRow("a page is a link to the lock")
        << QStringLiteral("HTML/kakiva.css") << QStringLiteral("link");
    QTest::newRow("a folder where a page goes")
        << QStringLiteral("HTML/index.html") << QStringLiteral("folder");
    QTest::newRow("a file where a folder goes")
        << QStringLiteral("HTML/2024") << QStringLiteral("file");
}

void TestBackup::refusesTargetsInTheDataFolder()
{
    QFETCH(QString, blocked);
    QFETCH(QString, kind);
    const QString archive = backUp();
    const QString path = m_dir->filePath(blocked);
    QVERIFY(QDir(path).removeRecursively() && (!QFileInfo::exists(path) || QFile::remove(path)));
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral(".Kakiva.lock")), path));
    else if (kind == QLatin1String("folder"))
        m_dir->write(blocked + QStringLiteral("/inside.html"), "user's");
    else
        m_dir->write(blocked, "user's");
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("Diary/2024/03/06.dia"))));
    const Tree before = treeBelow(m_dir->path());

    QString error;
    QVERIFY(!restoreBackup(archive, &error));
    verifyErrorNames(error, archive);
    // Refused before anything was written, not even the backup before a restore.
    QCOMPARE(treeBelow(m_dir->path()), before);
    QCOMPARE(m_dir->read(QStringLiteral(".Kakiva.lock")), QByteArray("lock"));
}

void TestBackup::unreadableFileIsLeftOut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("reason");
    const int notAFile = int(LeftOutReason::NotAFile);
    QTest::newRow("sent.json is a pipe") << "sent.json"
                                         << "pipe" << notAFile;
    QTest::newRow("known_hosts is a folder") << "known_hosts"
                                             << "folder" << notAFile;
    QTest::newRow("Kakiva.ini is a pipe") << "Kakiva.ini"
                                          << "pipe" << notAFile;
    QTest::newRow("an entry cannot be opened") << "Diary/2024/03/05.dia"
                                               << "no permission" << int(LeftOutReason::Unreadable);
}

void TestBackup::unreadableFileIsLeftOut()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(int, reason);
    if (kind == QLatin1String("no permission") && ::geteuid() == 0)
        QSKIP("the superuser reads every file");
    const QString path = m_dir->filePath(name);
    QVERIFY(QFile::remove(path));
    if (kind == QLatin1String("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(path + QStringLiteral("/inside")));
    else
        QVERIFY(QFile(m_dir->write(name, "secret")).setPermissions({}));

    QString error;
    QString written;
    QList<LeftOutFile> leftOut;
    QVERIFY2(writeBackupNow(&error, &written, Pruning::Rotate, &leftOut), qPrintable(error));
    QCOMPARE(leftOut.size(), 1);
    QCOMPARE(leftOut.first().name, name);
    QCOMPARE(int(leftOut.first().reason), reason);
    const QMap<QString, QByteArray> members = membersOf(written);
    QVERIFY(!members.contains(name));
    QCOMPARE(members.value(QStringLiteral("Diary/2024/03/06.dia")),
             QByteArray("second day\r\n\r\n"));
    QCOMPARE(members.size(), 8);
}

void TestBackup::uncheckedArchiveTakesNoName_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("placed");
    QTest::newRow("intact") << QString() << true;
    QTest::newRow("cut short") << QStringLiteral("cut") << false;
    QTest::newRow("damaged") << QStringLiteral("damaged") << false;
    QTest::newRow("a member missing") << QStringLiteral("missing") << false;
    QTest::newRow("other bytes of the same size") << QStringLiteral("other bytes") << false;
}

void TestBackup::uncheckedArchiveTakesNoName()
{
    QFETCH(QString, fault);
    QFETCH(bool, placed);
    QVERIFY(QDir().mkpath(backupFolder()));
    const QString temporary =
        backupFolder() + QStringLiteral("/.Kakiva-20240101-120000.part.tar.zst");
    const QString path = backupFolder() + QStringLiteral("/Kakiva-20240101-120000.tar.zst");
    QList<ArchiveMember> members;
    for (int day = 1; day <= 28; ++day)
        members.append({QStringLiteral("Diary/2023/02/%1.dia").arg(day, 2, 10, QLatin1Char('0')),
                        {},
                        QByteArray::number(day * 7919).repeated(300),
                        0});
    WrittenArchive written;
    QString error;
    {
        QFile file(temporary);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY2(writeBackupArchive(file, members, &written, &error), qPrintable(error));
    }
    const QByteArray bytes = readWholeFile(temporary);
    if (fault == QLatin1String("cut"))
        writeWholeFile(temporary, bytes.first(bytes.size() - 40));
    else if (fault == QLatin1String("damaged"))
        writeWholeFile(temporary, damagedInTheMiddle(bytes, bytes.size() / 2));
    else if (fault == QLatin1String("missing"))
        written.members.append({QStringLiteral("Diary/2023/03/01.dia"), 1, 0});
    else if (fault == QLatin1String("other bytes"))
        written.members[3].digest ^= 1;

    QCOMPARE(placeCheckedArchive(temporary, path, written.members, &error), placed);
    QCOMPARE(QFileInfo::exists(path), placed);
    QVERIFY(!QFileInfo::exists(temporary));
    if (!placed)
        verifyErrorNames(error, path);
}

void TestBackup::draftsStayOutOfBackups()
{
    // A draft lives only while its dialog is open; a restored one would stand against the
    // entry restored beside it. Backups leave drafts out, and a restore leaves them be.
    const DateFields day{QStringLiteral("2024"), QStringLiteral("03"), QStringLiteral("07")};
    QVERIFY(writeDraft(day, QStringLiteral("typed, not saved")));
    const QString archive = backUp();
    const QMap<QString, QByteArray> members = membersOf(archive);
    for (const QString &name : members.keys())
        QVERIFY2(!name.contains(QStringLiteral("drafts")), qPrintable(name));
    QCOMPARE(members.size(), 9);

    QVERIFY(writeDraft(day, QStringLiteral("typed later")));
    QString error;
    QVERIFY2(restoreBackup(archive, &error), qPrintable(error));
    QCOMPARE(pendingDraft(day), std::optional<QString>(QStringLiteral("typed later")));
}

QTEST_GUILESS_MAIN(TestBackup)
#include "TestBackup.moc"

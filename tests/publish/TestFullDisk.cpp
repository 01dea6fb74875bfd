// Real servers whose disk fills up between two uploads: each serves the remote directory
// from a small tmpfs of its own, which is full when the second upload comes. The server must
// keep the old pages whole, the record must not call the new ones sent, and once the space is
// back the next upload puts the new pages up and leaves none of its temporaries behind.
// Mounting needs root; without it the test skips.

#include "DayPages.h"
#include "PyFtpServer.h"
#include "SshServer.h"
#include "TestAppDir.h"
#include "TestCertificates.h"
#include "UnpackedFtpServer.h"
#include "VsftpdServer.h"

#include "pages/PagePaths.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/TemporaryNames.h"
#include "publish/UploadAttempt.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using namespace Kakiva;
using namespace std::chrono_literals;

namespace {

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");
const QString Directory = QStringLiteral("www");

enum class Peer
{
    PyFtpdLib,
    Vsftpd, // FTP over TLS
    Sshd,
    // Unpacked from Debian's packages.
    Proftpd,
    ProftpdWithDigests,
    PureFtpd,
};

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A tmpfs at path, owned by the owner of the directory above it (the server's user), taken
// away again however the test ends.
class SmallDisk
{
public:
    bool mount(const QString &path)
    {
        struct stat above = {};
        if (!QDir().mkpath(path) || ::stat(QFileInfo(path).path().toLocal8Bit().constData(), &above) != 0)
            return false;
        m_mounted = run(QStringLiteral("mount"),
                        {"-t", "tmpfs", "-o",
                         QStringLiteral("size=256k,mode=0755,uid=%1,gid=%2")
                             .arg(above.st_uid)
                             .arg(above.st_gid),
                         "tmpfs", path});
        m_path = path;
        return m_mounted;
    }

    ~SmallDisk()
    {
        if (m_mounted)
            run(QStringLiteral("umount"), {"-l", m_path});
    }

    // Writes a file until the disk takes no more.
    bool fill()
    {
        QFile filler(QDir(m_path).filePath(QStringLiteral("filler.bin")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray chunk(4096, 'x');
        while (filler.write(chunk) == chunk.size()) {
        }
        return filler.size() > 0;
    }

    bool makeRoom() { return QFile::remove(QDir(m_path).filePath(QStringLiteral("filler.bin"))); }

private:
    QString m_path;
    bool m_mounted = false;
};

// One real server of each kind, started on a free loopback port.
struct RealServer
{
    std::optional<TestCertificates> certificates;
    std::unique_ptr<PyFtpServer> py;
    std::unique_ptr<VsftpdServer> vsftpd;
    std::unique_ptr<SshServer> ssh;
    std::unique_ptr<UnpackedFtpServer> unpacked;

    bool start(Peer peer)
    {
        switch (peer) {
        case Peer::Proftpd:
            unpacked = std::make_unique<UnpackedFtpServer>(UnpackedFtpServer::Kind::Proftpd);
            return unpacked->isRunning();
        case Peer::ProftpdWithDigests:
            unpacked =
                std::make_unique<UnpackedFtpServer>(UnpackedFtpServer::Kind::ProftpdWithDigests);
            return unpacked->isRunning();
        case Peer::PureFtpd:
            unpacked = std::make_unique<UnpackedFtpServer>(UnpackedFtpServer::Kind::PureFtpd);
            return unpacked->isRunning();
        case Peer::PyFtpdLib:
            py = std::make_unique<PyFtpServer>();
            return py->isRunning();
        case Peer::Vsftpd: {
            certificates.emplace();
            if (!certificates->isReady())
                return false;
            certificates->trustAuthority();
            const auto files = certificates->signedByCa();
            vsftpd = std::make_unique<VsftpdServer>(files.certificate, files.key, false);
            return vsftpd->isRunning();
        }
        case Peer::Sshd:
            ssh = std::make_unique<SshServer>();
            return ssh->isRunning() && ssh->logsInWithPassword();
        }
        return false;
    }

    QString home() const
    {
        return unpacked ? unpacked->homePath()
               : py     ? py->homePath()
               : vsftpd ? vsftpd->homePath()
                        : ssh->homePath();
    }

    void writeSettings() const
    {
        if (unpacked)
            writeFtpSettings(unpacked->serverString(), unpacked->user(), unpacked->password(),
                             Directory);
        else if (py)
            writeFtpSettings(py->serverString(), py->user(), py->password(), Directory);
        else if (vsftpd)
            writeFtpSettings(vsftpd->serverString(), vsftpd->user(), vsftpd->password(), Directory);
        else
            writeFtpSettings(ssh->serverString(), ssh->user(), ssh->password(), Directory);
    }
};

PublishResult upload()
{
    const auto trust = [](const HostKeyQuestion &) { return true; };
    const PublishRequest request{destinationOf(readSettings()), IniRead(FtpSection, PasswordKey),
                                 10s, nullptr, {{}, trust}};
    UploadAttempt attempt(request, [](OutcomeKind) {});
    return attempt.run(sitePagesOfDay(Year, Month, Day)).result;
}

QMap<QString, QByteArray> pagesOn(const QString &root)
{
    QMap<QString, QByteArray> pages;
    for (const QString &page : sitePagesOfDay(Year, Month, Day)) {
        QFile file(QDir(root).filePath(page));
        pages.insert(page, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)"));
    }
    return pages;
}

QMap<QString, QByteArray> pagesHere()
{
    return pagesOn(htmlRootPath());
}

QStringList temporariesBelow(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (isTemporaryName(QFileInfo(path).fileName()))
            found.append(path);
    }
    return found;
}

} // namespace

Q_DECLARE_METATYPE(Peer)

class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void fullDisk_data();
    void fullDisk();
};

void TestFullDisk::fullDisk_data()
{
    QTest::addColumn<Peer>("peer");
    QTest::newRow("pyftpdlib") << Peer::PyFtpdLib;
    QTest::newRow("vsftpd, FTP over TLS") << Peer::Vsftpd;
    QTest::newRow("sshd") << Peer::Sshd;
    QTest::newRow("proftpd") << Peer::Proftpd;
    QTest::newRow("proftpd with mod_digest") << Peer::ProftpdWithDigests;
    QTest::newRow("pure-ftpd") << Peer::PureFtpd;
}

void TestFullDisk::fullDisk()
{
    QFETCH(Peer, peer);
    if (::geteuid() != 0)
        QSKIP("mounting a tmpfs needs root");
    TestAppDir app;
    RealServer server;
    const bool started = server.start(peer);
    if (server.unpacked && server.unpacked->unavailable())
        QSKIP(qPrintable(server.unpacked->errorString()));
    QVERIFY2(started, server.unpacked ? qPrintable(server.unpacked->errorString())
                                      : "the server did not start");
    const QString root = QDir(server.home()).filePath(Directory);
    SmallDisk disk;
    QVERIFY(disk.mount(root));
    server.writeSettings();

    writeSavedDay(Year, Month, QStringLiteral("03"));
    writeSavedDay(Year, Month, Day, QStringLiteral("古い日記"));
    QCOMPARE(upload(), PublishResult::Succeeded);
    const QMap<QString, QByteArray> old = pagesOn(root);
    QCOMPARE(old, pagesHere());

    // Larger than any page before, so no page fits where the old one was.
    writeSavedDay(Year, Month, Day, QString(20000, QChar(0x65e5)));
    QVERIFY(disk.fill());
    QCOMPARE(upload(), PublishResult::Failed);
    QCOMPARE(pagesOn(root), old);
    const ServerRecord record(destinationOf(readSettings()));
    for (const QString &page : sitePagesOfDay(Year, Month, Day)) {
        const bool changed = readWholeFile(localPathOf(page)) != old.value(page);
        QVERIFY2(!changed || !record.holds(page, fileDigest(localPathOf(page))), qPrintable(page));
    }

    QVERIFY(disk.makeRoom());
    QCOMPARE(upload(), PublishResult::Succeeded);
    QCOMPARE(pagesOn(root), pagesHere());
    QCOMPARE(temporariesBelow(root), QStringList());
    QCOMPARE(ServerRecord(destinationOf(readSettings())).temporaries(), QStringList());
    // Where the server tells digests, the first upload found out and the last checked by them.
    if (peer == Peer::Proftpd || peer == Peer::ProftpdWithDigests) {
        const QStringList hashes = server.unpacked->commands().filter(QRegularExpression("^HASH "));
        QCOMPARE(hashes.size(), peer == Peer::ProftpdWithDigests ? 4 : 0);
    }
}

QTEST_GUILESS_MAIN(TestFullDisk)
#include "TestFullDisk.moc"

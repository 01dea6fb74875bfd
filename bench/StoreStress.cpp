// Many stores of files of many sizes, several sessions at once, against a real pyftpdlib
// server on loopback: does the data the client sends right after STOR ever reach the server
// before the command, and what does the server do then? Every stored file is compared byte
// for byte; the table counts the outcomes and the server's first reply to each STOR
// (125: it had taken the data connection before the command; 150: the other way round).
//
//   bench_store_stress [stores] [sessions] [seconds]
//
// Defaults: 400 stores over 4 sessions, 120 s at most; each call gives up after 10 s.

#include "PyFtpServer.h"

#include "publish/ftp/FtpClient.h"
#include "publish/ftp/FtpResult.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMutex>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace Kakiva;
using namespace std::chrono_literals;

// From one byte to past 1 MiB; 200 KB and more for several of them.
constexpr qint64 Sizes[] = {1, 517, 2900, 16387, 65536, 204811, 262144, 300000, 1048583, 40};

QByteArray patterned(qint64 size, int seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 251) & 0xff);
    return bytes;
}

struct Tally
{
    QMutex mutex;
    int stored = 0;
    int mismatched = 0;
    int resent = 0;
    int reply125 = 0;
    int reply150 = 0;
    int connectFailures = 0;
    QMap<int, int> failures; // PutFile result -> count
};

int countReplies(const QString &logPath, const QByteArray &code)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<int>(log.readAll().count("< " + code + ' '));
}

void runSession(const PyFtpServer &server, const QString &localDir, int session, int stores,
                const QDeadlineTimer &budget, Tally &tally)
{
    const QString remoteDir = QStringLiteral("s%1").arg(session);
    QDir(server.homePath()).mkdir(remoteDir);
    const QString logPath = QStringLiteral("%1/session%2.log").arg(localDir).arg(session);

    FtpClient client;
    client.setTimeout(10s);
    client.OpenLog(logPath, 1);
    bool connected = false;
    for (int i = 0; i < stores && !budget.hasExpired(); ++i) {
        if (!connected) {
            connected =
                client.Connect(server.serverString(), server.user(), server.password()) == 0 &&
                client.Command(QStringLiteral("CWD ") + remoteDir) == 2;
            if (!connected) {
                QMutexLocker lock(&tally.mutex);
                ++tally.connectFailures;
                continue;
            }
        }
        const qint64 size = Sizes[(i + session) % std::size(Sizes)];
        const QByteArray bytes = patterned(size, i);
        const QString name = QStringLiteral("f%1.bin").arg(i);
        const QString path = QStringLiteral("%1/%2-%3").arg(localDir).arg(session).arg(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        file.close();

        const qint16 result = client.PutFile(path, name);
        QFile::remove(path);
        QMutexLocker lock(&tally.mutex);
        if (result != FtpResult::PutFile::Stored) {
            ++tally.failures[result];
            connected = false; // start afresh, as the upload window would
            continue;
        }
        if (server.remoteFile(remoteDir + QLatin1Char('/') + name) == bytes)
            ++tally.stored;
        else
            ++tally.mismatched;
    }
    client.Close();
    client.CloseLog();
    QMutexLocker lock(&tally.mutex);
    tally.resent += client.wireStats().storesResent;
    tally.reply125 += countReplies(logPath, "125");
    tally.reply150 += countReplies(logPath, "150");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int stores = argc > 1 ? std::atoi(argv[1]) : 400;
    const int sessions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 4;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 120;

    PyFtpServer server;
    if (!server.isRunning()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    QTemporaryDir local;
    const QDeadlineTimer budget{std::chrono::seconds(seconds)};
    Tally tally;
    std::vector<std::thread> threads;
    for (int session = 0; session < sessions; ++session) {
        const int share = stores / sessions + (session < stores % sessions ? 1 : 0);
        threads.emplace_back([&, session, share] {
            runSession(server, local.path(), session, share, budget, tally);
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    int failed = tally.connectFailures;
    for (const int count : tally.failures)
        failed += count;
    std::printf("%-34s %d\n", "stores asked", stores);
    std::printf("%-34s %d (%d sessions%s)\n", "stores tried",
                tally.stored + tally.mismatched + failed, sessions,
                budget.hasExpired() ? ", time budget reached" : "");
    std::printf("%-34s %d\n", "stored byte for byte", tally.stored);
    std::printf("%-34s %d\n", "stored but different", tally.mismatched);
    std::printf("%-34s %d\n", "sent again in the classic order", tally.resent);
    std::printf("%-34s %d\n", "first reply 125 (data conn. first)", tally.reply125);
    std::printf("%-34s %d\n", "first reply 150 (STOR first)", tally.reply150);
    std::printf("%-34s %d\n", "connect or CWD failed", tally.connectFailures);
    for (auto it = tally.failures.cbegin(); it != tally.failures.cend(); ++it)
        std::printf("PutFile gave %-22d %d\n", it.key(), it.value());
    return failed + tally.mismatched == 0 ? 0 : 2;
}

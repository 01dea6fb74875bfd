// One publish of the four pages of a date over SFTP, as the upload makes it (connect, enter
// the remote directory, enter or make the month directory, send the four pages together), by our
// client, by OpenSSH's sftp running a batch file and by curl sending the same four files in one
// invocation, all to the same sshd on loopback.
//
// Round trips are read from wall time: every publish runs once straight to the server and
// once through a relay that holds each chunk 25 ms in each direction, so each round trip
// costs 50 ms more; (relayed - direct) / 50 ms counts them, the SSH handshake included. Our
// client also reports its own count of SFTP requests and waits. All three log in with the
// same key through an ssh-agent; ours and curl also with the password when that exists.
//
//   bench_sftp_publish [publishes]    (5 unless given; the median is reported)

#include "SshServer.h"
#include "TcpRelay.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "platform/AppDir.h"
#include "publish/sftp/SftpClient.h"
#include "publish/sftp/SftpResult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using namespace Kakiva;
using namespace std::chrono_literals;

constexpr auto RelayDelay = 25ms;
constexpr int ToolTimeoutMs = 60000;
const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");
const QString Root = QStringLiteral("diary");

enum class Remote
{
    ExistingDirectories,
    NewYear
};

struct Run
{
    bool ok = false;
    double ms = 0;
    WireStats stats; // ours only
};

using Publisher = std::function<Run(quint16 port, Remote remote)>;

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

class Bench
{
public:
    bool prepare(QString *error)
    {
        setApplicationDirectory(m_app.path());
        if (!writeDiary(error))
            return false;
        if (!m_server.isRunning() || !m_server.startKeyAgent()) {
            *error = m_server.errorString();
            return false;
        }
        return true;
    }

    // Our known-hosts file learns the key once for each port; the tools are told to take it.
    bool trustHostKey(quint16 port)
    {
        SftpClient client;
        client.setKnownHostsFiles(knownHosts());
        client.setHostKeyTrust([](const HostKeyQuestion &) { return true; });
        return client.Connect(m_server.serverString(port), m_server.user(), QString()) == 0;
    }

    KnownHostsFiles knownHosts() const
    {
        return {m_app.filePath(QStringLiteral("none")), m_app.filePath(QStringLiteral("known"))};
    }

    void prepareRemote(Remote remote)
    {
        QDir(m_server.homePath() + QLatin1Char('/') + Root).removeRecursively();
        m_server.makeRemoteDirectory(remote == Remote::NewYear ? Root
                                                               : Root + '/' + Year + '/' + Month);
    }

    // The four pages, local path and remote path, in the order they are sent.
    QList<std::pair<QString, QString>> pages() const
    {
        const QString month = Root + '/' + Year + '/' + Month + '/';
        return {{yearListPath(), Root + QStringLiteral("/year.html")},
                {monthListPath(Year), Root + '/' + Year + QStringLiteral("/index.html")},
                {dayListPath(Year, Month), month + QStringLiteral("index.html")},
                {dayPagePath(Year, Month, Day), month + Day + QStringLiteral(".html")}};
    }

    bool remoteMatchesLocal() const
    {
        for (const auto &[local, remote] : pages()) {
            QFile file(local);
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != m_server.remoteFile(remote))
                return false;
        }
        return true;
    }

    qint64 pageBytes() const
    {
        qint64 total = 0;
        for (const auto &page : pages())
            total += QFile(page.first).size();
        return total;
    }

    Run ours(quint16 port, Remote remote, const QString &password)
    {
        prepareRemote(remote);
        const auto start = std::chrono::steady_clock::now();
        SftpClient client;
        client.setKnownHostsFiles(knownHosts());
        Run run;
        run.ok = client.Connect(m_server.serverString(port), m_server.user(), password) == 0 &&
                 client.Command(QStringLiteral("CWD ") + Root) == 2 &&
                 enter(client, Year + '/' + Month) &&
                 client.PutFiles({{pages().at(0).first, QStringLiteral("../.."), {}},
                                  {pages().at(1).first, QStringLiteral(".."), {}},
                                  {pages().at(2).first, {}, {}},
                                  {pages().at(3).first, {}, {}}}) == QList<qint16>(4, 1);
        client.Close();
        run.ms = msSince(start);
        run.stats = client.wireStats();
        run.ok = run.ok && remoteMatchesLocal();
        return run;
    }

    Run sftpBatch(quint16 port, Remote remote)
    {
        prepareRemote(remote);
        const auto make = [remote](const QString &name) {
            return remote == Remote::NewYear ? QStringLiteral("-mkdir %1\n").arg(name) : QString();
        };
        const QString batch =
            QStringLiteral("cd %1\nput %2\n").arg(Root, pages().at(0).first) + make(Year) +
            QStringLiteral("cd %1\nput %2\n").arg(Year, pages().at(1).first) + make(Month) +
            QStringLiteral("cd %1\nput %2\nput %3\n")
                .arg(Month, pages().at(2).first, pages().at(3).first);
        const QString batchPath = m_app.filePath(QStringLiteral("batch"));
        QFile file(batchPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(batch.toUtf8()) < 0)
            return {};
        file.close();
        return tool(remote, QStringLiteral("sftp"),
                    {QStringLiteral("-q"), QStringLiteral("-b"), batchPath, QStringLiteral("-P"),
                     QString::number(port), QStringLiteral("-o"),
                     QStringLiteral("StrictHostKeyChecking=no"), QStringLiteral("-o"),
                     QStringLiteral("UserKnownHostsFile=/dev/null"), QStringLiteral("-o"),
                     QStringLiteral("BatchMode=yes"),
                     m_server.user() + QStringLiteral("@127.0.0.1")});
    }

    Run curl(quint16 port, Remote remote, bool withPassword)
    {
        prepareRemote(remote);
        QStringList arguments{QStringLiteral("-s"),
                              QStringLiteral("-S"),
                              QStringLiteral("--hostpubsha256"),
                              m_server.hostKeyFingerprint().mid(7),
                              QStringLiteral("-u"),
                              m_server.user() + ':' + (withPassword ? m_server.password() : "")};
        if (!withPassword) {
            arguments << QStringLiteral("--key") << m_server.clientKeyPath()
                      << QStringLiteral("--pubkey") << m_server.clientKeyPath() + ".pub";
        }
        if (remote == Remote::NewYear)
            arguments << QStringLiteral("--ftp-create-dirs");
        for (const auto &[local, remotePath] : pages()) {
            arguments << QStringLiteral("-T") << local
                      << QStringLiteral("sftp://127.0.0.1:%1/~/%2").arg(port).arg(remotePath);
        }
        return tool(remote, QStringLiteral("curl"), arguments);
    }

    SshServer &server() { return m_server; }

private:
    // The month directory, made with the year when missing, as the upload enters it.
    static bool enter(SftpClient &client, const QString &month)
    {
        if (client.Command(QStringLiteral("CWD ") + month) == 2)
            return true;
        client.Command(QStringLiteral("MKD ") + month.section('/', 0, 0));
        client.Command(QStringLiteral("MKD ") + month);
        return client.Command(QStringLiteral("CWD ") + month) == 2;
    }

    Run tool(Remote, const QString &program, const QStringList &arguments)
    {
        const auto start = std::chrono::steady_clock::now();
        QProcess process;
        process.start(program, arguments);
        const bool finished = process.waitForFinished(ToolTimeoutMs);
        Run run;
        run.ms = msSince(start);
        run.ok = finished && process.exitStatus() == QProcess::NormalExit &&
                 process.exitCode() == 0 && remoteMatchesLocal();
        if (!run.ok) {
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                         process.readAllStandardError().constData());
        }
        return run;
    }

    // Ten years of entries, a few a month and daily in the published month, each a long
    // day's text, so the lists and the day page have the sizes of a diary in use.
    static bool writeDiary(QString *error)
    {
        const QString paragraph = QStringLiteral("朝から雨。駅前の喫茶店で本を読んだ。"
                                                 "夕方には晴れて、川沿いを歩いて帰った。\r\n");
        const QString text = paragraph.repeated(12);
        for (int year = 2015; year <= 2024; ++year) {
            for (int month = 1; month <= (year == 2024 ? 5 : 12); ++month) {
                const bool published = year == 2024 && month == 5;
                for (int day = 1; day <= (published ? 7 : 28); day += published ? 1 : 9) {
                    const QString y = QString::number(year);
                    const QString m = QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0'));
                    const QString d = QStringLiteral("%1").arg(day, 2, 10, QLatin1Char('0'));
                    if (DiaryWrite(y, m, d, text, error) != 0 || HtmlMake(y, m, d, error) != 0)
                        return false;
                }
            }
        }
        return true;
    }

    QTemporaryDir m_app;
    SshServer m_server;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int publishes = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    Bench bench;
    QString error;
    if (!bench.prepare(&error)) {
        std::fprintf(stderr, "bench_sftp_publish: %s\n", qPrintable(error));
        return 1;
    }
    TcpRelay relay(bench.server().port(), RelayDelay);
    if (!bench.trustHostKey(bench.server().port()) || !bench.trustHostKey(relay.port())) {
        std::fprintf(stderr, "bench_sftp_publish: our client could not log in with the key\n");
        return 1;
    }
    const double roundTripMs = 2.0 * double(RelayDelay.count());

    std::vector<std::pair<QString, Publisher>> publishers = {
        {QStringLiteral("ours, key"),
         [&](quint16 p, Remote r) { return bench.ours(p, r, QString()); }},
        {QStringLiteral("sftp -b, key"),
         [&](quint16 p, Remote r) { return bench.sftpBatch(p, r); }},
        {QStringLiteral("curl, key"), [&](quint16 p, Remote r) { return bench.curl(p, r, false); }},
    };
    if (bench.server().logsInWithPassword()) {
        const QString password = bench.server().password();
        publishers.push_back({QStringLiteral("ours, password"), [&, password](quint16 p, Remote r) {
                                  return bench.ours(p, r, password);
                              }});
        publishers.push_back({QStringLiteral("curl, password"),
                              [&](quint16 p, Remote r) { return bench.curl(p, r, true); }});
    }

    std::printf("Four pages, %lld bytes; %d publishes each, medians; relay %lld ms each way\n",
                static_cast<long long>(bench.pageBytes()), publishes,
                static_cast<long long>(RelayDelay.count()));
    std::printf("%-16s %-9s %10s %12s %12s %14s\n", "client", "remote", "direct ms", "relayed ms",
                "round trips", "SFTP req/wait");
    for (const Remote remote : {Remote::ExistingDirectories, Remote::NewYear}) {
        for (const auto &[name, publish] : publishers) {
            std::vector<double> direct, relayed;
            WireStats stats;
            bool ok = true;
            for (int i = 0; i < publishes && ok; ++i) {
                const Run straight = publish(bench.server().port(), remote);
                const Run held = publish(relay.port(), remote);
                ok = straight.ok && held.ok;
                direct.push_back(straight.ms);
                relayed.push_back(held.ms);
                stats = held.stats;
            }
            const double trips = (median(relayed) - median(direct)) / roundTripMs;
            const QString wire =
                stats.commandsSent
                    ? QStringLiteral("%1/%2").arg(stats.commandsSent).arg(stats.roundTrips)
                    : QStringLiteral("-");
            std::printf("%-16s %-9s %10.1f %12.1f %12.1f %14s%s\n", qPrintable(name),
                        remote == Remote::NewYear ? "new year" : "existing", median(direct),
                        median(relayed), trips, qPrintable(wire), ok ? "" : "  FAILED");
        }
    }
    return 0;
}

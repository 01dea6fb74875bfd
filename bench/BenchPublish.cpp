// One publish of the four pages of a date as the upload window makes it (an UploadAttempt
// driving the FTP client), against curl sending the same four files in one invocation and
// lftp doing the same in one script, all to the same pyftpdlib server on loopback: into
// existing year and month directories, and into a new year. With --tls the server requires
// explicit TLS (a certificate from a test authority every client is told to trust): Kakiva
// uses "ftpes://", curl --ssl-reqd, lftp ftp:ssl-force. Reports wall time per publish, the
// commands the server received (from its own log) and the round trips, each one wait for a
// reply of the server (TLS handshakes come on top, the same for every client: one for the
// control connection and one per file).
//
// Our round trips are the client's own count. curl and lftp (in its default sync mode) wait
// for every reply in turn: for the greeting, for the answer to each command (QUIT included)
// and, for each file, once more for the end of the transfer after the data; their count
// follows from the server's log.
//
//   bench_publish [--publishes=N] [--tls] [Google Benchmark options]    (N = 25 unless given)
//
// The server is started and stopped by the benchmark; every call and curl run is bounded.

#include "DayPages.h"
#include "RealFtpServer.h"
#include "TestCertificates.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "platform/AppDir.h"
#include "publish/UploadAttempt.h"
#include "publish/ftp/FtpClient.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Kakiva;
using namespace std::chrono_literals;

constexpr int DefaultPublishes = 25;
constexpr int ClientTimeoutSeconds = 30;
constexpr int QuitLoggedWaitMs = 2000;

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");
const QString RemoteRoot = QStringLiteral("diary");

bool useTls = false;

enum class Remote
{
    ExistingDirectories,
    NewYear
};

// An application directory with a few entries and their pages, the published date last, and
// the server the settings point at. Made on first use, kept for the whole run.
class Site
{
public:
    Site()
    {
        if (!m_certificates.isReady()) {
            m_error = m_certificates.errorString();
            return;
        }
        m_certificates.trustAuthority();
        const TestCertificates::Files files = m_certificates.signedByCa();
        // Under TLS the strict server when root can run it (curl and pyftpdlib's TLS do not
        // get along), pyftpdlib otherwise.
        if (!useTls)
            m_server = std::make_unique<RealFtpServer>(std::make_unique<PyFtpServer>());
        else if (!VsftpdServer::needsRoot())
            m_server = std::make_unique<RealFtpServer>(
                std::make_unique<VsftpdServer>(files.certificate, files.key, false));
        else
            m_server = std::make_unique<RealFtpServer>(std::make_unique<PyFtpServer>(
                QStringLiteral("127.0.0.1"),
                PyFtpServer::Tls{files.certificate, files.key, false}));
        setApplicationDirectory(m_app.path());
        const struct
        {
            const char *year, *month, *day;
        } dates[] = {{"2023", "12", "24"}, {"2024", "01", "01"}, {"2024", "04", "29"},
                     {"2024", "05", "01"}, {"2024", "05", "03"}, {"2024", "05", "07"}};
        const QString text = QStringLiteral("朝から雨。駅前の喫茶店で本を読んだ。\r\n"
                                            "夕方には晴れて、川沿いを歩いて帰った。\r\n\r\n"
                                            "明日は早起きして図書館へ。");
        for (const auto &date : dates) {
            const QString y = QString::fromLatin1(date.year);
            const QString m = QString::fromLatin1(date.month);
            const QString d = QString::fromLatin1(date.day);
            if (DiaryWrite(y, m, d, text, &m_error) != 0 || HtmlMake(y, m, d, &m_error) != 0)
                return;
        }
        if (!m_server->isRunning()) {
            m_error = m_server->errorString();
            return;
        }
        for (const auto &[key, value] : {std::pair{ServerKey, m_server->serverString()},
                                         {NameKey, m_server->user()},
                                         {PasswordKey, m_server->password()},
                                         {DirectoryKey, RemoteRoot}}) {
            if (!IniWrite(FtpSection, key, value, &m_error))
                return;
        }
        m_ready = true;
    }

    bool isReady() const { return m_ready; }
    QString error() const { return m_error; }
    const RealFtpServer &server() const { return *m_server; }
    // The test authority that signed the server's certificate.
    QString authority() const { return m_certificates.authority(); }

    // The four pages with their remote paths, in the order they are sent.
    QList<std::pair<QString, QString>> pages() const
    {
        const QString month = RemoteRoot + QLatin1Char('/') + Year + QLatin1Char('/') + Month;
        return {{yearListPath(), RemoteRoot + QStringLiteral("/year.html")},
                {monthListPath(Year), RemoteRoot + QLatin1Char('/') + Year + "/index.html"},
                {dayListPath(Year, Month), month + QStringLiteral("/index.html")},
                {dayPagePath(Year, Month, Day), month + QLatin1Char('/') + Day + ".html"}};
    }

    void prepareRemote(Remote remote) const
    {
        QDir root(m_server->homePath() + QLatin1Char('/') + RemoteRoot);
        root.removeRecursively();
        root.mkpath(remote == Remote::NewYear ? QStringLiteral(".") : Year + '/' + Month);
        // vsftpd writes as a user of its own.
        const auto everyone = QFileDevice::Permissions(0x7777);
        for (const QString &path :
             {root.path(), root.filePath(Year), root.filePath(Year + '/' + Month)})
            QFile::setPermissions(path, everyone);
    }

    bool remoteMatchesLocal() const
    {
        for (const auto &[local, remote] : pages()) {
            QFile file(local);
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != m_server->remoteFile(remote))
                return false;
        }
        return true;
    }

    // The command lines the server has logged since it had first count of them; waits for
    // the QUIT, which our client sends without waiting for its answer.
    QStringList commandsSince(qsizetype first) const
    {
        const QDeadlineTimer deadline(QuitLoggedWaitMs);
        QStringList commands = m_server->commands();
        while (commands.value(commands.size() - 1) != QLatin1String("QUIT") &&
               !deadline.hasExpired()) {
            QThread::msleep(1);
            commands = m_server->commands();
        }
        return commands.mid(first);
    }

private:
    TestCertificates m_certificates;
    QTemporaryDir m_app;
    std::unique_ptr<RealFtpServer> m_server;
    QString m_error;
    bool m_ready = false;
};

Site &site()
{
    static Site instance;
    return instance;
}

struct Sample
{
    double ms = 0;
    qsizetype commands = 0;
    int roundTrips = 0;
    double inProcessMs = -1; // curl's own total, without its start-up
};

// Publishes by another program that failed, by client: how many, and why the last one did.
std::map<std::string, std::pair<int, QString>> &failures()
{
    static std::map<std::string, std::pair<int, QString>> all;
    return all;
}

std::map<std::string, std::vector<Sample>> &samples()
{
    static std::map<std::string, std::vector<Sample>> all;
    return all;
}

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void report(benchmark::State &state, const std::string &name, const Sample &sample)
{
    state.SetIterationTime(sample.ms / 1000.0);
    state.counters["commands"] = double(sample.commands);
    state.counters["round_trips"] = sample.roundTrips;
    samples()[name].push_back(sample);
}

// Google Benchmark keeps the message's pointer, not its text, until the report: the text
// must outlive the call.
void skipWithError(benchmark::State &state, const QString &message)
{
    static std::deque<std::string> messages;
    messages.push_back(message.toStdString());
    state.SkipWithError(messages.back().c_str());
}

bool checkSite(benchmark::State &state)
{
    if (!site().isReady())
        skipWithError(state, site().error());
    return site().isReady();
}

void BM_PublishKakiva(benchmark::State &state, Remote remote, const std::string &name)
{
    if (!checkSite(state))
        return;
    for (auto _ : state) {
        site().prepareRemote(remote);
        const qsizetype logged = site().server().commands().size();
        const auto start = std::chrono::steady_clock::now();
        UploadAttempt attempt(
            {destinationOf(readSettings()), IniRead(FtpSection, PasswordKey), 10s},
            [](OutcomeKind) {});
        const PublishOutcome outcome = attempt.run(sitePagesOfDay(Year, Month, Day));
        Sample sample;
        sample.ms = msSince(start);
        if (outcome.result != PublishResult::Succeeded || !site().remoteMatchesLocal()) {
            state.SkipWithError("the publish failed");
            break;
        }
        sample.commands = site().commandsSince(logged).size();
        sample.roundTrips = outcome.wire.roundTrips;
        if (sample.commands != outcome.wire.commandsSent) {
            state.SkipWithError("the client's command count differs from the server's log");
            break;
        }
        report(state, name, sample);
    }
}

QString hostAndPort()
{
    return QStringLiteral("127.0.0.1:%1").arg(site().server().port());
}

QStringList curlArguments()
{
    const RealFtpServer &server = site().server();
    QStringList arguments{QStringLiteral("--silent"),
                          QStringLiteral("--show-error"),
                          QStringLiteral("--ftp-create-dirs"),
                          QStringLiteral("--max-time"),
                          QString::number(ClientTimeoutSeconds),
                          QStringLiteral("--user"),
                          server.user() + QLatin1Char(':') + server.password(),
                          QStringLiteral("--write-out"),
                          QStringLiteral("%{time_total}\\n")};
    if (useTls)
        arguments << QStringLiteral("--ssl-reqd") << QStringLiteral("--cacert")
                  << site().authority();
    for (const auto &[local, remote] : site().pages()) {
        const QString directory = remote.left(remote.lastIndexOf(QLatin1Char('/')) + 1);
        arguments << QStringLiteral("--upload-file") << local
                  << QStringLiteral("ftp://%1/%2").arg(hostAndPort(), directory);
    }
    return arguments;
}

// One lftp script: the directories made when missing, then the four files, each into its
// directory.
QStringList lftpArguments()
{
    const RealFtpServer &server = site().server();
    QStringList script{
        QStringLiteral("set cmd:fail-exit true"),
        QStringLiteral("set net:max-retries 1"),
        QStringLiteral("set net:timeout %1").arg(ClientTimeoutSeconds),
        QStringLiteral("set ftp:ssl-allow %1").arg(useTls ? "true" : "false"),
        QStringLiteral("set ftp:ssl-force %1").arg(useTls ? "true" : "false"),
        QStringLiteral("set ftp:ssl-protect-data true"),
        QStringLiteral("set ssl:ca-file \"%1\"").arg(site().authority()),
        QStringLiteral("open -u %1,%2 ftp://%3")
            .arg(server.user(), server.password(), hostAndPort()),
        QStringLiteral("mkdir -p -f %1/%2/%3").arg(RemoteRoot, Year, Month),
    };
    for (const auto &[local, remote] : site().pages()) {
        const QString directory = remote.left(remote.lastIndexOf(QLatin1Char('/')));
        script << QStringLiteral("put -O %1 \"%2\"").arg(directory, local);
    }
    return {QStringLiteral("-c"), script.join(QStringLiteral("; "))};
}

// The sum of curl's per-transfer totals: its time without process start-up and QUIT.
double sumOfLines(const QByteArray &output)
{
    double sum = 0;
    for (const QByteArray &line : output.split('\n')) {
        if (!line.trimmed().isEmpty())
            sum += line.toDouble() * 1000.0;
    }
    return sum;
}

// One publish by another program, its commands and round trips read from the server's log.
void publishWith(benchmark::State &state, Remote remote, const std::string &name,
                 const QString &program, const QStringList &arguments)
{
    if (!checkSite(state))
        return;
    for (auto _ : state) {
        site().prepareRemote(remote);
        const qsizetype logged = site().server().commands().size();
        const auto start = std::chrono::steady_clock::now();
        QProcess client;
        client.start(program, arguments);
        const bool finished = client.waitForFinished((ClientTimeoutSeconds + 5) * 1000);
        Sample sample;
        sample.ms = msSince(start);
        if (!finished)
            client.kill();
        if (!finished || client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0 ||
            !site().remoteMatchesLocal()) {
            // Counted, not skipped: the library cannot sum up repetitions that were skipped.
            auto &[count, why] = failures()[name];
            ++count;
            why = QString::fromLocal8Bit(client.readAllStandardError()).trimmed();
            state.SetIterationTime(sample.ms / 1000.0);
            continue;
        }
        const QStringList commands = site().commandsSince(logged);
        const qsizetype stores =
            commands.filter(QRegularExpression(QStringLiteral("^STOR "))).size();
        sample.commands = commands.size();
        sample.roundTrips = int(1 + commands.size() + stores);
        if (program == QLatin1String("curl"))
            sample.inProcessMs = sumOfLines(client.readAllStandardOutput());
        report(state, name, sample);
    }
}

void BM_PublishCurl(benchmark::State &state, Remote remote, const std::string &name)
{
    publishWith(state, remote, name, QStringLiteral("curl"), curlArguments());
}

void BM_PublishLftp(benchmark::State &state, Remote remote, const std::string &name)
{
    publishWith(state, remote, name, QStringLiteral("lftp"), lftpArguments());
}

void registerPublish(const char *client, int publishes,
                     void (*publish)(benchmark::State &, Remote, const std::string &))
{
    for (const auto &[remote, label] : {std::pair{Remote::ExistingDirectories, "existing dirs"},
                                        std::pair{Remote::NewYear, "new year"}}) {
        const std::string name = std::string(client) + " / " + label;
        benchmark::RegisterBenchmark(("publish " + name).c_str(), publish, remote, name)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(publishes)
            ->ReportAggregatesOnly(true);
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printSummary()
{
    QStringList sizes;
    for (const auto &[local, remote] : site().pages())
        sizes.append(QStringLiteral("%1 %2 B").arg(remote).arg(QFileInfo(local).size()));
    std::printf("\nOne publish of four pages to a server on loopback%s (%s)\n",
                useTls ? (VsftpdServer::needsRoot() ? ", pyftpdlib, explicit TLS"
                                                    : ", vsftpd, explicit TLS")
                       : ", pyftpdlib",
                qPrintable(sizes.join(QStringLiteral(", "))));
    std::printf("%-24s %5s %9s %12s %10s %8s %8s %19s\n", "client / remote tree", "ok", "commands",
                "round trips", "median ms", "min ms", "max ms", "curl in-process ms");
    for (const auto &[name, runs] : samples()) {
        std::vector<double> ms;
        std::vector<double> inProcess;
        for (const Sample &sample : runs) {
            ms.push_back(sample.ms);
            if (sample.inProcessMs >= 0)
                inProcess.push_back(sample.inProcessMs);
        }
        // Both clients send the same commands every time; a run that did not would show.
        const Sample &first = runs.front();
        const bool steady = std::all_of(runs.begin(), runs.end(), [&](const Sample &s) {
            return s.commands == first.commands && s.roundTrips == first.roundTrips;
        });
        std::printf("%-24s %5zu %8lld%s %12d %10.2f %8.2f %8.2f", name.c_str(), runs.size(),
                    static_cast<long long>(first.commands), steady ? " " : "~", first.roundTrips,
                    median(ms), *std::min_element(ms.begin(), ms.end()),
                    *std::max_element(ms.begin(), ms.end()));
        if (inProcess.empty())
            std::printf(" %19s\n", "-");
        else
            std::printf(" %19.2f\n", median(inProcess));
    }
    for (const auto &[name, failed] : failures())
        std::printf("%-24s failed %d times, last: %s\n", name.c_str(), failed.first,
                    qPrintable(failed.second));
}

// Takes flag out of the arguments; true when it was there.
bool takeFlag(int &argc, char **argv, const std::string &flag)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != flag)
            continue;
        std::copy(argv + i + 1, argv + argc, argv + i);
        --argc;
        return true;
    }
    return false;
}

// Takes "--publishes=N" out of the arguments.
int takePublishes(int &argc, char **argv)
{
    const std::string prefix = "--publishes=";
    int publishes = DefaultPublishes;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]).rfind(prefix, 0) != 0)
            continue;
        publishes = std::max(1, std::atoi(argv[i] + prefix.size()));
        std::copy(argv + i + 1, argv + argc, argv + i);
        --argc;
        break;
    }
    return publishes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int publishes = takePublishes(argc, argv);
    useTls = takeFlag(argc, argv, "--tls");
    registerPublish("kakiva", publishes, BM_PublishKakiva);
    registerPublish("curl", publishes, BM_PublishCurl);
    registerPublish("lftp", publishes, BM_PublishLftp);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!samples().empty())
        printSummary();
    return 0;
}

// One year of a diary sent whole through a relay that delays each direction by 25 ms (a
// round trip of 50 ms), to pyftpdlib on loopback: our bulk publish against
// `lftp -e "mirror -R --parallel=4"` of the same tree, each to a server of its own through a
// relay of its own. Then a second run of each with nothing changed. Reports wall time, the
// round trips the relay saw on the control connections, logins, STORs and every other
// command as the server logged them.
//
//   bench_site [--delay-ms=N] [--lftp=PATH]
//
// The year is 2023: 365 day pages, 12 day lists, the month list, the year list and a style
// sheet, 380 files.

#include "LatencyFtpRelay.h"
#include "PyFtpServer.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "platform/AppDir.h"
#include "platform/WholeFile.h"
#include "publish/BulkPublish.h"
#include "publish/SiteCheck.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"

#include <QCoreApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

using namespace Kakiva;

const QString RemoteRoot = QStringLiteral("diary");
constexpr int LftpTimeoutMs = 600000;

struct Figures
{
    double seconds = 0;
    int roundTrips = 0;
    QStringList commands;
    bool matches = false;
};

QString makeYear()
{
    const QString text = QStringLiteral("朝から雨。駅前の喫茶店で本を読んだ。\r\n"
                                        "夕方には晴れて、川沿いを歩いて帰った。\r\n");
    QString error;
    for (QDate day(2023, 1, 1); day.year() == 2023; day = day.addDays(1)) {
        const QString y = QString::number(day.year());
        const QString m = QStringLiteral("%1").arg(day.month(), 2, 10, QLatin1Char('0'));
        const QString d = QStringLiteral("%1").arg(day.day(), 2, 10, QLatin1Char('0'));
        if (DiaryWrite(y, m, d, text + day.toString(Qt::ISODate), &error) != 0 ||
            HtmlMake(y, m, d, &error) != 0)
            return error;
    }
    writeFileWhole(htmlRootPath() + QStringLiteral("/kakiva.css"),
                   "body { font-family: sans-serif; line-height: 1.6 }\r\n", &error);
    return error;
}

bool serverMatches(const PyFtpServer &server)
{
    const QList<SiteFile> files = siteFiles();
    for (const SiteFile &file : files) {
        QFile local(file.localPath);
        if (!local.open(QIODevice::ReadOnly) ||
            local.readAll() != server.remoteFile(RemoteRoot + QLatin1Char('/') + file.remotePath))
            return false;
    }
    return true;
}

// The server logs a command as it takes it; a QUIT sent without waiting may come later.
QStringList commandsSince(const PyFtpServer &server, qsizetype first)
{
    QThread::msleep(300);
    return server.commands().mid(first);
}

Figures runOurs(const PyFtpServer &server, const LatencyFtpRelay &relay, bool everything)
{
    const PublishDestination to{relay.serverString(), server.user(), RemoteRoot};
    const qsizetype before = server.commands().size();
    const int tripsBefore = relay.roundTrips();
    QElapsedTimer clock;
    clock.start();
    BulkPublish publish({to, server.password()},
                        everything ? siteFiles() : unsentFiles(ServerRecord(to)));
    const PublishOutcome outcome = publish.run();
    Figures figures;
    figures.seconds = clock.nsecsElapsed() / 1e9;
    figures.roundTrips = relay.roundTrips() - tripsBefore;
    figures.commands = commandsSince(server, before);
    figures.matches = outcome.result == PublishResult::Succeeded && serverMatches(server);
    if (outcome.failure.isFailure())
        std::printf("  ours failed: kind %d at %s\n", static_cast<int>(outcome.failure.kind),
                    qPrintable(outcome.failure.remotePath));
    return figures;
}

// The check of the whole site against the server, which should find it as sent.
Figures runCheck(const PyFtpServer &server, const LatencyFtpRelay &relay)
{
    const PublishDestination to{relay.serverString(), server.user(), RemoteRoot};
    const qsizetype before = server.commands().size();
    const int tripsBefore = relay.roundTrips();
    QElapsedTimer clock;
    clock.start();
    SiteCheck check({to, server.password()}, siteFiles());
    const PublishOutcome outcome = check.run();
    Figures figures;
    figures.seconds = clock.nsecsElapsed() / 1e9;
    figures.roundTrips = relay.roundTrips() - tripsBefore;
    figures.commands = commandsSince(server, before);
    figures.matches = outcome.result == PublishResult::Succeeded &&
                      check.report().differences.isEmpty() && serverMatches(server);
    std::printf("  check listed %d directories\n", check.report().directoriesListed);
    return figures;
}

Figures runLftp(const QString &lftp, const PyFtpServer &server, const LatencyFtpRelay &relay)
{
    const qsizetype before = server.commands().size();
    const int tripsBefore = relay.roundTrips();
    QProcess process;
    const QString script = QStringLiteral("set ftp:ssl-allow no; set net:max-retries 1; "
                                          "mirror -R --parallel=4 %1 %2; quit")
                               .arg(htmlRootPath(), RemoteRoot);
    QElapsedTimer clock;
    clock.start();
    process.start(lftp, {QStringLiteral("-u"), server.user() + QLatin1Char(',') + server.password(),
                         QStringLiteral("-p"), QString::number(relay.port()), QStringLiteral("-e"),
                         script, QStringLiteral("127.0.0.1")});
    process.waitForFinished(LftpTimeoutMs);
    Figures figures;
    figures.seconds = clock.nsecsElapsed() / 1e9;
    figures.roundTrips = relay.roundTrips() - tripsBefore;
    figures.commands = commandsSince(server, before);
    figures.matches = process.exitCode() == 0 && serverMatches(server);
    if (process.exitCode() != 0)
        std::printf("  lftp failed: %s\n", process.readAllStandardError().constData());
    return figures;
}

void print(const char *name, const Figures &figures)
{
    QMap<QString, int> verbs;
    for (const QString &command : figures.commands)
        ++verbs[command.section(QLatin1Char(' '), 0, 0).toUpper()];
    QStringList counts;
    for (auto it = verbs.begin(); it != verbs.end(); ++it)
        counts.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
    std::printf("%-22s %7.2f s  %5d round trips  %5lld commands  logins %d  STOR %d  %s\n", name,
                figures.seconds, figures.roundTrips,
                static_cast<long long>(figures.commands.size()),
                verbs.value(QStringLiteral("USER")), verbs.value(QStringLiteral("STOR")),
                figures.matches ? "server = local" : "SERVER DIFFERS");
    std::printf("%-22s %s\n", "", qPrintable(counts.join(QStringLiteral(", "))));
}

QString option(const QStringList &arguments, const QString &name, const QString &fallback)
{
    for (const QString &argument : arguments) {
        if (argument.startsWith(name + QLatin1Char('=')))
            return argument.mid(name.size() + 1);
    }
    return fallback;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const std::chrono::milliseconds delay(
        option(arguments, QStringLiteral("--delay-ms"), QStringLiteral("25")).toInt());
    const QString lftp = option(arguments, QStringLiteral("--lftp"), QStringLiteral("lftp"));

    QTemporaryDir appDir;
    setApplicationDirectory(appDir.path());
    if (const QString error = makeYear(); !error.isEmpty()) {
        std::printf("cannot write the site: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("one year: %lld files, relay delay %lld ms each way\n",
                static_cast<long long>(siteFiles().size()), static_cast<long long>(delay.count()));

    PyFtpServer ours;
    PyFtpServer theirs;
    if (!ours.isRunning() || !theirs.isRunning()) {
        std::printf("pyftpdlib: %s\n", qPrintable(ours.errorString() + theirs.errorString()));
        return 1;
    }
    QDir(ours.homePath()).mkpath(RemoteRoot);
    QDir(theirs.homePath()).mkpath(RemoteRoot);
    LatencyFtpRelay toOurs(ours.port(), delay);
    LatencyFtpRelay toTheirs(theirs.port(), delay);

    print("ours, whole site", runOurs(ours, toOurs, true));
    print("lftp mirror -R, whole", runLftp(lftp, theirs, toTheirs));
    print("ours, nothing changed", runOurs(ours, toOurs, false));
    print("lftp, nothing changed", runLftp(lftp, theirs, toTheirs));
    print("ours, check the server", runCheck(ours, toOurs));
    return 0;
}

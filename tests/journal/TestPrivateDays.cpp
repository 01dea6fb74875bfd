// A day kept private: it leaves no trace in any file of the local site, whatever happens to
// it afterwards, and a real server loses its page at the next publish; given back to the web
// it has its pages again. The changes name the root files in the order a server gets them.

#include "DayPages.h"
#include "PyFtpServer.h"
#include "TemporaryShown.h"
#include "TestAppDir.h"

#include "backup/ArchiveWrite.h"
#include "backup/BackupLayout.h"
#include "backup/BackupRun.h"
#include "diary/DateStrings.h"
#include "diary/EntryStore.h"
#include "diary/PrivateDays.h"
#include "journal/DayPrivacy.h"
#include "journal/DayRestore.h"
#include "journal/DaySave.h"
#include "platform/Cp932.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/UploadAttempt.h"
#include "settings/Settings.h"

#include <QDir>
#include <QDirIterator>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString SiteUrl = u"https://example.jp/diary/"_s;
const DateFields Public{u"2004"_s, u"08"_s, u"03"_s};
const DateFields Private{u"2004"_s, u"08"_s, u"17"_s};
const QString SecretText = u"ひみつの話"_s;

// What would give the private day away, in the encodings the site's files use: the pages
// are Shift_JIS, the feed UTF-8.
QList<QByteArray> tracesOfThePrivateDay()
{
    QList<QByteArray> traces{"2004/08/17", "2004-08-17", "17.html", SecretText.toUtf8()};
    traces.append(toCp932(SecretText));
    return traces;
}

// Each file below root holding a trace, with the trace: empty when none does.
QStringList filesWithTraces(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray bytes = readWholeFile(path);
        for (const QByteArray &trace : tracesOfThePrivateDay()) {
            if (bytes.contains(trace))
                found.append(QDir(root).relativeFilePath(path) + u": "_s +
                             QString::fromUtf8(trace));
        }
    }
    return found;
}

QStringList filesBelow(const QString &root)
{
    QStringList names;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QDir(root).relativeFilePath(it.next()));
    names.sort();
    return names;
}

// What a user does to the private day after marking it.
enum class Afterwards
{
    Nothing,
    SavedAgain,
    RestoredFromBackup,
};

} // namespace

Q_DECLARE_METATYPE(Afterwards)

class TestPrivateDays : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_app.reset(); }

    void leavesNoTraceInTheLocalSite_data();
    void leavesNoTraceInTheLocalSite();
    void madePublicAgainHasItsPages();
    void backupsCarryTheMarksAndTheFeedRecord();
    void rootFilesGoUpAfterTheDayPages();
    void publishTakesItOffTheServer();

private:
    std::unique_ptr<TestAppDir> m_app;
};

void TestPrivateDays::init()
{
    m_app = std::make_unique<TestAppDir>();
    QVERIFY(journal::saveDay(Public, u"公開の日"_s, SiteUrl).ok());
    QVERIFY(journal::saveDay(Private, SecretText, SiteUrl).ok());
    QVERIFY(!filesWithTraces(m_app->filePath(u"HTML"_s)).isEmpty());
}

void TestPrivateDays::leavesNoTraceInTheLocalSite_data()
{
    QTest::addColumn<Afterwards>("afterwards");
    QTest::newRow("marked") << Afterwards::Nothing;
    QTest::newRow("marked, then saved again") << Afterwards::SavedAgain;
    QTest::newRow("marked, then restored from a backup") << Afterwards::RestoredFromBackup;
}

void TestPrivateDays::leavesNoTraceInTheLocalSite()
{
    QFETCH(Afterwards, afterwards);
    QString error, archive;
    QVERIFY2(writeBackupNow(&error, &archive), qPrintable(error));

    const PublishDestination somewhere{u"ftp.example.jp"_s, u"diarist"_s, u"www"_s};
    ServerRecord published(somewhere);
    for (const SiteFile &file : siteFiles())
        QVERIFY(published.confirm(file.remotePath, file.digest));

    const journal::SiteChange change = journal::makeDayPrivate(Private, SiteUrl);
    QVERIFY2(change.ok(), qPrintable(change.error));
    QCOMPARE(change.error, QString());
    QCOMPARE(change.removed, QStringList{u"2004/08/17.html"_s});
    // The lists without it, latest.html leading to the day left, and the feed without it.
    QCOMPARE(change.written, (QStringList{u"2004/08/index.html"_s, u"2004/index.html"_s,
                                          u"year.html"_s, u"latest.html"_s, u"atom.xml"_s}));
    QVERIFY(isPrivateDay(QDate(2004, 8, 17)));
    QCOMPARE(pendingRemovals(ServerRecord(somewhere)), QStringList{u"2004/08/17.html"_s});

    journal::SiteChange later;
    if (afterwards == Afterwards::SavedAgain)
        later = journal::saveDay(Private, SecretText + u"、続き"_s, SiteUrl);
    else if (afterwards == Afterwards::RestoredFromBackup)
        later = journal::restoreDay(archive, dateOf(Private), SiteUrl);
    QVERIFY2(later.ok(), qPrintable(later.error));
    QCOMPARE(later.written, QStringList());

    QCOMPARE(filesWithTraces(m_app->filePath(u"HTML"_s)), QStringList());
    // The entry stays; only the site forgets it.
    QVERIFY(QFileInfo::exists(m_app->filePath(u"Diary/2004/08/17.dia"_s)));
    QVERIFY(m_app->read(u"HTML/2004/08/index.html"_s).contains("03.html"));
}

void TestPrivateDays::madePublicAgainHasItsPages()
{
    QVERIFY(journal::makeDayPrivate(Private, SiteUrl).ok());
    const journal::SiteChange change = journal::makeDayPublic(Private, SiteUrl);
    QVERIFY2(change.ok(), qPrintable(change.error));
    const QStringList rootFiles{u"latest.html"_s, u"atom.xml"_s};
    QCOMPARE(change.written, sitePagesOfDay(Private.year, Private.month, Private.day) + rootFiles);
    QVERIFY(!isPrivateDay(QDate(2004, 8, 17)));
    QVERIFY(m_app->read(u"HTML/2004/08/17.html"_s).contains(toCp932(SecretText)));
    QVERIFY(m_app->read(u"HTML/atom.xml"_s).contains(SecretText.toUtf8()));
}

// The marks and the feed's record lie hidden beside the entries, yet are the diary's own.
void TestPrivateDays::backupsCarryTheMarksAndTheFeedRecord()
{
    QVERIFY(journal::makeDayPrivate(Private, SiteUrl).ok());
    m_app->write(u"Diary/.lock"_s, "a temporary");
    QList<LeftOutFile> leftOut;
    const QList<ArchiveMember> members =
        collectBackupMembers(m_app->path(), m_app->filePath(u"backup"_s), &leftOut);
    QVERIFY(leftOut.isEmpty());
    QStringList names;
    for (const ArchiveMember &member : members)
        names.append(member.name);
    QVERIFY2(names.contains(u"Diary/.private"_s), qPrintable(names.join(u' ')));
    QVERIFY2(names.contains(u"Diary/.feed.json"_s), qPrintable(names.join(u' ')));
    QVERIFY(!names.contains(u"Diary/.lock"_s));
    QVERIFY(isBackupMemberName(u"Diary/.private"_s));
}

// A real server gets the four pages of a first save in their order, each directory entered
// on the way down, and then the root files, back in the remote directory, in one session.
void TestPrivateDays::rootFilesGoUpAfterTheDayPages()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(u"www"_s));
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    m_app.reset();
    m_app = std::make_unique<TestAppDir>();
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    const journal::SiteChange saved = journal::saveDay(Public, u"公開の日"_s, SiteUrl);
    QVERIFY(saved.ok());

    const PublishRequest request{destinationOf(readSettings()), server.password()};
    QList<OutcomeKind> shown;
    UploadAttempt attempt(request, [&](OutcomeKind stage) { shown.append(stage); });
    QCOMPARE(attempt.run(saved.written).result, PublishResult::Succeeded);

    QStringList stores;
    int logins = 0;
    for (const QString &line : server.commands()) {
        if (line.startsWith(u"STOR "_s) || line.startsWith(u"CWD "_s) || line.startsWith(u"MKD "_s))
            stores.append(QString::fromUtf8(withTemporariesShown(line.toUtf8())));
        logins += line.startsWith(u"USER "_s);
    }
    QCOMPARE(logins, 1);
    // An empty server: each directory is tried, made and entered; every file goes aside
    // first, in the order year.html, 2004/index.html, 2004/08/index.html, 2004/08/03.html,
    // index.html, kakiva.css, latest.html, atom.xml.
    QCOMPARE(stores, (QStringList{u"CWD www"_s, u"STOR ~0"_s, u"CWD 2004"_s, u"MKD 2004"_s,
                                  u"CWD 2004"_s, u"STOR ~1"_s, u"CWD 08"_s, u"MKD 08"_s,
                                  u"CWD 08"_s, u"STOR ~2"_s, u"STOR ~3"_s,
                                  u"CWD ../.."_s, u"STOR ~4"_s, u"STOR ~5"_s,
                                  u"STOR ~6"_s, u"STOR ~7"_s}));
    QCOMPARE(shown.count(OutcomeKind::Sent), 1);
    QCOMPARE(shown.last(), OutcomeKind::Sent);
    QCOMPARE(filesBelow(server.homePath() + u"/www"_s), filesBelow(m_app->filePath(u"HTML"_s)));
    for (const QString &name : {u"index.html"_s, u"kakiva.css"_s, u"atom.xml"_s})
        QCOMPARE(server.remoteFile(u"www/"_s + name), m_app->read(u"HTML/"_s + name));
    QVERIFY(unsentFiles(ServerRecord(destinationOf(readSettings()))).isEmpty());
}

// Published, then made private: the next publish (the upload of the change) removes its
// page, and nothing on the server gives it away.
void TestPrivateDays::publishTakesItOffTheServer()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(u"www"_s));
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    const PublishRequest request{destinationOf(readSettings()), server.password()};
    const auto upload = [&](const QStringList &paths) {
        UploadAttempt attempt(request, [](OutcomeKind) {});
        return attempt.run(paths).result;
    };
    QStringList everything;
    for (const SiteFile &file : siteFiles())
        everything.append(file.remotePath);
    QCOMPARE(upload(everything), PublishResult::Succeeded);
    const QString remote = server.homePath() + u"/www"_s;
    QVERIFY(QFileInfo::exists(remote + u"/2004/08/17.html"_s));

    const journal::SiteChange change = journal::makeDayPrivate(Private, SiteUrl);
    QVERIFY(change.ok());
    QCOMPARE(upload(change.written), PublishResult::Succeeded);
    QVERIFY(!QFileInfo::exists(remote + u"/2004/08/17.html"_s));
    QCOMPARE(filesWithTraces(remote), QStringList());
    QCOMPARE(filesBelow(remote), filesBelow(m_app->filePath(u"HTML"_s)));
    QCOMPARE(pendingRemovals(ServerRecord(destinationOf(readSettings()))), QStringList());
}

QTEST_GUILESS_MAIN(TestPrivateDays)
#include "TestPrivateDays.moc"

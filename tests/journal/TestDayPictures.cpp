// A day's pictures go where the day goes: copied into the site beside its pages when the
// entry names them, removed locally and from the server when it no longer does, or when the
// day is deleted or made private, and brought back with the day from a backup. No list of
// the site ever shows one, the feed shows them by their full address, and an upload sends
// them after the day's four pages.

#include "DayPages.h"
#include "PictureFixtures.h"
#include "PyFtpServer.h"
#include "SshServer.h"
#include "TestAppDir.h"

#include "backup/BackupRun.h"
#include "diary/DayPictureNames.h"
#include "diary/EntryStore.h"
#include "journal/DayDeletion.h"
#include "journal/DayPictures.h"
#include "journal/DayPrivacy.h"
#include "journal/DayRestore.h"
#include "journal/DaySave.h"
#include "pictures/DayPictureStore.h"
#include "publish/BulkPublish.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/UploadAttempt.h"
#include "settings/Settings.h"

#include <QDir>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

const DateFields Day{u"2026"_s, u"12"_s, u"08"_s};
const PublishDestination Somewhere{u"ftp.example.jp"_s, u"diarist"_s, u"www"_s};
const QString First = u"20261208-1.jpg"_s;
const QString Second = u"20261208-2.png"_s;

// The day's next picture, stored as the dialog stores it; its line for the entry.
QString insertPicture(const char *format)
{
    WebPicture picture;
    picture.suffix = QLatin1String(format) == "png" ? u"png"_s : u"jpg"_s;
    picture.size = QSize(40, 30);
    picture.bytes =
        format + QByteArray(" pixels of ") + QByteArray::number(nextDayPictureNumber(Day));
    QString name;
    QString error;
    if (!storeDayPicture(Day, picture, &name, &error))
        qWarning("%s", qPrintable(error));
    return pictureLine(name, picture.size);
}

void confirmWholeSite(const PublishDestination &to)
{
    ServerRecord record(to);
    for (const SiteFile &file : siteFiles())
        QVERIFY(record.confirm(file.remotePath, file.digest));
}

QStringList picturesIn(const QStringList &sitePaths)
{
    QStringList pictures;
    for (const QString &path : sitePaths) {
        if (path.contains(u"20261208-"_s))
            pictures.append(path);
    }
    return pictures;
}

} // namespace

class TestDayPictures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_app.reset(); }

    void saveFollowsTheLines_data();
    void saveFollowsTheLines();
    void noListShowsAPicture();
    void dayTakenOffTakesItsPictures_data();
    void dayTakenOffTakesItsPictures();
    void restoreOfOneDayBringsThemBack();
    void feedShowsTheFullAddress();
    void uploadSendsThemAfterThePagesAndRemovesThem();
    void sftpUploadSendsAndRemovesThem();
    void leavingWithoutSavingDropsNewPictures_data();
    void leavingWithoutSavingDropsNewPictures();

private:
    std::unique_ptr<TestAppDir> m_app;
    QString m_firstLine;
    QString m_secondLine;
};

void TestDayPictures::init()
{
    m_app = std::make_unique<TestAppDir>();
    writeSavedDay(u"2026"_s, u"11"_s, u"30"_s); // another day, in another month of the year
    m_firstLine = insertPicture("jpeg");
    m_secondLine = insertPicture("png");
}

void TestDayPictures::saveFollowsTheLines_data()
{
    QTest::addColumn<QStringList>("firstText"); // which lines the first save holds
    QTest::addColumn<QStringList>("laterText"); // and the second
    QTest::addColumn<QStringList>("kept");      // the day's pictures after both
    QTest::addColumn<QStringList>("removedLater");
    QTest::newRow("both named, then both kept")
        << QStringList{"first", "second"} << QStringList{"first", "second"}
        << QStringList{First, Second} << QStringList{};
    QTest::newRow("first line taken out") << QStringList{"first", "second"} << QStringList{"second"}
                                          << QStringList{Second} << QStringList{u"2026/"_s + First};
    QTest::newRow("every line taken out")
        << QStringList{"first", "second"} << QStringList{} << QStringList{}
        << QStringList{u"2026/"_s + First, u"2026/"_s + Second};
    QTest::newRow("inserted but never saved with its line")
        << QStringList{"second"} << QStringList{"second"} << QStringList{Second} << QStringList{};
}

void TestDayPictures::saveFollowsTheLines()
{
    QFETCH(QStringList, firstText);
    QFETCH(QStringList, laterText);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, removedLater);
    const auto textOf = [this](const QStringList &lines) {
        QString text = u"今日の写真"_s;
        for (const QString &line : lines)
            text += u"\r\n"_s + (line == u"first" ? m_firstLine : m_secondLine);
        return text;
    };

    const journal::SiteChange first = journal::saveDay(Day, textOf(firstText));
    QVERIFY2(first.ok(), qPrintable(first.error));
    // The day's four pages come first, the pictures right after them.
    QCOMPARE(first.written.mid(0, 4), sitePagesOfDay(u"2026"_s, u"12"_s, u"08"_s));
    QCOMPARE(picturesIn(first.written).size(), firstText.size());
    for (const QString &path : picturesIn(first.written))
        QCOMPARE(m_app->read(u"HTML/"_s + path),
                 m_app->read(u"Diary/2026/12/"_s + path.section(u'/', 1)));
    confirmWholeSite(Somewhere);

    const journal::SiteChange later = journal::saveDay(Day, textOf(laterText));
    QVERIFY2(later.ok(), qPrintable(later.error));
    QCOMPARE(picturesIn(later.written), QStringList()); // unchanged copies are not sent again
    QCOMPARE(later.removed, removedLater);
    QCOMPARE(dayPictures(Day), kept);
    QStringList published;
    for (const QString &name : kept)
        published.append(publishedPicturePath(Day, name));
    QCOMPARE(publishedDayPictures(Day), published);
    QCOMPARE(pendingRemovals(ServerRecord(Somewhere)), removedLater);
}

// The day list shows every name of its month folder and the year list every folder of the
// root: the copies lie in neither, and no list names one.
void TestDayPictures::noListShowsAPicture()
{
    const journal::SiteChange saved = journal::saveDay(Day, m_firstLine + u"\r\n"_s + m_secondLine);
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    QVERIFY(QFile::exists(m_app->filePath(u"HTML/2026/"_s + First)));
    QVERIFY(m_app->read(u"HTML/2026/12/08.html"_s).contains("<img src=\"../" + First.toLatin1()));
    writeSavedDay(u"2026"_s, u"11"_s, u"29"_s); // every list written again after them
    for (const QString &list : {u"HTML/year.html"_s, u"HTML/2026/index.html"_s,
                                u"HTML/2026/12/index.html"_s, u"HTML/2026/11/index.html"_s}) {
        const QByteArray page = m_app->read(list);
        QVERIFY2(!page.contains("20261208-"), qPrintable(list));
        QVERIFY2(!page.contains(".jpg") && !page.contains(".png"), qPrintable(list));
    }
}

void TestDayPictures::dayTakenOffTakesItsPictures_data()
{
    QTest::addColumn<bool>("deleted"); // or made private
    QTest::newRow("day deleted") << true;
    QTest::newRow("day made private") << false;
}

// The copies leave the site and are remembered as to go from the server; the pictures
// themselves go with a deleted entry and stay with a private one.
void TestDayPictures::dayTakenOffTakesItsPictures()
{
    QFETCH(bool, deleted);
    QVERIFY(journal::saveDay(Day, m_firstLine + u"\r\n"_s + m_secondLine).ok());
    confirmWholeSite(Somewhere);

    const journal::SiteChange change =
        deleted ? journal::deleteDay(Day) : journal::makeDayPrivate(Day, QString());
    QVERIFY2(change.ok(), qPrintable(change.error));
    const QStringList copies{u"2026/"_s + First, u"2026/"_s + Second};
    QCOMPARE(change.removed.mid(0, 2), copies);
    QVERIFY(change.removed.contains(u"2026/12/08.html"_s));
    QCOMPARE(publishedDayPictures(Day), QStringList());
    QCOMPARE(dayPictures(Day), deleted ? QStringList() : (QStringList{First, Second}));
    const QStringList pending = pendingRemovals(ServerRecord(Somewhere));
    for (const QString &copy : copies)
        QVERIFY2(pending.contains(copy), qPrintable(copy));
    QVERIFY(QFileInfo::exists(m_app->filePath(u"HTML/2026/index.html"_s))); // November stays
}

void TestDayPictures::restoreOfOneDayBringsThemBack()
{
    QVERIFY(journal::saveDay(Day, m_firstLine + u"\r\n"_s + m_secondLine).ok());
    const QByteArray firstBytes = m_app->read(u"Diary/2026/12/"_s + First);
    QString archive;
    QString error;
    QVERIFY2(writeBackupNow(&error, &archive), qPrintable(error));
    QVERIFY(journal::deleteDay(Day).ok());
    QCOMPARE(dayPictures(Day), QStringList());

    const journal::SiteChange change = journal::restoreDay(archive, dateOf(Day));
    QVERIFY2(change.ok(), qPrintable(change.error));
    QCOMPARE(dayPictures(Day), (QStringList{First, Second}));
    QCOMPARE(m_app->read(u"Diary/2026/12/"_s + First), firstBytes);
    QCOMPARE(picturesIn(change.written), (QStringList{u"2026/"_s + First, u"2026/"_s + Second}));
    QCOMPARE(m_app->read(u"HTML/2026/"_s + First), firstBytes);
}

void TestDayPictures::feedShowsTheFullAddress()
{
    const QString siteUrl = u"https://example.jp/diary/"_s;
    QVERIFY(journal::saveDay(Day, u"写真\r\n"_s + m_firstLine, siteUrl).ok());
    const QByteArray feed = m_app->read(u"HTML/atom.xml"_s);
    QVERIFY2(feed.contains("src=&quot;https://example.jp/diary/2026/" + First.toLatin1()),
             feed.constData());
    QVERIFY(!feed.contains("src=&quot;../"));
}

// Over a real FTP server: the pictures go after the day's four pages in the same session,
// arrive byte for byte, and go from the server once the line is taken out and saved.
void TestDayPictures::uploadSendsThemAfterThePagesAndRemovesThem()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(u"www"_s));
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    const PublishRequest request{destinationOf(readSettings()), server.password()};
    QCOMPARE(BulkPublish(request, siteFiles()).run().failure.kind, OutcomeKind::None);

    const journal::SiteChange saved = journal::saveDay(Day, m_firstLine + u"\r\n"_s + m_secondLine);
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    const qsizetype before = server.commands().size();
    UploadAttempt upload(request, [](OutcomeKind) {});
    QCOMPARE(upload.run(saved.written).result, PublishResult::Succeeded);
    // Each file is stored under a temporary name and renamed over its own: the renames tell
    // the order in which the files were put up.
    QStringList stored;
    for (const QString &command : server.commands().mid(before)) {
        if (command.startsWith(u"RNTO "_s))
            stored.append(command.mid(5).section(u'/', -1));
    }
    QCOMPARE(stored.mid(0, 6), (QStringList{u"year.html"_s, u"index.html"_s, u"index.html"_s,
                                            u"08.html"_s, First, Second}));
    for (const QString &name : {First, Second})
        QCOMPARE(server.remoteFile(u"www/2026/"_s + name), m_app->read(u"HTML/2026/"_s + name));

    const journal::SiteChange later = journal::saveDay(Day, m_secondLine);
    QVERIFY2(later.ok(), qPrintable(later.error));
    UploadAttempt again(request, [](OutcomeKind) {});
    QCOMPARE(again.run(later.written).result, PublishResult::Succeeded);
    QVERIFY(!QFile::exists(server.homePath() + u"/www/2026/"_s + First));
    QVERIFY(QFile::exists(server.homePath() + u"/www/2026/"_s + Second));
    QCOMPARE(pendingRemovals(ServerRecord(request.destination)), QStringList());
}

// The same over SFTP to a real sshd: byte for byte there, gone once the line is.
void TestDayPictures::sftpUploadSendsAndRemovesThem()
{
    SshServer ssh;
    QVERIFY2(ssh.isRunning(), qPrintable(ssh.errorString()));
    QVERIFY(ssh.makeRemoteDirectory(u"www"_s));
    const auto trust = [](const HostKeyQuestion &) { return true; };
    const PublishRequest request{{ssh.serverString(), ssh.user(), u"www"_s},
                                 ssh.password(),
                                 std::chrono::seconds(25),
                                 nullptr,
                                 {{}, trust}};
    QCOMPARE(BulkPublish(request, siteFiles()).run().failure.kind, OutcomeKind::None);

    const journal::SiteChange saved = journal::saveDay(Day, m_firstLine + u"\r\n"_s + m_secondLine);
    QVERIFY2(saved.ok(), qPrintable(saved.error));
    UploadAttempt upload(request, [](OutcomeKind) {});
    QCOMPARE(upload.run(saved.written).result, PublishResult::Succeeded);
    for (const QString &name : {First, Second})
        QCOMPARE(ssh.remoteFile(u"www/2026/"_s + name), m_app->read(u"HTML/2026/"_s + name));

    const journal::SiteChange later = journal::saveDay(Day, m_firstLine);
    QVERIFY2(later.ok(), qPrintable(later.error));
    UploadAttempt again(request, [](OutcomeKind) {});
    QCOMPARE(again.run(later.written).result, PublishResult::Succeeded);
    QVERIFY(ssh.remoteExists(u"www/2026/"_s + First));
    QVERIFY(!ssh.remoteExists(u"www/2026/"_s + Second));
}

void TestDayPictures::leavingWithoutSavingDropsNewPictures_data()
{
    QTest::addColumn<QString>("stored"); // the entry on disk: "none", "first" or "unreadable"
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("a new day: every picture goes") << u"none"_s << QStringList{};
    QTest::newRow("the saved entry names the first") << u"first"_s << QStringList{First};
    QTest::newRow("an entry that cannot be read keeps them all")
        << u"unreadable"_s << QStringList{First, Second};
}

void TestDayPictures::leavingWithoutSavingDropsNewPictures()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, kept);
    if (stored == u"first")
        QCOMPARE(DiaryWrite(Day.year, Day.month, Day.day, m_firstLine), qint16(0));
    else if (stored == u"unreadable")
        QVERIFY(QDir().mkpath(m_app->filePath(u"Diary/2026/12/08.dia"_s)));
    journal::dropUnsavedPictures(Day);
    QCOMPARE(dayPictures(Day), kept);
}

QTEST_GUILESS_MAIN(TestDayPictures)
#include "TestDayPictures.moc"

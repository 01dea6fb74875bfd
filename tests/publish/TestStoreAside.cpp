// Pages replaced only once the server holds the new ones whole, against a scripted server with
// the faults and habits real ones have: a 226 over half a file, no rename over a file, no
// temporaries or renames at all, commands taken one at a time, a run cut short between its
// stores and its renames. Each time: what the server holds, what the record says is sent,
// and what it learnt of the server.

#include "DayPages.h"
#include "ScriptedFault.h"
#include "TestAppDir.h"

#include "pages/PagePaths.h"
#include "platform/WholeFile.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/TemporaryNames.h"
#include "publish/UploadAttempt.h"
#include "settings/SettingsFile.h"

#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = PublishResult;
using Replacing = ServerRecord::Replacing;

namespace {

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");
const QString Root = QStringLiteral("/www/");

// What the server does wrong, or differently, from the second upload on.
enum class Habit
{
    None,
    KeepsHalf,         // 226 after keeping only part of the file
    NoRenameOverFile,  // RNTO over an existing file refused
    NoRenames,         // RNFR refused: an upload-only account
    NoTemporaries,     // STOR of a hidden name refused
    OneCommandAtATime, // commands sent together: all but the first lost
    RenamesOutOfOrder, // renames sent together: answered, and made, last first
};

struct Upload
{
    PublishOutcome outcome;
    QList<OutcomeKind> shown;
    QList<QByteArray> commands; // those of this upload alone
};

Upload upload(ScriptedFtpServer &server, std::chrono::milliseconds timeout = 3s)
{
    const qsizetype before = server.commands().size();
    const PublishRequest request{destinationOf(readSettings()), IniRead(FtpSection, PasswordKey),
                                 timeout, nullptr, {}};
    Upload done;
    UploadAttempt attempt(request, [&done](OutcomeKind status) { done.shown.append(status); });
    done.outcome = attempt.run(sitePagesOfDay(Year, Month, Day));
    // A QUIT still on its way counts with the next upload; nothing here counts it.
    done.commands = server.commands().mid(before);
    return done;
}

QMap<QString, QByteArray> pagesOnServer(const ScriptedFtpServer &server)
{
    QMap<QString, QByteArray> pages;
    for (const QString &page : sitePagesOfDay(Year, Month, Day))
        pages.insert(page, server.file(Root + page));
    return pages;
}

QMap<QString, QByteArray> pagesHere()
{
    QMap<QString, QByteArray> pages;
    for (const QString &page : sitePagesOfDay(Year, Month, Day))
        pages.insert(page, readWholeFile(localPathOf(page)));
    return pages;
}

QStringList temporariesOnServer(ScriptedFtpServer &server)
{
    QStringList found;
    for (const QString &path : server.script().files().keys()) {
        if (isTemporaryName(path.section(QLatin1Char('/'), -1)))
            found.append(path);
    }
    return found;
}

bool recordHoldsPagesHere()
{
    const ServerRecord record(destinationOf(readSettings()));
    for (const QString &page : sitePagesOfDay(Year, Month, Day)) {
        if (!record.holds(page, fileDigest(localPathOf(page))))
            return false;
    }
    return true;
}

qsizetype countOf(const QList<QByteArray> &commands, const QByteArray &verb)
{
    return std::count_if(commands.begin(), commands.end(),
                         [&](const QByteArray &line) { return line.startsWith(verb); });
}

void acquire(Habit habit, ScriptedFtpServer &server)
{
    ScriptedFtpScript &script = server.script();
    switch (habit) {
    case Habit::None:
        break;
    case Habit::KeepsHalf:
        script.setTransfer(ScriptedFtpScript::Transfer::KeepPart, 100);
        break;
    case Habit::NoRenameOverFile:
        script.setRenameOverFileRefused(true);
        break;
    case Habit::NoRenames:
        script.setRenamesRefused(true);
        break;
    case Habit::NoTemporaries:
        script.setHiddenNamesRefused(true);
        break;
    case Habit::OneCommandAtATime:
        script.setOneCommandAtATime(true);
        break;
    case Habit::RenamesOutOfOrder:
        script.setRenamesOutOfOrder(true);
        break;
    }
}

// A fault goes away with the space or the quota; a habit stays.
void recover(Habit habit, ScriptedFtpServer &server)
{
    if (habit == Habit::KeepsHalf)
        server.script().setTransfer(ScriptedFtpScript::Transfer::Store);
}

} // namespace

Q_DECLARE_METATYPE(Habit)
Q_DECLARE_METATYPE(Result)
Q_DECLARE_METATYPE(Replacing)
Q_DECLARE_METATYPE(ScriptedFtpScript::Digests)

class TestStoreAside : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void secondUpload_data();
    void secondUpload();
    void cutShortRunLeavesNoTemporary();
    void checkByDigest_data();
    void checkByDigest();
    void temporaryNames_data();
    void temporaryNames();

private:
    std::optional<TestAppDir> m_app;
    std::optional<ScriptedFtpServer> m_server;
};

// A first upload puts the old pages on the server; then the day is written again.
void TestStoreAside::init()
{
    m_app.emplace();
    m_server.emplace();
    QVERIFY(m_server->isListening());
    for (const char *directory : {"/www", "/www/2024", "/www/2024/05"})
        m_server->script().addDirectory(QString::fromLatin1(directory));
    writeScriptedSettings(*m_server);
    writeSavedDay(Year, Month, QStringLiteral("03"));
    writeSavedDay(Year, Month, Day, QStringLiteral("古い日記"));
    QCOMPARE(upload(*m_server).outcome.result, Result::Succeeded);
    QCOMPARE(pagesOnServer(*m_server), pagesHere());
    writeSavedDay(Year, Month, Day, QStringLiteral("新しい日記。") + QString(400, QChar(0x65e5)));
}

void TestStoreAside::cleanup()
{
    m_server.reset();
    m_app.reset();
}

void TestStoreAside::secondUpload_data()
{
    QTest::addColumn<Habit>("habit");
    QTest::addColumn<Result>("result");
    QTest::addColumn<OutcomeKind>("failure");
    QTest::addColumn<Replacing>("learnt");
    QTest::addColumn<bool>("together");

    QTest::newRow("a server as expected") << Habit::None << Result::Succeeded << OutcomeKind::None
                                          << Replacing::Renaming << true;
    QTest::newRow("226 after keeping part of the file")
        << Habit::KeepsHalf << Result::Failed << OutcomeKind::StoredIncomplete
        << Replacing::Renaming << true;
    QTest::newRow("no rename over a file") << Habit::NoRenameOverFile << Result::Succeeded
                                           << OutcomeKind::None << Replacing::RemovingFirst << true;
    QTest::newRow("upload-only account: renames refused")
        << Habit::NoRenames << Result::Succeeded << OutcomeKind::None << Replacing::InPlace << true;
    QTest::newRow("upload-only account: temporaries refused")
        << Habit::NoTemporaries << Result::Succeeded << OutcomeKind::None << Replacing::InPlace
        << true;
    QTest::newRow("commands taken one at a time")
        << Habit::OneCommandAtATime << Result::Failed << OutcomeKind::TimedOut
        << Replacing::Renaming << false;
    QTest::newRow("renames answered out of order")
        << Habit::RenamesOutOfOrder << Result::Failed << OutcomeKind::BadReply
        << Replacing::Renaming << false;
}

// The upload after the server showed its habit, and the one after that: the pages on the
// server are the old ones or the new ones whole, never a mix within a page; the record says
// sent only what the server holds; and what the server needs is learnt once.
void TestStoreAside::secondUpload()
{
    QFETCH(Habit, habit);
    QFETCH(Result, result);
    QFETCH(OutcomeKind, failure);
    QFETCH(Replacing, learnt);
    QFETCH(bool, together);

    ScriptedFtpServer &server = *m_server;
    const QMap<QString, QByteArray> old = pagesOnServer(server);
    acquire(habit, server);
    const Upload second = upload(server, 1s);
    QCOMPARE(second.outcome.result, result);
    QCOMPARE(second.outcome.failure.kind, failure);
    // Renames answered out of order were made in some other order too: which page the server
    // holds where is unknown, and nothing of it is recorded.
    if (habit != Habit::RenamesOutOfOrder)
        QCOMPARE(pagesOnServer(server), result == Result::Succeeded ? pagesHere() : old);
    QCOMPARE(recordHoldsPagesHere(), result == Result::Succeeded);
    const ServerRecord record(destinationOf(readSettings()));
    QCOMPARE(record.replacing(), learnt);
    QCOMPARE(record.commandsTogether(), together);
    QCOMPARE(second.shown.count(OutcomeKind::ReplacedInPlace), learnt == Replacing::InPlace ? 1 : 0);

    // The next upload knows the server: nothing refused, nothing timed out.
    recover(habit, server);
    writeSavedDay(Year, Month, Day, QStringLiteral("三度目"));
    const Upload third = upload(server, 1s);
    QCOMPARE(third.outcome.result, Result::Succeeded);
    QCOMPARE(pagesOnServer(server), pagesHere());
    QVERIFY(recordHoldsPagesHere());
    QVERIFY(!third.shown.contains(OutcomeKind::ReplacedInPlace));
    const bool renaming = learnt != Replacing::InPlace;
    QCOMPARE(countOf(third.commands, "RNFR "), renaming ? 4 : 0);
    QCOMPARE(countOf(third.commands, "RNTO "), renaming ? 4 : 0);
    // Three temporaries of the renames answered out of order were renamed away: removing
    // them, the next run asks whether they are there.
    QCOMPARE(countOf(third.commands, "SIZE "),
             (renaming ? 4 : 0) + (habit == Habit::RenamesOutOfOrder ? 3 : 0));
    // Pages removed before their renames; a failed upload's temporaries go at the start.
    QCOMPARE(countOf(third.commands, "DELE ") - countOf(third.commands, "DELE .kakiva-"),
             learnt == Replacing::RemovingFirst ? 4 : 0);
    QCOMPARE(countOf(third.commands, "DELE .kakiva-"),
             habit == Habit::OneCommandAtATime || habit == Habit::RenamesOutOfOrder ? 4 : 0);
    QVERIFY(third.commands.contains(renaming ? "RNTO 07.html" : "STOR 07.html"));
    QCOMPARE(temporariesOnServer(server), QStringList());
    QCOMPARE(ServerRecord(destinationOf(readSettings())).temporaries(), QStringList());
}

// The connection lost after every store and before any rename, as when the program is
// killed there: the old pages stay, and the next run removes the temporaries first.
void TestStoreAside::cutShortRunLeavesNoTemporary()
{
    ScriptedFtpServer &server = *m_server;
    const QMap<QString, QByteArray> old = pagesOnServer(server);
    server.setReply("RNFR", ScriptedReply::closing());
    QCOMPARE(upload(server).outcome.result, Result::Failed);
    QCOMPARE(pagesOnServer(server), old);
    QCOMPARE(temporariesOnServer(server).size(), 4);
    QCOMPARE(ServerRecord(destinationOf(readSettings())).temporaries().size(), 4);

    server.setReply("RNFR", ScriptedReply::asUsual());
    const Upload next = upload(server);
    QCOMPARE(next.outcome.result, Result::Succeeded);
    QCOMPARE(countOf(next.commands, "DELE .kakiva-"), 4);
    QCOMPARE(temporariesOnServer(server), QStringList());
    QCOMPARE(ServerRecord(destinationOf(readSettings())).temporaries(), QStringList());
    QCOMPARE(pagesOnServer(server), pagesHere());
}

using Digests = ScriptedFtpScript::Digests;

void TestStoreAside::checkByDigest_data()
{
    QTest::addColumn<Digests>("wording");
    QTest::addColumn<bool>("refuseOne");
    QTest::addColumn<bool>("changeLast");
    QTest::addColumn<Result>("result");
    QTest::addColumn<int>("hashes");
    QTest::addColumn<int>("sizes");

    QTest::newRow("HASH worded as the draft")
        << Digests::Draft << false << false << Result::Succeeded << 4 << 0;
    QTest::newRow("HASH as bare hex")
        << Digests::BareHex << false << false << Result::Succeeded << 4 << 0;
    QTest::newRow("HASH refused for one file: its SIZE instead")
        << Digests::Draft << true << false << Result::Succeeded << 4 << 1;
    QTest::newRow("a byte changed, the size as sent")
        << Digests::Draft << false << true << Result::Failed << 4 << 0;
    QTest::newRow("a byte changed, told in bare hex")
        << Digests::BareHex << false << true << Result::Failed << 4 << 0;
}

// A server that tells digests: the upload that finds out (FEAT in the same write as its sizes)
// records it, and the next one compares digests, which catch damage a size cannot.
void TestStoreAside::checkByDigest()
{
    QFETCH(Digests, wording);
    QFETCH(bool, refuseOne);
    QFETCH(bool, changeLast);
    QFETCH(Result, result);
    QFETCH(int, hashes);
    QFETCH(int, sizes);

    ScriptedFtpServer &server = *m_server;
    server.script().setDigests(wording);
    QVERIFY(!ServerRecord(destinationOf(readSettings())).offersDigests());
    const Upload learning = upload(server);
    QCOMPARE(learning.outcome.result, Result::Succeeded);
    QCOMPARE(countOf(learning.commands, "FEAT"), 1);
    QCOMPARE(countOf(learning.commands, "HASH "), 0);
    QVERIFY(ServerRecord(destinationOf(readSettings())).offersDigests());

    const QMap<QString, QByteArray> old = pagesOnServer(server);
    writeSavedDay(Year, Month, Day, QStringLiteral("四度目の日記"));
    if (refuseOne)
        server.script().queueReply("HASH", ScriptedReply::text("450 Busy, try later\r\n"));
    if (changeLast)
        server.script().setTransfer(ScriptedFtpScript::Transfer::ChangeLast);
    const Upload checked = upload(server);
    QCOMPARE(checked.outcome.result, result);
    QCOMPARE(countOf(checked.commands, "HASH "), hashes);
    QCOMPARE(countOf(checked.commands, "SIZE "), sizes);
    QCOMPARE(pagesOnServer(server), result == Result::Succeeded ? pagesHere() : old);
    QCOMPARE(recordHoldsPagesHere(), result == Result::Succeeded);
    // Digests cost no more waits than sizes, and finding out about them cost none either.
    if (!refuseOne && result == Result::Succeeded)
        QCOMPARE(checked.outcome.wire.roundTrips, learning.outcome.wire.roundTrips);
    if (result == Result::Failed)
        QCOMPARE(checked.outcome.failure.kind, OutcomeKind::StoredIncomplete);
}

void TestStoreAside::temporaryNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ours");
    QTest::newRow("made here") << temporaryName(newUploadTag(), 3) << true;
    QTest::newRow("a day page") << "07.html" << false;
    QTest::newRow("a list page") << "index.html" << false;
    QTest::newRow("another program's hidden file") << ".kakiva.tmp" << false;
    QTest::newRow("our form with a path") << "2024/.kakiva-0123abcd-1.tmp" << false;
    QTest::newRow("our form, upper-case tag") << ".kakiva-0123ABCD-1.tmp" << false;
}

// Only names Kakiva makes are ever removed as temporaries.
void TestStoreAside::temporaryNames()
{
    QFETCH(QString, name);
    QFETCH(bool, ours);
    QCOMPARE(isTemporaryName(name), ours);
}

QTEST_GUILESS_MAIN(TestStoreAside)
#include "TestStoreAside.moc"

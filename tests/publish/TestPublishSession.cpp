// What every publishing job gets from its sessions, tested once here rather than through each
// job: a destination that cannot take data right behind STOR is learnt once and for all.

#include "ScriptedFault.h"
#include "TestAppDir.h"

#include "publish/PublishRun.h"
#include "publish/PublishSession.h"
#include "publish/ServerRecord.h"

#include <QTest>

#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(ScriptedFtpScript::EarlyData)

class TestPublishSession : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_app.emplace(); }
    void cleanup() { m_app.reset(); }

    void droppedEarlyDataTurnsClassic_data();
    void droppedEarlyDataTurnsClassic();

private:
    std::optional<TestAppDir> m_app;
};

void TestPublishSession::droppedEarlyDataTurnsClassic_data()
{
    QTest::addColumn<ScriptedFtpScript::EarlyData>("early");
    QTest::addColumn<bool>("firstSucceeds");
    using Early = ScriptedFtpScript::EarlyData;
    // Nothing tells this server from one that stored the page: the STOR waits for its final
    // reply until the time-out, run after run, unless the next one starts classic.
    QTest::newRow("closed cleanly") << Early::Closed << false;
    // The reset shows at once: the page goes again within the session.
    QTest::newRow("reset") << Early::Reset << true;
}

// The session that had to fall back records the destination as one for the classic order, so
// a later session, with a new client, sends nothing ahead and stores the page.
void TestPublishSession::droppedEarlyDataTurnsClassic()
{
    QFETCH(ScriptedFtpScript::EarlyData, early);
    QFETCH(bool, firstSucceeds);
    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    server.script().addDirectory(u"/www"_s);
    server.script().setEarlyData(early);
    const PublishDestination to{server.serverString(), ScriptedUser, u"www"_s};
    const QString local = m_app->write(u"HTML/year.html"_s, QByteArray(4096, 'y'));
    const SiteFile page{local, u"year.html"_s, 4096, fileDigest(local)};
    const auto storeOnce = [&] {
        PublishRun run({to, ScriptedPassword, 2s});
        PublishSession session(run);
        const bool stored = session.logIn() &&
                            session.enter(QString()) != PublishSession::Entry::Failed &&
                            session.store(page) >= 1;
        if (stored)
            session.close();
        return stored;
    };

    QCOMPARE(storeOnce(), firstSucceeds);
    const int drops = server.script().earlyDataDrops();
    QVERIFY(drops >= 1);
    QVERIFY(!ServerRecord(to).pipelining());

    QVERIFY(storeOnce());
    QCOMPARE(server.script().earlyDataDrops(), drops);
    QCOMPARE(server.file(u"/www/year.html"_s), QByteArray(4096, 'y'));
}

QTEST_GUILESS_MAIN(TestPublishSession)
#include "TestPublishSession.moc"

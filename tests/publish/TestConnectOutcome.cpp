// How a Connect result is read, and what a failed call leaves for the window to word: by the
// values and ranges the clients give, at the edges of each range.

#include "publish/ConnectOutcome.h"
#include "publish/PublishFailure.h"

#include <QTest>

using namespace Kakiva;

class TestConnectOutcome : public QObject
{
    Q_OBJECT

private slots:
    void connectResult_data();
    void connectResult();
    void loginFailure_data();
    void loginFailure();
    void storeFailure_data();
    void storeFailure();
};

void TestConnectOutcome::connectResult_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<OutcomeKind>("kind");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<bool>("final");

    using K = OutcomeKind;
    QTest::newRow("0 connected") << 0 << K::Connected << false << false;
    QTest::newRow("1 first refusal") << 1 << K::ConnectFailed << true << false;
    QTest::newRow("5 last refusal") << 5 << K::ConnectFailed << true << false;
    QTest::newRow("-1 socket") << -1 << K::SocketNotOpened << true << false;
    QTest::newRow("-2 time-out") << -2 << K::TimedOut << true << false;
    QTest::newRow("10000 first socket error") << 10000 << K::NetworkError << true << false;
    QTest::newRow("32767 last socket error") << 32767 << K::NetworkError << true << false;
    // Outside the classed values: the attempt goes on as after 0, without a text.
    QTest::newRow("7") << 7 << K::None << false << false;
    QTest::newRow("9999") << 9999 << K::None << false << false;
    QTest::newRow("-3") << -3 << K::None << false << false;
    QTest::newRow("-32768") << -32768 << K::None << false << false;
    // The program's own inside those ranges; those retrying cannot help are final.
    QTest::newRow("6 host key") << 6 << K::HostKeyNotTrusted << true << true;
    QTest::newRow("20 algorithm") << 20 << K::NoCommonAlgorithm << true << true;
    QTest::newRow("21 login") << 21 << K::NoUsableLogin << true << true;
    QTest::newRow("22 second factor") << 22 << K::SecondFactorAsked << true << true;
    QTest::newRow("23 unclassed") << 23 << K::None << false << false;
    QTest::newRow("10013 TLS refused") << 10013 << K::TlsHandshakeFailed << true << false;
    QTest::newRow("10900 certificate") << 10900 << K::CertificateNotAccepted << true << false;
    QTest::newRow("10901 TLS too old") << 10901 << K::TlsTooOld << true << true;
}

void TestConnectOutcome::connectResult()
{
    QFETCH(int, result);
    QFETCH(OutcomeKind, kind);
    QFETCH(bool, failed);
    QFETCH(bool, final);

    const ConnectOutcome outcome = classifyConnectResult(static_cast<qint16>(result));
    QCOMPARE(outcome.kind, kind);
    QCOMPARE(outcome.failed, failed);
    QCOMPARE(outcome.final, final);
}

void TestConnectOutcome::loginFailure_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<OutcomeKind>("kind");

    QTest::newRow("refusal") << 3 << OutcomeKind::ConnectFailed;
    QTest::newRow("time-out") << -2 << OutcomeKind::TimedOut;
    QTest::newRow("host key") << 6 << OutcomeKind::HostKeyNotTrusted;
    // A login that failed on an unclassed value still failed: never a blank reason.
    QTest::newRow("unclassed") << 9999 << OutcomeKind::ConnectFailed;
    QTest::newRow("connected, then cancelled") << 0 << OutcomeKind::ConnectFailed;
}

void TestConnectOutcome::loginFailure()
{
    QFETCH(int, result);
    QFETCH(OutcomeKind, kind);

    const PublishFailure failure = PublishFailure::ofConnect(static_cast<qint16>(result));
    QCOMPARE(failure.kind, kind);
    QVERIFY(!failure.concernsPath);
}

void TestConnectOutcome::storeFailure_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<OutcomeKind>("kind");
    QTest::addColumn<int>("serverCode");

    using K = OutcomeKind;
    QTest::newRow("0 local file missing") << 0 << K::LocalFileMissing << 0;
    QTest::newRow("-1 session over") << -1 << K::SessionLost << 0;
    QTest::newRow("-2 time-out") << -2 << K::TimedOut << 0;
    QTest::newRow("-3 cancelled") << -3 << K::Cancelled << 0;
    QTest::newRow("-4 line refused") << -4 << K::Failed << 0;
    QTest::newRow("-5 bad reply") << -5 << K::BadReply << 0;
    QTest::newRow("-6 data connection") << -6 << K::DataConnectionFailed << 0;
    QTest::newRow("-7 unreadable") << -7 << K::LocalFileUnreadable << 0;
    QTest::newRow("-8 cut short") << -8 << K::TransferIncomplete << 0;
    QTest::newRow("-99 last of the client's own") << -99 << K::Failed << 0;
    QTest::newRow("-100 first server code") << -100 << K::ServerRefused << 100;
    QTest::newRow("-421 closing") << -421 << K::ServerRefused << 421;
    QTest::newRow("-550 refused") << -550 << K::ServerRefused << 550;
    QTest::newRow("5 a refused command") << 5 << K::Failed << 0;
}

void TestConnectOutcome::storeFailure()
{
    QFETCH(int, result);
    QFETCH(OutcomeKind, kind);
    QFETCH(int, serverCode);

    const PublishFailure failure =
        PublishFailure::ofStore(QStringLiteral("2024/index.html"), static_cast<qint16>(result));
    QCOMPARE(failure.kind, kind);
    QCOMPARE(failure.serverCode, serverCode);
    QVERIFY(failure.concernsPath);
    QCOMPARE(failure.remotePath, QStringLiteral("2024/index.html"));
}

QTEST_MAIN(TestConnectOutcome)
#include "TestConnectOutcome.moc"

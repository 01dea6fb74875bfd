// The trust window "証明書の確認" as the upload window and the progress window of a publish
// of many files raise it, answered by keyboard and frame, against a real TLS server
// (pyftpdlib) with certificates made at test time.

#include "DayPages.h"
#include "ModalAnswerer.h"
#include "PyFtpServer.h"
#include "TestAppDir.h"
#include "TestCertificates.h"
#include "TrustQuestionAnswer.h"
#include "TrustedUpload.h"

#include "app/publish/CertFor.h"
#include "app/publish/OutcomeText.h"
#include "app/publish/SendFor.h"
#include "app/publish/UpFor.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "publish/SiteInventory.h"
#include "settings/CertificatePin.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = PublishResult;

namespace {

enum class Certificate
{
    None,
    Presented, // the one the server shows
    Other,     // another key: the server's certificate has changed
};

constexpr int WindowTimeoutMs = 15000;

} // namespace

Q_DECLARE_METATYPE(Certificate)
Q_DECLARE_METATYPE(Result)

class TestCertFor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void trustIsAskedBeforeLogin_data();
    void trustIsAskedBeforeLogin();
    void bulkPublishTrustsAsTheUploadDoes_data();
    void bulkPublishTrustsAsTheUploadDoes();

private:
    QString fingerprint(Certificate certificate) const;
    // Starts m_server, a TLS server with the self-signed certificate, names it in the settings
    // and pins pinned for it. False, with the test failed, when it could not.
    bool setUpServer(Certificate pinned);

    std::optional<TestCertificates> m_certificates;
    std::optional<TestAppDir> m_app;
    std::optional<PyFtpServer> m_server;
    QString m_hostAndPort; // of m_server, as pins name it
};

void TestCertFor::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_certificates.emplace();
    QVERIFY2(m_certificates->isReady(), qPrintable(m_certificates->errorString()));
}

void TestCertFor::init()
{
    m_app.emplace();
    writeSavedDay("2024", "05", "07");
}

void TestCertFor::cleanup()
{
    m_server.reset();
    m_app.reset();
}

QString TestCertFor::fingerprint(Certificate certificate) const
{
    if (certificate == Certificate::None)
        return QString();
    const auto files = certificate == Certificate::Presented ? m_certificates->selfSigned()
                                                             : m_certificates->otherSelfSigned();
    return certificateFingerprint(QSslCertificate::fromPath(files.certificate).value(0));
}

bool TestCertFor::setUpServer(Certificate pinned)
{
    const auto files = m_certificates->selfSigned();
    m_server.emplace(QStringLiteral("127.0.0.1"),
                     PyFtpServer::Tls{files.certificate, files.key, false});
    m_hostAndPort = QStringLiteral("127.0.0.1:%1").arg(m_server->port());
    [&] {
        QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
        writeFtpSettings(m_server->serverString(), m_server->user(), m_server->password(),
                         QString());
        QString error;
        if (pinned != Certificate::None)
            QVERIFY2(writeCertificatePin(m_hostAndPort, fingerprint(pinned), &error),
                     qPrintable(error));
    }();
    return !QTest::currentTestFailed();
}

void TestCertFor::trustIsAskedBeforeLogin_data()
{
    QTest::addColumn<Certificate>("pinnedBefore");
    QTest::addColumn<TrustAnswer>("answer");
    QTest::addColumn<Result>("result");
    QTest::addColumn<Certificate>("pinnedAfter");

    QTest::newRow("Alt+T trusts and pins")
        << Certificate::None << TrustAnswer::AltT << Result::Succeeded << Certificate::Presented;
    QTest::newRow("Escape refuses") << Certificate::None << TrustAnswer::Escape
                                    << Result::CertificateRefused << Certificate::None;
    QTest::newRow("pinned: not asked again") << Certificate::Presented << TrustAnswer::None
                                             << Result::Succeeded << Certificate::Presented;
    QTest::newRow("changed: the frame refuses") << Certificate::Other << TrustAnswer::Frame
                                                << Result::CertificateRefused << Certificate::Other;
    QTest::newRow("changed: Alt+T trusts the new one")
        << Certificate::Other << TrustAnswer::AltT << Result::Succeeded << Certificate::Presented;
}

void TestCertFor::trustIsAskedBeforeLogin()
{
    QFETCH(Certificate, pinnedBefore);
    QFETCH(TrustAnswer, answer);
    QFETCH(Result, result);
    QFETCH(Certificate, pinnedAfter);

    if (!setUpServer(pinnedBefore))
        return;
    PyFtpServer &server = *m_server;
    const QString hostAndPort = m_hostAndPort;

    QStringList commandsWhenAsked;
    UpFor window(savedDay("2024", "05", "07"), readSettings());
    const TrustedUpload upload = answerTrustInFirstRun<CertFor>(
        window, answer, [&](CertFor *) { commandsWhenAsked = server.commands(); });
    verifyTrustAsked(upload, answer, QStringLiteral("証明書の確認"),
                     pinnedBefore == Certificate::Other);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(upload.result, result);
    QCOMPARE(readCertificatePin(hostAndPort), fingerprint(pinnedAfter));
    if (answer != TrustAnswer::None)
        QCOMPARE(commandsWhenAsked, QStringList{"AUTH TLS"}); // asked before any login
    if (result == Result::Succeeded) {
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(server.remoteFile(QStringLiteral("2024/05/07.html")).isEmpty(), false);
        return;
    }
    // Refused: no retry, nothing more sent, and the user can close the window.
    QCOMPARE(window.UpLab->text(), OutcomeText::of(OutcomeKind::CertificateNotAccepted));
    QVERIFY(window.CloseCom->isEnabled());
    // The timer starts every attempt: stopped, with none running, no retry can follow.
    QVERIFY(!window.UpTim->isActive());
    QVERIFY(!window.isRunning());
    QCOMPARE(server.commands(), QStringList{"AUTH TLS"});
    QTest::mouseClick(window.CloseCom, Qt::LeftButton);
    QVERIFY(!window.isVisible());
}

void TestCertFor::bulkPublishTrustsAsTheUploadDoes_data()
{
    QTest::addColumn<Certificate>("pinnedBefore");
    QTest::addColumn<TrustAnswer>("answer");
    QTest::addColumn<bool>("sent");

    QTest::newRow("pinned: not asked") << Certificate::Presented << TrustAnswer::None << true;
    QTest::newRow("not pinned: Escape refuses")
        << Certificate::None << TrustAnswer::Escape << false;
    QTest::newRow("changed: Alt+T trusts the new one")
        << Certificate::Other << TrustAnswer::AltT << true;
}

// The publish of the whole site accepts the pin the upload window stored, and asks about any
// other certificate in the same window: a refusal sends nothing, shows "証明書エラー" and is not
// retried.
void TestCertFor::bulkPublishTrustsAsTheUploadDoes()
{
    QFETCH(Certificate, pinnedBefore);
    QFETCH(TrustAnswer, answer);
    QFETCH(bool, sent);

    if (!setUpServer(pinnedBefore))
        return;
    ModalAnswerer<CertFor> answerer([&](CertFor *dialog) { answerTrustQuestion(dialog, answer); });
    SendFor window(SendFor::Scope::Everything);
    window.setRetryDelays(50ms, 50ms);
    QSignalSpy runs(&window, &SendFor::runFinished);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!runs.isEmpty(), WindowTimeoutMs);

    QCOMPARE(answerer.shown(), answer == TrustAnswer::None ? 0 : 1);
    QCOMPARE(readCertificatePin(m_hostAndPort),
             fingerprint(sent ? Certificate::Presented : pinnedBefore));
    if (sent) {
        QCOMPARE(runs.first().first().value<PublishResult>(), PublishResult::Succeeded);
        for (const SiteFile &file : siteFiles())
            QCOMPARE(m_server->remoteFile(file.remotePath), readWholeFile(file.localPath));
        return;
    }
    QCOMPARE(runs.first().first().value<PublishResult>(), PublishResult::CertificateRefused);
    QCOMPARE(window.StatusLab->text(), OutcomeText::of(OutcomeKind::CertificateNotAccepted));
    // No retry is pending or running, and nothing but AUTH TLS reached the server.
    QVERIFY(!window.SendTim->isActive());
    QVERIFY(!window.isRunning());
    QCOMPARE(m_server->commands(), QStringList{"AUTH TLS"});
}

QTEST_MAIN(TestCertFor)
#include "TestCertFor.moc"

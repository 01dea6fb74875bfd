// The pinned certificate beside the server setting.

#include "TestAppDir.h"

#include "settings/CertificatePin.h"
#include "settings/SettingsFile.h"

#include <QTest>

#include <optional>

using namespace Kakiva;

class TestCertificatePin : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_app.emplace(); }
    void cleanup() { m_app.reset(); }

    void readsThePinOfThatServerOnly_data();
    void readsThePinOfThatServerOnly();
    void pinReplacesThePinBefore();

private:
    std::optional<TestAppDir> m_app;
};

void TestCertificatePin::readsThePinOfThatServerOnly_data()
{
    QTest::addColumn<QString>("stored"); // the Certificate value as found in the file
    QTest::addColumn<QString>("pin");    // what is read for host:21

    QTest::newRow("none") << QString() << QString();
    QTest::newRow("this server") << "host:21 ab12"
                                 << "ab12";
    QTest::newRow("upper-case hex") << "host:21 AB12"
                                    << "ab12";
    QTest::newRow("another port") << "host:990 ab12" << QString();
    QTest::newRow("another host") << "other:21 ab12" << QString();
    QTest::newRow("no fingerprint") << "host:21" << QString();
}

void TestCertificatePin::readsThePinOfThatServerOnly()
{
    QFETCH(QString, stored);
    QFETCH(QString, pin);
    if (!stored.isEmpty())
        QVERIFY(IniWrite(FtpSection, CertificateKey, stored));
    QCOMPARE(readCertificatePin(QStringLiteral("host:21")), pin);
}

// One pin at a time, beside the other settings, which stay as they were.
void TestCertificatePin::pinReplacesThePinBefore()
{
    QVERIFY(IniWrite(FtpSection, ServerKey, QStringLiteral("ftpes://host")));
    QVERIFY(writeCertificatePin(QStringLiteral("host:21"), QStringLiteral("AA11")));
    QVERIFY(writeCertificatePin(QStringLiteral("host:21"), QStringLiteral("bb22")));
    QCOMPARE(readCertificatePin(QStringLiteral("host:21")), QStringLiteral("bb22"));
    QCOMPARE(IniRead(FtpSection, ServerKey), QStringLiteral("ftpes://host"));
    QCOMPARE(m_app->read(QStringLiteral("Kakiva.ini")).count("Certificate="), 1);
}

QTEST_GUILESS_MAIN(TestCertificatePin)
#include "TestCertificatePin.moc"

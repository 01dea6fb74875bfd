// The server setting read into host, port and the kind of TLS.

#include "publish/client/ServerAddress.h"

#include <QTest>

using namespace Kakiva;

Q_DECLARE_METATYPE(FtpSecurity)

class TestServerAddress : public QObject
{
    Q_OBJECT

private slots:
    void serverAddress_data();
    void serverAddress();
};

void TestServerAddress::serverAddress_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<FtpSecurity>("security");
    const FtpSecurity Plain = FtpSecurity::Plain;
    const FtpSecurity Explicit = FtpSecurity::Explicit;
    const FtpSecurity Implicit = FtpSecurity::Implicit;

    QTest::newRow("host name") << "ftp.example.org" << true << "ftp.example.org" << 21 << Plain;
    QTest::newRow("host name and port")
        << "ftp.example.org:2121" << true << "ftp.example.org" << 2121 << Plain;
    QTest::newRow("IPv4") << "127.0.0.1" << true << "127.0.0.1" << 21 << Plain;
    QTest::newRow("IPv4 and port") << "127.0.0.1:2121" << true << "127.0.0.1" << 2121 << Plain;
    QTest::newRow("bare IPv6") << "::1" << true << "::1" << 21 << Plain;
    QTest::newRow("bare IPv6, no port taken from it")
        << "fe80::1:2" << true << "fe80::1:2" << 21 << Plain;
    QTest::newRow("bracketed IPv6") << "[::1]" << true << "::1" << 21 << Plain;
    QTest::newRow("bracketed IPv6 and port") << "[::1]:2121" << true << "::1" << 2121 << Plain;
    QTest::newRow("blanks around") << "  127.0.0.1:2121 " << true << "127.0.0.1" << 2121 << Plain;
    QTest::newRow("empty") << "" << false << "" << 0 << Plain;
    QTest::newRow("blanks only") << "   " << false << "" << 0 << Plain;
    QTest::newRow("colon without port") << "host:" << false << "" << 0 << Plain;
    QTest::newRow("port zero") << "host:0" << false << "" << 0 << Plain;
    QTest::newRow("port too large") << "host:65536" << false << "" << 0 << Plain;
    QTest::newRow("port with letters") << "host:21x" << false << "" << 0 << Plain;
    QTest::newRow("port without host") << ":21" << false << "" << 0 << Plain;
    QTest::newRow("bracket not closed") << "[::1" << false << "" << 0 << Plain;
    QTest::newRow("text after bracket") << "[::1]2121" << false << "" << 0 << Plain;
    QTest::newRow("name in brackets") << "[host]:21" << false << "" << 0 << Plain;
    QTest::newRow("colons but no IPv6") << "a:b:c" << false << "" << 0 << Plain;
    QTest::newRow("blank inside") << "my host" << false << "" << 0 << Plain;
    QTest::newRow("path") << "host/dir" << false << "" << 0 << Plain;

    QTest::newRow("explicit TLS") << "ftpes://ftp.example.org" << true << "ftp.example.org" << 21
                                  << Explicit;
    QTest::newRow("explicit TLS and port, capitals")
        << "FTPES://ftp.example.org:2121/" << true << "ftp.example.org" << 2121 << Explicit;
    QTest::newRow("implicit TLS") << "ftps://127.0.0.1" << true << "127.0.0.1" << 990 << Implicit;
    QTest::newRow("implicit TLS, IPv6 and port")
        << " ftps://[::1]:9990" << true << "::1" << 9990 << Implicit;
    QTest::newRow("implicit TLS, bare IPv6 ending like a port")
        << "ftps://fe80::21" << true << "fe80::21" << 990 << Implicit;
    QTest::newRow("scheme without host") << "ftpes://" << false << "" << 0 << Plain;
    QTest::newRow("plain scheme is not a form") << "ftp://host" << false << "" << 0 << Plain;
    QTest::newRow("scheme with a path") << "ftps://host/dir/" << false << "" << 0 << Plain;
}

void TestServerAddress::serverAddress()
{
    QFETCH(QString, server);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(FtpSecurity, security);

    const auto address = parseFtpServerAddress(server);
    QCOMPARE(address.has_value(), valid);
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
        QCOMPARE(address->security, security);
    }
}

QTEST_GUILESS_MAIN(TestServerAddress)
#include "TestServerAddress.moc"

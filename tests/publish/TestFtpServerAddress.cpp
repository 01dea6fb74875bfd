// The server setting read into host and port.

#include "publish/FtpServerAddress.h"

#include <QTest>

using namespace Kakiva;

class TestFtpServerAddress : public QObject
{
    Q_OBJECT

private slots:
    void serverAddress_data();
    void serverAddress();
};

void TestFtpServerAddress::serverAddress_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("host name") << "ftp.example.org" << true << "ftp.example.org" << 21;
    QTest::newRow("host name and port")
        << "ftp.example.org:2121" << true << "ftp.example.org" << 2121;
    QTest::newRow("IPv4") << "127.0.0.1" << true << "127.0.0.1" << 21;
    QTest::newRow("IPv4 and port") << "127.0.0.1:2121" << true << "127.0.0.1" << 2121;
    QTest::newRow("bare IPv6") << "::1" << true << "::1" << 21;
    QTest::newRow("bare IPv6, no port taken from it") << "fe80::1:2" << true << "fe80::1:2" << 21;
    QTest::newRow("bracketed IPv6") << "[::1]" << true << "::1" << 21;
    QTest::newRow("bracketed IPv6 and port") << "[::1]:2121" << true << "::1" << 2121;
    QTest::newRow("blanks around") << "  127.0.0.1:2121 " << true << "127.0.0.1" << 2121;
    QTest::newRow("empty") << "" << false << "" << 0;
    QTest::newRow("blanks only") << "   " << false << "" << 0;
    QTest::newRow("colon without port") << "host:" << false << "" << 0;
    QTest::newRow("port zero") << "host:0" << false << "" << 0;
    QTest::newRow("port too large") << "host:65536" << false << "" << 0;
    QTest::newRow("port with letters") << "host:21x" << false << "" << 0;
    QTest::newRow("port without host") << ":21" << false << "" << 0;
    QTest::newRow("bracket not closed") << "[::1" << false << "" << 0;
    QTest::newRow("text after bracket") << "[::1]2121" << false << "" << 0;
    QTest::newRow("name in brackets") << "[host]:21" << false << "" << 0;
    QTest::newRow("colons but no IPv6") << "a:b:c" << false << "" << 0;
    QTest::newRow("blank inside") << "my host" << false << "" << 0;
    QTest::newRow("path") << "host/dir" << false << "" << 0;
}

void TestFtpServerAddress::serverAddress()
{
    QFETCH(QString, server);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);

    const auto address = parseFtpServerAddress(server);
    QCOMPARE(address.has_value(), valid);
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
    }
}

QTEST_GUILESS_MAIN(TestFtpServerAddress)
#include "TestFtpServerAddress.moc"

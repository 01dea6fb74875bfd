// Reply parsing: the control connection's bytes cut into replies, and the ports of passive
// replies.

#include "publish/ftp/FtpReply.h"
#include "publish/ftp/FtpReplyParser.h"

#include <QTest>

using namespace Kakiva;

namespace {

QByteArray lineOf(char c, qsizetype size)
{
    return QByteArray(size, c);
}

} // namespace

class TestFtpReplyParser : public QObject
{
    Q_OBJECT

private slots:
    void replyParser_data();
    void replyParser();
    void replyParserKeepsTheNextReply();
    void passivePorts_data();
    void passivePorts();
};

void TestFtpReplyParser::replyParser_data()
{
    using S = FtpReplyParser::Status;
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("code");
    QTest::addColumn<QList<QByteArray>>("lines");

    const int max = FtpReplyParser::MaxLineLength;
    QByteArray manyLines = "250-start\r\n";
    for (int i = 1; i < FtpReplyParser::MaxLines - 1; ++i)
        manyLines += "line\r\n";
    QList<QByteArray> manyExpected = manyLines.split('\n');
    manyExpected.removeLast();
    for (QByteArray &line : manyExpected)
        line.chop(1);

    QTest::newRow("single line") << QList<QByteArray>{"250 ok\r\n"} << int(S::Complete) << 250
                                 << QList<QByteArray>{"250 ok"};
    QTest::newRow("code without text")
        << QList<QByteArray>{"250\r\n"} << int(S::Complete) << 250 << QList<QByteArray>{"250"};
    QTest::newRow("bare LF") << QList<QByteArray>{"250 ok\n"} << int(S::Complete) << 250
                             << QList<QByteArray>{"250 ok"};
    QTest::newRow("split inside the code")
        << QList<QByteArray>{"2", "50 o", "k\r\n"} << int(S::Complete) << 250
        << QList<QByteArray>{"250 ok"};
    QTest::newRow("split between CR and LF")
        << QList<QByteArray>{"250 ok\r", "\n"} << int(S::Complete) << 250
        << QList<QByteArray>{"250 ok"};
    QTest::newRow("line end still missing")
        << QList<QByteArray>{"250 ok"} << int(S::NeedMore) << 0 << QList<QByteArray>{};
    QTest::newRow("multi-line") << QList<QByteArray>{"230-Welcome\r\n230-more\r\n230 done\r\n"}
                                << int(S::Complete) << 230
                                << QList<QByteArray>{"230-Welcome", "230-more", "230 done"};
    QTest::newRow("multi-line with lines that look like replies")
        << QList<QByteArray>{"230-a\r\n 230 b\r\n231 c\r\n230-d\r\n230 e\r\n"} << int(S::Complete)
        << 230 << QList<QByteArray>{"230-a", " 230 b", "231 c", "230-d", "230 e"};
    QTest::newRow("multi-line closed by the bare code")
        << QList<QByteArray>{"230-a\n", "230\n"} << int(S::Complete) << 230
        << QList<QByteArray>{"230-a", "230"};
    QTest::newRow("multi-line split across reads")
        << QList<QByteArray>{"220-Wel", "come\r\n22", "0 Ready\r\n"} << int(S::Complete) << 220
        << QList<QByteArray>{"220-Welcome", "220 Ready"};
    QTest::newRow("multi-line not finished")
        << QList<QByteArray>{"230-a\r\n230-b\r\n"} << int(S::NeedMore) << 0 << QList<QByteArray>{};
    QTest::newRow("not a reply") << QList<QByteArray>{"hello\r\n"} << int(S::Malformed) << 0
                                 << QList<QByteArray>{};
    QTest::newRow("two-digit code")
        << QList<QByteArray>{"25 ok\r\n"} << int(S::Malformed) << 0 << QList<QByteArray>{};
    QTest::newRow("code above 5xx")
        << QList<QByteArray>{"600 x\r\n"} << int(S::Malformed) << 0 << QList<QByteArray>{};
    QTest::newRow("code below 1xx")
        << QList<QByteArray>{"099 x\r\n"} << int(S::Malformed) << 0 << QList<QByteArray>{};
    QTest::newRow("letter after the code")
        << QList<QByteArray>{"250x\r\n"} << int(S::Malformed) << 0 << QList<QByteArray>{};
    QTest::newRow("empty line") << QList<QByteArray>{"\r\n"} << int(S::Malformed) << 0
                                << QList<QByteArray>{};
    QTest::newRow("longest line allowed")
        << QList<QByteArray>{"250 " + lineOf('a', max - 4) + "\r\n"} << int(S::Complete) << 250
        << QList<QByteArray>{"250 " + lineOf('a', max - 4)};
    QTest::newRow("overlong line with its end")
        << QList<QByteArray>{"250 " + lineOf('a', max) + "\r\n"} << int(S::LineTooLong) << 0
        << QList<QByteArray>{};
    QTest::newRow("overlong line, end never comes")
        << QList<QByteArray>{"250 ", lineOf('a', max - 10), lineOf('a', 20)} << int(S::LineTooLong)
        << 0 << QList<QByteArray>{};
    QTest::newRow("most lines allowed") << QList<QByteArray>{manyLines + "250 end\r\n"}
                                        << int(S::Complete) << 250 << (manyExpected << "250 end");
    QTest::newRow("too many lines") << QList<QByteArray>{manyLines + "line\r\n250 end\r\n"}
                                    << int(S::TooManyLines) << 0 << QList<QByteArray>{};
}

void TestFtpReplyParser::replyParser()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, status);
    QFETCH(int, code);
    QFETCH(QList<QByteArray>, lines);

    FtpReplyParser parser;
    FtpReply reply;
    FtpReplyParser::Status last = FtpReplyParser::Status::NeedMore;
    for (const QByteArray &chunk : chunks) {
        QCOMPARE(last, FtpReplyParser::Status::NeedMore);
        parser.append(chunk);
        last = parser.next(&reply);
    }
    QCOMPARE(int(last), status);
    if (last == FtpReplyParser::Status::Complete) {
        QCOMPARE(reply.code, code);
        QCOMPARE(reply.lines, lines);
        QVERIFY(!parser.hasBufferedBytes());
    }
}

void TestFtpReplyParser::replyParserKeepsTheNextReply()
{
    FtpReplyParser parser;
    FtpReply reply;
    parser.append("150 Opening\r\n226 Done\r\n2");
    QCOMPARE(parser.next(&reply), FtpReplyParser::Status::Complete);
    QCOMPARE(reply.code, 150);
    QVERIFY(reply.isPreliminary());
    QCOMPARE(parser.next(&reply), FtpReplyParser::Status::Complete);
    QCOMPARE(reply.code, 226);
    QCOMPARE(parser.next(&reply), FtpReplyParser::Status::NeedMore);
    parser.append("00 Next\r\n");
    QCOMPARE(parser.next(&reply), FtpReplyParser::Status::Complete);
    QCOMPARE(reply.code, 200);
}

void TestFtpReplyParser::passivePorts_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("port"); // 0: no port can be taken from it

    QTest::newRow("EPSV") << QByteArray("229 Entering Extended Passive Mode (|||6446|)") << 6446;
    QTest::newRow("EPSV other delimiter") << QByteArray("229 Extended (!!!6446!)") << 6446;
    QTest::newRow("EPSV highest port") << QByteArray("229 (|||65535|)") << 65535;
    QTest::newRow("EPSV port zero") << QByteArray("229 (|||0|)") << 0;
    QTest::newRow("EPSV port too large") << QByteArray("229 (|||65536|)") << 0;
    QTest::newRow("EPSV two delimiters") << QByteArray("229 (||6446|)") << 0;
    QTest::newRow("EPSV no closing parenthesis") << QByteArray("229 (|||6446|") << 0;
    QTest::newRow("EPSV letters") << QByteArray("229 (|||64a6|)") << 0;
    QTest::newRow("EPSV digit as delimiter") << QByteArray("229 (11164461)") << 0;
    QTest::newRow("PASV") << QByteArray("227 Entering Passive Mode (127,0,0,1,4,1)") << 1025;
    QTest::newRow("PASV without parentheses")
        << QByteArray("227 Passive =127,0,0,1,200,10") << 51210;
    QTest::newRow("PASV naming another host, port only")
        << QByteArray("227 Entering Passive Mode (10,1,2,3,19,137)") << 5001;
    QTest::newRow("PASV number over 255") << QByteArray("227 (127,0,0,1,256,1)") << 0;
    QTest::newRow("PASV five numbers") << QByteArray("227 (127,0,0,1,4)") << 0;
    QTest::newRow("PASV port zero") << QByteArray("227 (127,0,0,1,0,0)") << 0;
    QTest::newRow("other code") << QByteArray("200 (|||6446|) (127,0,0,1,4,1)") << 0;
}

void TestFtpReplyParser::passivePorts()
{
    QFETCH(QByteArray, line);
    QFETCH(int, port);

    const FtpReply reply{line.left(3).toInt(), {line}};
    const auto found = reply.code == 229 ? extendedPassivePort(reply) : passivePort(reply);
    QCOMPARE(found.value_or(0), port);
}

QTEST_GUILESS_MAIN(TestFtpReplyParser)
#include "TestFtpReplyParser.moc"

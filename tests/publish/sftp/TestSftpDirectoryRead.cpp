// What a server's READDIR answer comes to: files and directories with plain names, and
// nothing at all from an answer that is cut short or lies about its count.

#include "publish/sftp/SftpDirectoryRead.h"
#include "publish/sftp/SftpPacket.h"

#include "RemoteEntryText.h"
#include <QTest>

using namespace Kakiva;

namespace {

constexpr quint32 RegularFile = 0100644;
constexpr quint32 Directory = 0040755;
constexpr quint32 Link = 0120777;

struct Name
{
    QByteArray name;
    std::optional<quint64> size;
    std::optional<quint32> permissions;
    bool extended = false;
};

QByteArray answerOf(const QList<Name> &names, quint32 count)
{
    SftpPacket::Writer body;
    body.u32(count);
    for (const Name &n : names) {
        body.string(n.name).string("-rw-r--r-- 1 u g 0 Aug 17 2004 " + n.name);
        quint32 flags =
            (n.size ? 0x01 : 0) | (n.permissions ? 0x04 : 0) | (n.extended ? 0x80000000 : 0);
        body.u32(flags);
        if (n.size)
            body.u64(*n.size);
        if (n.permissions)
            body.u32(*n.permissions);
        if (n.extended)
            body.u32(1).string("vendor@example.com").string("value");
    }
    return body.bytes();
}

} // namespace

class TestSftpDirectoryRead : public QObject
{
    Q_OBJECT

private slots:
    void names_data();
    void names();
};

void TestSftpDirectoryRead::names_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QStringList>("entries");

    const QList<Name> site{{"17.html", 512, RegularFile}, {"08", 4096, Directory}};
    QTest::newRow("file and directory")
        << answerOf(site, 2) << true << QStringList{"17.html|512|f", "08|-1|d"};
    QTest::newRow("dot entries") << answerOf({{".", 0, Directory}, {"..", 0, Directory}}, 2) << true
                                 << QStringList{};
    QTest::newRow("link") << answerOf({{"elsewhere", 9, Link}}, 1) << true << QStringList{};
    QTest::newRow("names that are paths") << answerOf({{"../../etc/passwd", 9, RegularFile},
                                                       {"a/b", 1, RegularFile},
                                                       {"a\\b", 1, RegularFile},
                                                       {"ok", 1, RegularFile}},
                                                      4)
                                          << true << QStringList{"ok|1|f"};
    QTest::newRow("control character")
        << answerOf({{"a\nb", 1, RegularFile}}, 1) << true << QStringList{};
    QTest::newRow("size without permissions")
        << answerOf({{"17.html", 5, std::nullopt}}, 1) << true << QStringList{"17.html|5|f"};
    QTest::newRow("neither size nor permissions")
        << answerOf({{"17.html", std::nullopt, std::nullopt}}, 1) << true << QStringList{};
    QTest::newRow("extended attributes read past")
        << answerOf({{"a", 1, RegularFile, true}, {"b", 2, RegularFile}}, 2) << true
        << QStringList{"a|1|f", "b|2|f"};
    QTest::newRow("count larger than the names")
        << answerOf(site, 3) << false << QStringList{"17.html|512|f", "08|-1|d"};
    QTest::newRow("cut short") << answerOf(site, 2).chopped(3) << false
                               << QStringList{"17.html|512|f"};
    QTest::newRow("empty") << QByteArray() << false << QStringList{};
}

void TestSftpDirectoryRead::names()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, readable);
    QFETCH(QStringList, entries);
    QList<RemoteEntry> read;
    QCOMPARE(readSftpNames(body, &read), readable);
    QCOMPARE(describedEntries(read), entries);
}

QTEST_GUILESS_MAIN(TestSftpDirectoryRead)
#include "TestSftpDirectoryRead.moc"

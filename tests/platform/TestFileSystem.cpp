#include "platform/FileSystem.h"

#include "TestAppDir.h"
#include "TestTree.h"

#include <QTest>

using namespace Kakiva;

class TestFileSystem : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
    void unreadableListing();
};

void TestFileSystem::listing_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("directories");
    QTest::newRow("empty directory") << QStringList() << QStringList() << QStringList();
    QTest::newRow("letter case ignored") << QStringList{"b", "C", "a", "B2/"}
                                         << QStringList{"a", "b", "B2", "C"} << QStringList{"B2"};
    QTest::newRow("digits before letters")
        << QStringList{"year.html", "2005/", "2004/", "images/", "index.html"}
        << QStringList{"2004", "2005", "images", "index.html", "year.html"}
        << QStringList{"2004", "2005", "images"};
    QTest::newRow("hidden left out")
        << QStringList{".hidden", ".cache/", "a"} << QStringList{"a"} << QStringList();
}

void TestFileSystem::listing()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, names);
    QFETCH(QStringList, directories);
    TestAppDir dir;
    createTree(dir.path(), tree);
    QString error;
    const auto listing = listDirectory(dir.path(), &error);
    QVERIFY(listing);
    QStringList listedNames;
    QStringList listedDirectories;
    for (const DirEntry &entry : *listing) {
        listedNames.append(entry.name);
        if (entry.isDirectory)
            listedDirectories.append(entry.name);
    }
    QCOMPARE(listedNames, names);
    QCOMPARE(listedDirectories, directories);
    QVERIFY(error.isEmpty());
}

void TestFileSystem::unreadableListing()
{
    TestAppDir dir;
    QString error;
    const QString missing = dir.filePath("missing");
    QVERIFY(!listDirectory(missing, &error));
    verifyErrorNames(error, missing);
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "TestFileSystem.moc"

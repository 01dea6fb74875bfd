#include "platform/FileSystem.h"
#include "platform/RegularFile.h"
#include "platform/WholeFile.h"

#include "TestAppDir.h"
#include "TestTree.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>

using namespace Kakiva;

class TestFileSystem : public QObject
{
    Q_OBJECT

private slots:
    void listing_data();
    void listing();
    void unreadableListing();
    void onlyRegularFilesOpen_data();
    void onlyRegularFilesOpen();
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

// A named pipe stands in for a file that never answers, such as one on a hung drive:
// it is refused at once with its path, for reading and for appending alike.
void TestFileSystem::onlyRegularFilesOpen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("appending");
    QTest::addColumn<FileOpen>("opened");
    QTest::newRow("named pipe, read") << "pipe" << false << FileOpen::Failed;
    QTest::newRow("named pipe, appended") << "pipe" << true << FileOpen::Failed;
    QTest::newRow("directory, read") << "directory" << false << FileOpen::Failed;
    QTest::newRow("regular file, appended") << "file" << true << FileOpen::Opened;
    QTest::newRow("missing, read") << "missing" << false << FileOpen::Missing;
}

void TestFileSystem::onlyRegularFilesOpen()
{
    QFETCH(QString, kind);
    QFETCH(bool, appending);
    QFETCH(FileOpen, opened);
    TestAppDir dir;
    const QString path = dir.filePath("ftp.log");
    if (kind == "pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "directory")
        QVERIFY(QDir().mkdir(path));
    else if (kind == "file")
        dir.write("ftp.log", "x");
    QFile file(path);
    QCOMPARE(openRegularFile(file, appending ? QIODevice::Append : QIODevice::ReadOnly), opened);
    QByteArray bytes;
    QString error;
    if (!appending && readFileWhole(path, &bytes, &error) != FileRead::Done)
        verifyErrorNames(error, path);
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "TestFileSystem.moc"

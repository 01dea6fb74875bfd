#include "platform/RegularFile.h"
#include "platform/WholeFile.h"

#include "TestAppDir.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>

using namespace Kakiva;
using namespace Qt::StringLiterals;

// Files that never answer (a named pipe stands in for a hung drive) are refused at once
// with their path, for reading and for appending alike; nothing waits on them.
class TestRegularFile : public QObject
{
    Q_OBJECT

private slots:
    void onlyRegularFilesOpen_data();
    void onlyRegularFilesOpen();
};

void TestRegularFile::onlyRegularFilesOpen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("appending");
    QTest::addColumn<FileOpen>("opened");
    QTest::newRow("named pipe, read") << u"pipe"_s << false << FileOpen::Failed;
    QTest::newRow("named pipe, appended") << u"pipe"_s << true << FileOpen::Failed;
    QTest::newRow("directory, read") << u"directory"_s << false << FileOpen::Failed;
    QTest::newRow("regular file, read") << u"file"_s << false << FileOpen::Opened;
    QTest::newRow("regular file, appended") << u"file"_s << true << FileOpen::Opened;
    QTest::newRow("missing, read") << u"missing"_s << false << FileOpen::Missing;
    QTest::newRow("missing, appended") << u"missing"_s << true << FileOpen::Opened;
}

void TestRegularFile::onlyRegularFilesOpen()
{
    QFETCH(QString, kind);
    QFETCH(bool, appending);
    QFETCH(FileOpen, opened);
    TestAppDir dir;
    const QString path = dir.filePath(u"Kakiva.ini"_s);
    if (kind == u"pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == u"directory")
        QVERIFY(QDir().mkdir(path));
    else if (kind == u"file")
        dir.write(u"Kakiva.ini"_s, "[FTP]\r\n");

    QFile file(path);
    const QIODevice::OpenMode mode =
        appending ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::ReadOnly;
    QCOMPARE(openRegularFile(file, mode), opened);
    QCOMPARE(file.isOpen(), opened == FileOpen::Opened);
    file.close();
    if (appending)
        return;
    QByteArray bytes;
    QString error;
    const FileRead read = readFileWhole(path, &bytes, &error);
    QCOMPARE(read == FileRead::Done, opened == FileOpen::Opened);
    if (opened == FileOpen::Failed) {
        QCOMPARE(read, FileRead::Failed);
        verifyErrorNames(error, path);
    }
}

QTEST_GUILESS_MAIN(TestRegularFile)
#include "TestRegularFile.moc"

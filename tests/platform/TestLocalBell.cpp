#include "platform/LocalBell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include <future>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

enum class Listener
{
    Answers,
    None,
    OverLeftFile, // a file of the same name was left behind
};

QString uniqueName()
{
    return u"kakiva-bell-test-"_s + QUuid::createUuid().toString(QUuid::Id128);
}

// Rings from another thread while this one runs the event loop the listener answers in.
bool ringWhileListening(const QString &name, const QByteArray &expected)
{
    auto heard = std::async(std::launch::async,
                            [&] { return LocalBell::ring(name, expected, 3000); });
    while (heard.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return heard.get();
}

} // namespace

class TestLocalBell : public QObject
{
    Q_OBJECT

private slots:
    void ring_data();
    void ring();
    void nameTooLongForASocket();
    void socketGoesWithTheListener();
};

void TestLocalBell::ring_data()
{
    QTest::addColumn<Listener>("listener");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("heard");
    QTest::newRow("listener answers") << Listener::Answers << QByteArray("shown\n") << true;
    QTest::newRow("nobody listens") << Listener::None << QByteArray("shown\n") << false;
    QTest::newRow("listener over a file left behind")
        << Listener::OverLeftFile << QByteArray("shown\n") << true;
    QTest::newRow("another answer than expected")
        << Listener::Answers << QByteArray("other\n") << false;
}

void TestLocalBell::ring()
{
    QFETCH(Listener, listener);
    QFETCH(QByteArray, expected);
    QFETCH(bool, heard);
    const QString name = uniqueName();
    if (listener == Listener::OverLeftFile) {
        QFile left(QDir(QDir::tempPath()).filePath(name));
        QVERIFY(left.open(QIODevice::WriteOnly));
    }
    LocalBell bell(name, "shown\n");
    QSignalSpy rung(&bell, &LocalBell::rung);
    if (listener != Listener::None)
        QVERIFY(bell.listen());
    QCOMPARE(ringWhileListening(name, expected), heard);
    QCOMPARE(rung.size(), listener == Listener::None ? 0 : 1);
}

void TestLocalBell::nameTooLongForASocket()
{
    const QString name = QString(200, u'x');
    LocalBell bell(name, "shown\n");
    QVERIFY(!bell.listen());
    QVERIFY(!LocalBell::ring(name, "shown\n", 100));
}

// A later start must not find a socket of a run that has ended.
void TestLocalBell::socketGoesWithTheListener()
{
    const QString name = uniqueName();
    const QString path = QDir(QDir::tempPath()).filePath(name);
    {
        LocalBell bell(name, "shown\n");
        QVERIFY(bell.listen());
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::WriteGroup |
                                              QFile::ReadOther | QFile::WriteOther),
                 QFile::Permissions());
    }
    QVERIFY(!QFile::exists(path));
    QVERIFY(!LocalBell::ring(name, "shown\n", 100));
}

QTEST_GUILESS_MAIN(TestLocalBell)
#include "TestLocalBell.moc"

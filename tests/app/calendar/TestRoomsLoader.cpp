// The windows' module as the program loads it: found, loaded and answering, and, when it
// is missing or broken, a message in place of the windows rather than a crash. This test
// links the calendar alone, as the program does, so nothing is offered in-process.
#include "app/calendar/MainFor.h"
#include "app/calendar/RoomsLoader.h"
#include "app/kit/ErrorMessage.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCharFormat>
#include <QTest>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestRoomsLoader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void builtModuleAnswers();
    void unusableModule_data();
    void unusableModule();
    void calendarWithoutModule();
    void modulePaths();

private:
    QStringList m_told;
};

void TestRoomsLoader::init()
{
    m_told.clear();
    setErrorPresenter([this](QWidget *, const QString &told) { m_told << told; });
}

void TestRoomsLoader::cleanup()
{
    setErrorPresenter(nullptr);
}

void TestRoomsLoader::builtModuleAnswers()
{
    QWidget window;
    RoomsLoader loader(&window, {QString::fromUtf8(KAKIVA_ROOMS_MODULE)});
    Rooms *rooms = loader.rooms();
    QVERIFY2(rooms, qPrintable(loader.error()));
    QCOMPARE(loader.rooms(), rooms);
    // A day of the first diary year has no entry: nothing to delete, nothing to hide.
    QAction deleteItem(u"delete"_s), privateItem(u"private"_s);
    rooms->showDayChoices(&deleteItem, &privateItem, QDate(1601, 1, 1));
    QVERIFY(!deleteItem.isEnabled());
    QVERIFY(!privateItem.isEnabled());
    QCOMPARE(privateItem.text(), u"この日を非公開にする(&P)"_s);
    QCalendarWidget calendar;
    rooms->markMonth(&calendar, 1601, 1);
    QVERIFY(!calendar.dateTextFormat(QDate(1601, 1, 1)).font().bold());
}

void TestRoomsLoader::unusableModule_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("said");
    QTest::newRow("no module anywhere") << QByteArray() << u"libkakiva-rooms.so が次の場所にありません"_s;
    QTest::newRow("a file that is not a library")
        << QByteArray("not an ELF file\n") << u"libkakiva-rooms.so"_s;
}

void TestRoomsLoader::unusableModule()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QStringList paths = roomsModulePaths(folder.filePath(u"bin"_s));
    if (!content.isEmpty()) {
        QFile module(paths.first());
        QVERIFY(QDir().mkpath(folder.filePath(u"bin"_s)));
        QVERIFY(module.open(QIODevice::WriteOnly));
        QCOMPARE(module.write(content), content.size());
        module.close();
    }
    QWidget window;
    RoomsLoader loader(&window, paths);
    QCOMPARE(loader.rooms(), nullptr);
    QVERIFY2(loader.error().startsWith(u"Kakiva の部品を読み込めませんでした。"_s),
             qPrintable(loader.error()));
    QVERIFY2(loader.error().contains(said), qPrintable(loader.error()));
    // Asked again, it fails again the same way rather than crash on a half-made module.
    QCOMPARE(loader.rooms(), nullptr);
}

// This test's folder has no module beside it: the calendar still shows, and the user is
// told once, not at every click.
void TestRoomsLoader::calendarWithoutModule()
{
    MainFor window;
    window.showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(m_told.size(), 1);
    QVERIFY2(m_told.first().contains(u"Kakiva の部品を読み込めませんでした。"_s),
             qPrintable(m_told.first()));
    window.SearchMenu->trigger();
    window.ConfMenu->trigger();
    window.DayCal->setCurrentPage(2004, 8);
    QCoreApplication::processEvents();
    QCOMPARE(m_told.size(), 1);
    QVERIFY(window.isVisible());
}

void TestRoomsLoader::modulePaths()
{
    QCOMPARE(roomsModulePaths(u"/opt/kakiva/bin"_s),
             QStringList({u"/opt/kakiva/bin/libkakiva-rooms.so"_s,
                          u"/opt/kakiva/lib/kakiva/libkakiva-rooms.so"_s}));
}

QTEST_MAIN(TestRoomsLoader)
#include "TestRoomsLoader.moc"

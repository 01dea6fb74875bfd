// "サーバーと照合" as the user meets it: the menu item opens the check window over a real
// server, the differences are listed in words that fit, the calendar marks what became
// unsent, the buttons answer to the keyboard, and the question after a restore keeps いいえ.

#include "app/calendar/MainFor.h"
#include "app/publish/CheckFor.h"
#include "app/publish/CheckReportText.h"

#include "DayPages.h"
#include "PyFtpServer.h"
#include "WindowTestBed.h"

#include "publish/BulkPublish.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"

#include <QCalendarWidget>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextCharFormat>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

constexpr int RunTimeoutMs = 20000;

bool isMarked(const MainFor &window, int day)
{
    const QTextCharFormat format = window.DayCal->dateTextFormat(QDate(2004, 8, day));
    return format.toolTip() == u"未送信"_s && format.background().style() != Qt::NoBrush;
}

bool fitsWidth(const QWidget *widget, const QString &text, int width)
{
    return QFontMetrics(widget->font()).horizontalAdvance(text) <= width;
}

// Every line of the label fits its width, and all of them its height.
bool labelFits(const QLabel *label)
{
    const QFontMetrics metrics(label->font());
    const QRect room = label->contentsRect();
    const QRect needed = metrics.boundingRect(room, Qt::TextWordWrap, label->text());
    return needed.width() <= room.width() && needed.height() <= room.height();
}

bool runEnded(const CheckFor *window)
{
    return window->CloseCom->text() == u"閉じる"_s;
}

} // namespace

class TestCheckFor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void menuFindsAPageDeletedByHand();
    void keysCloseTheEndedWindow_data();
    void keysCloseTheEndedWindow();
    void questionAfterRestore_data();
    void questionAfterRestore();
    void reportLines_data();
    void reportLines();

private:
    void publishEverything(const PyFtpServer &server);

    std::unique_ptr<WindowTestBed> m_bed;
};

void TestCheckFor::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    writeSavedDay(u"2004"_s, u"08"_s, u"03"_s, u"前の日"_s);
    writeSavedDay(u"2004"_s, u"08"_s, u"17"_s, u"今日"_s);
}

void TestCheckFor::cleanup()
{
    QVERIFY(!m_bed || m_bed->errors.isEmpty());
    m_bed.reset();
}

void TestCheckFor::publishEverything(const PyFtpServer &server)
{
    QVERIFY(QDir(server.homePath()).mkpath(u"www"_s));
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    const PublishDestination to = destinationOf(readSettings());
    QCOMPARE(BulkPublish({to, server.password()}, siteFiles()).run().result,
             PublishResult::Succeeded);
    QVERIFY(unsentFiles(ServerRecord(to)).isEmpty());
}

void TestCheckFor::menuFindsAPageDeletedByHand()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    publishEverything(server);
    QVERIFY(QFile::remove(server.homePath() + u"/www/2004/08/17.html"_s));
    QVERIFY(QFile(server.homePath() + u"/www/notes.txt"_s).open(QIODevice::WriteOnly));

    MainFor window;
    window.DayCal->setCurrentPage(2004, 8);
    QVERIFY(!isMarked(window, 17));
    emit window.FileMenu->aboutToShow();
    QVERIFY(window.CheckMenu->isEnabled());
    QVERIFY(window.FileMenu->actions().contains(window.CheckMenu));

    QStringList lines;
    QString status;
    ModalAnswerer<CheckFor> check([&](CheckFor *shown) {
        QTRY_VERIFY_WITH_TIMEOUT(runEnded(shown), RunTimeoutMs);
        QVERIFY(shown->isVisible()); // it stays open to be read
        status = shown->StatusLab->text();
        QVERIFY(labelFits(shown->StatusLab));
        QVERIFY(fitsWidth(shown->CloseCom, shown->CloseCom->text(),
                          shown->CloseCom->contentsRect().width()));
        for (int i = 0; i < shown->DiffList->count(); ++i) {
            lines.append(shown->DiffList->item(i)->text());
            QVERIFY2(
                fitsWidth(shown->DiffList, lines.constLast(), shown->DiffList->viewport()->width()),
                qPrintable(lines.constLast()));
        }
        QVERIFY(shown->CloseCom->hasFocus());
        QTest::keyClick(shown->CloseCom, Qt::Key_Return);
    });
    window.CheckMenu->trigger();
    QCOMPARE(check.shown(), 1);
    QCOMPARE(check.leftOpen(), 0);
    QCOMPARE(
        lines,
        (QStringList{u"サーバーにないページ: 1 件（未送信にしました）"_s, u"　2004/08/17.html"_s,
                     u"Kakiva が送っていないファイル: 1 件（そのままです）"_s, u"　notes.txt"_s}));
    QVERIFY(status.startsWith(u"1 件のページを未送信にしました。"_s));
    // The calendar shows the page as unsent at once.
    QVERIFY(isMarked(window, 17));
    QVERIFY(!isMarked(window, 3));
}

void TestCheckFor::keysCloseTheEndedWindow_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestCheckFor::keysCloseTheEndedWindow()
{
    QFETCH(int, key);
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    publishEverything(server);
    bool closed = false;
    ModalAnswerer<CheckFor> check([&](CheckFor *shown) {
        QTRY_VERIFY_WITH_TIMEOUT(runEnded(shown), RunTimeoutMs);
        QCOMPARE(shown->StatusLab->text(), u"サーバーはサイトのとおりです。"_s);
        QCOMPARE(shown->DiffList->count(), 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QTRY_VERIFY(!shown->isVisible());
        closed = true;
    });
    CheckFor window;
    window.exec();
    QVERIFY(closed);
    QCOMPARE(check.leftOpen(), 0);
}

void TestCheckFor::questionAfterRestore_data()
{
    QTest::addColumn<QString>("answer"); // a key, or the name of the button clicked
    QTest::addColumn<bool>("check");
    QTest::newRow("Return keeps the default") << u"Return"_s << false;
    QTest::newRow("Escape") << u"Escape"_s << false;
    QTest::newRow("はい") << u"YesCom"_s << true;
    QTest::newRow("いいえ") << u"NoCom"_s << false;
}

void TestCheckFor::questionAfterRestore()
{
    QFETCH(QString, answer);
    QFETCH(bool, check);
    QWidget owner;
    ModalAnswerer<QMessageBox> question([&](QMessageBox *box) {
        QCOMPARE(box->objectName(), u"CheckQuestion"_s);
        QCOMPARE(box->defaultButton()->objectName(), u"NoCom"_s);
        if (answer == u"Return"_s)
            QTest::keyClick(box, Qt::Key_Return);
        else if (answer == u"Escape"_s)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->findChild<QPushButton *>(answer)->click();
    });
    QCOMPARE(askCheckAfterRestore(&owner), check);
    QCOMPARE(question.shown(), 1);
    QCOMPARE(question.leftOpen(), 0);
}

void TestCheckFor::reportLines_data()
{
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QStringList>("temporaries");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("summary");

    QTest::newRow("nothing") << QStringList{} << QStringList{} << QStringList{} << QStringList{}
                             << u"サーバーはサイトのとおりです。"_s;
    QTest::newRow("temporaries, one kept by the server")
        << QStringList{} << QStringList{u".kakiva-1-1.tmp"_s, u"2004/.kakiva-1-2.tmp"_s}
        << QStringList{u"2004/.kakiva-1-2.tmp"_s}
        << QStringList{u"削除した一時ファイル: 1 件"_s, u"　.kakiva-1-1.tmp"_s,
                       u"削除できなかった一時ファイル: 1 件"_s, u"　2004/.kakiva-1-2.tmp"_s}
        << u"ページはサーバーのとおりです。"_s;
    QTest::newRow("two missing")
        << QStringList{u"2004/08/03.html"_s, u"year.html"_s} << QStringList{} << QStringList{}
        << QStringList{u"サーバーにないページ: 2 件（未送信にしました）"_s, u"　2004/08/03.html"_s,
                       u"　year.html"_s}
        << u"2 件のページを未送信にしました。\n未送信を送信で送り直せます。"_s;
}

void TestCheckFor::reportLines()
{
    QFETCH(QStringList, missing);
    QFETCH(QStringList, temporaries);
    QFETCH(QStringList, left);
    QFETCH(QStringList, lines);
    QFETCH(QString, summary);
    SiteCheckReport report;
    report.differences.missing = missing;
    report.differences.temporaries = temporaries;
    report.temporariesLeft = left;
    QCOMPARE(CheckReportText::linesOf(report), lines);
    QCOMPARE(CheckReportText::summaryOf(report), summary);
}

QTEST_MAIN(TestCheckFor)
#include "TestCheckFor.moc"

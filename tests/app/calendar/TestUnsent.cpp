// What the user sees of unsent pages: the marks on the calendar, the two menu items and the
// progress window they open; saving with no server.

#include "app/calendar/MainFor.h"
#include "app/entry/DiaryInpFor.h"
#include "app/publish/SendFor.h"

#include "DayPages.h"
#include "EntryText.h"
#include "KeyboardInput.h"
#include "PyFtpServer.h"
#include "WindowTestBed.h"

#include "backup/BackupFolder.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"

#include <QCalendarWidget>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCharFormat>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

void writeDay(const QString &day, const QString &text)
{
    writeSavedDay(u"2004"_s, u"08"_s, day, text);
}

} // namespace

class TestUnsent : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void calendarMarksUnsentDays_data();
    void calendarMarksUnsentDays();
    void savedDayIsMarked();
    void menuSendsTheUnsentFiles();
    void resendSendsEverything();
    void savingWithoutServerOpensNoUpload();
    void deleteAsksFirst_data();
    void deleteAsksFirst();

private:
    std::unique_ptr<MainFor> openCalendar();
    bool isMarked(const MainFor &window, int day) const;

    std::unique_ptr<WindowTestBed> m_bed;
};

void TestUnsent::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    writeDay(u"03"_s, u"前の日"_s);
    writeDay(u"17"_s, u"今日"_s);
}

void TestUnsent::cleanup()
{
    QVERIFY(!m_bed || m_bed->errors.isEmpty());
    m_bed.reset();
}

std::unique_ptr<MainFor> TestUnsent::openCalendar()
{
    auto window = std::make_unique<MainFor>();
    window->DayCal->setCurrentPage(2004, 8);
    return window;
}

bool TestUnsent::isMarked(const MainFor &window, int day) const
{
    const QTextCharFormat format = window.DayCal->dateTextFormat(QDate(2004, 8, day));
    return format.toolTip() == u"未送信"_s && format.background().style() != Qt::NoBrush;
}

void TestUnsent::calendarMarksUnsentDays_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<bool>("recorded17"); // the server confirmed day 17 as it is now
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<int>("count");
    QTest::newRow("no server: nowhere to send") << false << false << QList<int>{} << 0;
    QTest::newRow("a new server lacks everything") << true << false << QList<int>{3, 17} << 5;
    QTest::newRow("one day confirmed") << true << true << QList<int>{3} << 4;
}

void TestUnsent::calendarMarksUnsentDays()
{
    QFETCH(bool, server);
    QFETCH(bool, recorded17);
    QFETCH(QList<int>, marked);
    QFETCH(int, count);
    if (server)
        writeFtpSettings(u"ftp.example.jp"_s, u"diarist"_s, u"pw"_s, u"www"_s);
    if (recorded17) {
        const QString page = dayPagePath(u"2004"_s, u"08"_s, u"17"_s);
        ServerRecord(destinationOf(readSettings())).confirm(remotePathOf(page), fileDigest(page));
    }
    const auto window = openCalendar();
    QList<int> seen;
    for (int day = 1; day <= 31; ++day) {
        if (isMarked(*window, day))
            seen.append(day);
    }
    QCOMPARE(seen, marked);
    // Marks sit beside the bold of the entry days, not in place of it.
    QCOMPARE(window->DayCal->dateTextFormat(QDate(2004, 8, 3)).fontWeight(), int(QFont::Bold));
    emit window->FileMenu->aboutToShow(); // the count is taken as the menu opens
    QVERIFY(window->UnsentMenu->text().startsWith(u"未送信を送信(&U)"_s));
    QCOMPARE(window->UnsentMenu->text().contains(QString::number(count)), count > 0);
    QCOMPARE(window->UnsentMenu->isEnabled(), count > 0);
    QCOMPARE(window->ResendMenu->text(), u"すべて送信し直す(&A)"_s);
    QCOMPARE(window->ResendMenu->isEnabled(), server);
}

// A day saved while the upload window was closed before it sent anything is marked as soon
// as the entry dialog has closed, and the count grows with its four pages.
void TestUnsent::savedDayIsMarked()
{
    m_bed->setServer();
    const auto window = openCalendar();
    QVERIFY(!isMarked(*window, 20));
    const int before = unsentFiles(ServerRecord(destinationOf(readSettings()))).size();
    ModalAnswerer<DiaryInpFor> entry([](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"new day"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
    });
    window->DayCal->setSelectedDate(QDate(2004, 8, 20));
    emit window->DayCal->activated(QDate(2004, 8, 20));
    QTRY_COMPARE(entry.shown(), 1);
    QTRY_VERIFY(isMarked(*window, 20));
    QCOMPARE(m_bed->uploads.shown(), 1);
    // The day page is new, and so are the front page, the style sheet and latest.html the
    // save put beside the pages; the year, month and day lists were unsent already.
    emit window->FileMenu->aboutToShow();
    QVERIFY2(window->UnsentMenu->text().contains(QString::number(before + 4)),
             qPrintable(window->UnsentMenu->text()));
}

// "未送信を送信" brings the server to the local site, and the marks go after the publish;
// a day saved again is marked again.
void TestUnsent::menuSendsTheUnsentFiles()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(u"www"_s));
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    const auto window = openCalendar();
    QVERIFY(isMarked(*window, 17));

    int result = -1;
    ModalAnswerer<SendFor> send([&](SendFor *progress) {
        // The five pages, and the root files a site written before them lacks.
        QCOMPARE(progress->filesToSend(), 8);
        QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible(), 20000);
        result = progress->result();
    });
    window->UnsentMenu->trigger();
    QCOMPARE(send.shown(), 1);
    QCOMPARE(result, int(QDialog::Accepted));
    const QStringList pages{"year.html",       "2004/index.html", "2004/08/index.html",
                            "2004/08/03.html", "2004/08/17.html", "index.html",
                            "kakiva.css",      "latest.html"};
    for (const QString &page : pages)
        QCOMPARE(server.remoteFile(u"www/"_s + page), m_bed->appDir.read(u"HTML/"_s + page));
    QVERIFY(!isMarked(*window, 3));
    QVERIFY(!isMarked(*window, 17));
    emit window->FileMenu->aboutToShow();
    QVERIFY(!window->UnsentMenu->isEnabled());

    // Rewritten, and the upload window closed before it sent anything.
    writeDay(u"17"_s, u"書き直した"_s);
    QCOMPARE(unsentDays(ServerRecord(destinationOf(readSettings())), 2004, 8), QList<int>{17});
    // The count read the page before; the rewritten one must not pass for it.
    emit window->FileMenu->aboutToShow();
    QVERIFY(window->UnsentMenu->isEnabled());
}

// "すべて送信し直す" sends the whole tree, the user's own files included, whatever the
// record says.
void TestUnsent::resendSendsEverything()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(u"www"_s));
    writeFtpSettings(server.serverString(), server.user(), server.password(), u"www"_s);
    m_bed->appDir.write(u"HTML/kakiva.css"_s, "body { color: #333 }\r\n");
    m_bed->appDir.write(u"HTML/index.html"_s, "<HTML>root</HTML>\r\n");
    for (const SiteFile &file : siteFiles())
        ServerRecord(destinationOf(readSettings())).confirm(file.remotePath, file.digest);
    const auto window = openCalendar();
    emit window->FileMenu->aboutToShow();
    QVERIFY(!window->UnsentMenu->isEnabled());
    QVERIFY(window->ResendMenu->isEnabled());

    ModalAnswerer<SendFor> send([&](SendFor *progress) {
        QCOMPARE(progress->filesToSend(), 8); // latest.html added, the user's own kept
        QTRY_VERIFY_WITH_TIMEOUT(!progress->isVisible(), 20000);
    });
    window->ResendMenu->trigger();
    QCOMPARE(send.shown(), 1);
    for (const SiteFile &file : siteFiles())
        QCOMPARE(server.remoteFile(u"www/"_s + file.remotePath), readWholeFile(file.localPath));
    QCOMPARE(server.remoteFile(u"www/index.html"_s), QByteArray("<HTML>root</HTML>\r\n"));
}

void TestUnsent::savingWithoutServerOpensNoUpload()
{
    DiaryInpFor dialog;
    dialog.YearStr = u"2004"_s;
    dialog.MonthStr = u"8"_s;
    dialog.DayStr = u"20"_s;
    const int result = showAnswered(&dialog, [](DiaryInpFor *shown) {
        typeText(shown->DiaryTex, u"no server yet"_s);
        QTest::mouseClick(shown->OkCom, Qt::LeftButton);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(m_bed->uploads.shown(), 0);
    QVERIFY(QFile::exists(dayPagePath(u"2004"_s, u"08"_s, u"20"_s)));
    QVERIFY(readWholeFile(dayListPath(u"2004"_s, u"08"_s)).contains("20.html"));
}

void TestUnsent::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("byDeleteKey"); // or the menu item
    QTest::addColumn<bool>("confirmed");   // 削除, or Return on the focused キャンセル
    QTest::newRow("menu, Return keeps the day") << false << false;
    QTest::newRow("menu, 削除") << false << true;
    QTest::newRow("Delete key, 削除") << true << true;
}

// The question names the day and starts on キャンセル; a confirmed deletion writes the
// backup first, and the server's copy of the page counts as unsent until it is removed.
void TestUnsent::deleteAsksFirst()
{
    QFETCH(bool, byDeleteKey);
    QFETCH(bool, confirmed);
    writeFtpSettings(u"ftp.example.jp"_s, u"diarist"_s, u"pw"_s, u"www"_s);
    for (const SiteFile &file : siteFiles())
        ServerRecord(destinationOf(readSettings())).confirm(file.remotePath, file.digest);
    const auto window = openCalendar();
    window->DayCal->setSelectedDate(QDate(2004, 8, 17));
    QVERIFY(window->DeleteMenu->isEnabled());

    ModalAnswerer<QMessageBox> question([&](QMessageBox *box) {
        QCOMPARE(box->text(), u"2004/08/17 の日記を削除しますか？"_s);
        QCOMPARE(qobject_cast<QPushButton *>(box->focusWidget())->text(), u"キャンセル"_s);
        if (confirmed) {
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == u"削除(&D)"_s)
                    button->click();
            }
        } else
            QTest::keyClick(box->focusWidget(), Qt::Key_Return);
    });
    if (byDeleteKey) {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window->focusWidget(), Qt::Key_Delete);
    } else
        window->DeleteMenu->trigger();
    QCOMPARE(question.shown(), 1);
    QCOMPARE(listBackups(backupFolder()).size(), confirmed ? 1 : 0);
    QCOMPARE(QFile::exists(entryFilePath(u"2004"_s, u"08"_s, u"17"_s)), !confirmed);
    QCOMPARE(window->DeleteMenu->isEnabled(), !confirmed);
    // The day page to remove, the day list without it, and the front page, style sheet and
    // latest.html the deletion put beside the pages.
    emit window->FileMenu->aboutToShow();
    QCOMPARE(window->UnsentMenu->text().endsWith(u"\t5 件"_s), confirmed);
}

QTEST_MAIN(TestUnsent)
#include "TestUnsent.moc"

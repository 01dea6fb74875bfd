#include "app/calendar/MainFor.h"
#include "app/entry/DiaryInpFor.h"
#include "app/search/SearchFor.h"

#include "EntryText.h"
#include "KeyboardInput.h"
#include "WindowTestBed.h"

#include <QCalendarWidget>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

// Takes the URLs the program hands to the desktop instead of starting a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher() { QDesktopServices::setUrlHandler(u"file"_s, this, "open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(u"file"_s); }

    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestSearchFor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keyboardFindsAndOpensTheDay();
    void saveWhileOpenUpdatesTheResults();
    void escapeCloses();
    void browserShowsTheChosenDay_data();
    void browserShowsTheChosenDay();

private:
    SearchFor *pressCtrlF();
    QStringList rows(const SearchFor *search) const;
    void activate(QWidget *window);

    std::unique_ptr<WindowTestBed> m_bed;
    std::unique_ptr<MainFor> m_window;
    QString m_countWhenShown;
};

void TestSearchFor::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    m_bed->appDir.write(u"Diary/2004/03/05.dia"_s, entryFileBytes(u"海へ行った\n波が高い"_s));
    m_bed->appDir.write(u"Diary/2004/03/06.dia"_s, entryFileBytes(u"朝の散歩\n遠くにウミネコ"_s));
    m_bed->appDir.write(u"Diary/2003/08/17.dia"_s, entryFileBytes(u"夏の海で泳いだ"_s));
    m_bed->appDir.write(u"Diary/2004/04/01.dia"_s, entryFileBytes(u"山"_s));
    m_window = std::make_unique<MainFor>();
    m_window->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(m_window->isSettled());
}

void TestSearchFor::cleanup()
{
    m_window.reset();
    QVERIFY(m_bed->errors.isEmpty());
    m_bed.reset();
}

void TestSearchFor::activate(QWidget *window)
{
    // A desktop activates a window the user turns to; the offscreen platform leaves it to us.
    window->windowHandle()->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), window->windowHandle());
}

SearchFor *TestSearchFor::pressCtrlF()
{
    activate(m_window.get());
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::ControlModifier);
    auto *search = m_window->findChild<SearchFor *>();
    if (!search || !search->isVisible())
        return nullptr;
    // Before the event loop runs again, so before a reading in the background can report.
    m_countWhenShown = search->CountLab->text();
    activate(search);
    return search;
}

QStringList TestSearchFor::rows(const SearchFor *search) const
{
    QStringList shown;
    const QAbstractItemModel *model = search->ResultLis->model();
    for (int row = 0; row < model->rowCount(); ++row)
        shown << model->index(row, 0).data().toString();
    return shown;
}

void TestSearchFor::keyboardFindsAndOpensTheDay()
{
    QVERIFY(QFile::link(u"/proc/self/mem"_s, m_bed->appDir.filePath(u"Diary/2004/03/07.dia"_s)));
    SearchFor *search = pressCtrlF();
    QVERIFY(search);
    QCOMPARE(search->windowTitle(), u"日記の検索"_s);
    QCOMPARE(QApplication::focusWidget(), search->QueryTex);
    // The window is there at once, while the diary is still being read.
    QCOMPARE(m_countWhenShown, u"日記を読み込んでいます…"_s);

    typeText(search->QueryTex, u"うみ"_s);
    // Hiragana finds the katakana day only; 海 is another word.
    QTRY_COMPARE(rows(search), QStringList{u"2004/03/06  遠くにウミネコ"_s});
    QCOMPARE(search->CountLab->text(), u"1日見つかりました（読めない日記1件を除く）"_s);
    clearText(search->QueryTex);
    typeText(search->QueryTex, u"海"_s);
    QTRY_COMPARE(rows(search),
                 (QStringList{u"2004/03/05  海へ行った"_s, u"2003/08/17  夏の海で泳いだ"_s}));
    QCOMPARE(search->CountLab->text(), u"2日見つかりました（読めない日記1件を除く）"_s);

    QTest::keyClick(search->QueryTex, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), search->ResultLis);
    QCOMPARE(search->ResultLis->currentIndex().row(), 0);
    QTest::keyClick(search->ResultLis, Qt::Key_Down);
    QCOMPARE(search->ResultLis->currentIndex().row(), 1);

    QString caption;
    QString text;
    QDate calendarDate;
    ModalAnswerer<DiaryInpFor> answerer([&](DiaryInpFor *dialog) {
        caption = dialog->windowTitle();
        text = dialog->DiaryTex->toPlainText();
        calendarDate = m_window->DayCal->selectedDate();
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QTest::keyClick(search->ResultLis, Qt::Key_Return);
    QTRY_COMPARE(answerer.shown(), 1);
    QCOMPARE(caption, u"日記-2003/08/17"_s);
    QCOMPARE(text, u"夏の海で泳いだ"_s);
    QCOMPARE(calendarDate, QDate(2003, 8, 17));
    QCOMPARE(m_window->DayCal->yearShown(), 2003);
    QCOMPARE(m_window->DayCal->monthShown(), 8);
    QCOMPARE(answerer.leftOpen(), 0);
}

void TestSearchFor::saveWhileOpenUpdatesTheResults()
{
    SearchFor *search = pressCtrlF();
    QVERIFY(search);
    typeText(search->QueryTex, u"海"_s);
    QTRY_COMPARE(rows(search).size(), 2);

    // The day found first no longer holds the word once saved.
    {
        ModalAnswerer<DiaryInpFor> rewrite([](DiaryInpFor *dialog) {
            clearText(dialog->DiaryTex);
            typeText(dialog->DiaryTex, u"山へ行った"_s);
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        });
        QTest::keyClick(search->QueryTex, Qt::Key_Down);
        QTest::keyClick(search->ResultLis, Qt::Key_Return);
        QTRY_COMPARE(rewrite.shown(), 1);
        QTRY_COMPARE(rows(search), QStringList{u"2003/08/17  夏の海で泳いだ"_s});
        QCOMPARE(search->CountLab->text(), u"1日見つかりました"_s);
    }

    // A new day written through the calendar while the search window stays open.
    ModalAnswerer<DiaryInpFor> newDay([](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"夜の海"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
    });
    m_window->DayCal->setSelectedDate(QDate(2004, 5, 1));
    QTest::keyClick(m_window->DayCal->findChild<QTableView *>(), Qt::Key_Return);
    QTRY_COMPARE(newDay.shown(), 1);
    QTRY_COMPARE(rows(search),
                 (QStringList{u"2004/05/01  夜の海"_s, u"2003/08/17  夏の海で泳いだ"_s}));
    QVERIFY(search->isVisible());
}

void TestSearchFor::escapeCloses()
{
    SearchFor *search = pressCtrlF();
    QVERIFY(search);
    // Done reading, nothing asked: the line under the list is empty.
    QTRY_COMPARE(search->CountLab->text(), QString());
    QTest::keyClick(search->QueryTex, Qt::Key_Escape);
    QTRY_VERIFY(!search->isVisible());
    QVERIFY(m_window->isVisible());
    // Opened again, the diary already read: the first key finds the days at once.
    search = pressCtrlF();
    QVERIFY(search);
    QCOMPARE(QApplication::focusWidget(), search->QueryTex);
    QCOMPARE(m_countWhenShown, QString());
    typeText(search->QueryTex, u"山"_s);
    QTRY_COMPARE(rows(search), QStringList{u"2004/04/01  山"_s});
}

void TestSearchFor::browserShowsTheChosenDay_data()
{
    QTest::addColumn<bool>("pageWritten");
    QTest::newRow("day with a page") << true;
    QTest::newRow("day without a page yet") << false;
}

void TestSearchFor::browserShowsTheChosenDay()
{
    QFETCH(bool, pageWritten);
    const QString page = u"HTML/2004/03/05.html"_s;
    if (pageWritten)
        m_bed->appDir.write(page, "<html></html>\r\n");
    UrlCatcher browser;
    QStringList said;
    ModalAnswerer<QMessageBox> messages([&](QMessageBox *box) {
        said << box->text();
        box->accept();
    });
    m_window->DayCal->setSelectedDate(QDate(2004, 3, 5));
    m_window->BrowseMenu->trigger();

    if (pageWritten) {
        QCOMPARE(browser.opened, QList<QUrl>{QUrl::fromLocalFile(m_bed->appDir.filePath(page))});
        QCOMPARE(said, QStringList());
    } else {
        QTRY_COMPARE(said, QStringList{u"2004/03/05 のページはまだありません。"_s});
        QCOMPARE(browser.opened, QList<QUrl>());
    }
}

QTEST_MAIN(TestSearchFor)
#include "TestSearchFor.moc"

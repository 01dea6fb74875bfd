#include "app/calendar/MainFor.h"
#include "app/entry/DiaryInpFor.h"
#include "app/settings/ConfFor.h"
#include "app/site/SiteFor.h"
#include "backup/ArchiveRead.h"
#include "backup/BackupFolder.h"
#include "diary/EntryDrafts.h"
#include "diary/PrivateDays.h"
#include "journal/DaySave.h"

#include "DayPages.h"
#include "EntryText.h"
#include "KeyboardInput.h"
#include "TestTree.h"
#include "WindowTestBed.h"

#include <QCalendarWidget>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTextCharFormat>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestMainFor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsOnToday();
    void calendarFillsTheClientArea();
    void menuBarSpansTheTopOfTheWindow();
    void dateEventHandsTheDateOver_data();
    void dateEventHandsTheDateOver();
    void oneActionOpensOneDialog_data();
    void oneActionOpensOneDialog();
    void reopeningADateLoadsItAfresh();
    void keyboardAloneSavesAnEntry();
    void daysWithEntriesAreBold();
    void draftsAtStart_data();
    void draftsAtStart();
    void yearsHaveFourDigits_data();
    void yearsHaveFourDigits();
    void fileMenuHoldsItsItems();
    void menuKeysReachTheirItems_data();
    void menuKeysReachTheirItems();
    void settingsOpensEveryTime();
    void siteWindowOpensFromTheMenu();
    void privateDayItemTogglesTheDay();
    void backsUpOnFirstSaveOfTheDayAndAtQuit();
    void endingTheProgram_data();
    void endingTheProgram();

private:
    QTableView *dayView() const;
    std::ranges::minmax_result<QToolButton *> monthArrows() const;
    void clickDay(const QDate &date);
    bool isBold(const QDate &date) const;
    void chooseMenuItem(QAction *item);

    std::unique_ptr<WindowTestBed> m_bed;
    std::unique_ptr<MainFor> m_window;
};

namespace {

// A style under which one click on a day also activates it, as some desktops set.
class SingleClickActivates : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ItemView_ActivateItemOnSingleClick)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

enum class DateAction
{
    Click,
    DoubleClick,
    Return,
    Enter,
};

struct SeenInDialog
{
    QString year;
    QString month;
    QString day;
    QString caption;
    QString text;
    bool modal = false;
    bool centred = false;
};

// Whether dialog sits centred over the window that showed it, to the pixel.
bool centredOver(const QWidget *dialog, const QWidget *owner)
{
    const QPoint offset = dialog->frameGeometry().center() - owner->frameGeometry().center();
    return offset.manhattanLength() <= 2;
}

SeenInDialog look(DiaryInpFor *dialog)
{
    return {dialog->YearStr,
            dialog->MonthStr,
            dialog->DayStr,
            dialog->windowTitle(),
            dialog->DiaryTex->toPlainText(),
            QApplication::activeModalWidget() == dialog,
            centredOver(dialog, dialog->parentWidget())};
}

// Runs whatever date events are still queued, so a second dialog would show up now.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace

void TestMainFor::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    m_window = std::make_unique<MainFor>();
    m_window->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The marks and the drafts' notice follow the first frame.
    QTRY_VERIFY(m_window->isSettled());
    m_window->activateWindow();
}

void TestMainFor::cleanup()
{
    m_window.reset();
    QVERIFY(m_bed->errors.isEmpty());
    m_bed.reset();
}

QTableView *TestMainFor::dayView() const
{
    return m_window->DayCal->findChild<QTableView *>();
}

// Clicks the cell of date, which lies in the month shown.
void TestMainFor::clickDay(const QDate &date)
{
    QCalendarWidget *calendar = m_window->DayCal;
    QCOMPARE(calendar->monthShown(), date.month());
    // The selection shows where the day's cell is; another day is then chosen, so the
    // click has to choose this one.
    calendar->setSelectedDate(date);
    QTableView *view = dayView();
    const QPoint cell = view->visualRect(view->currentIndex()).center();
    calendar->setSelectedDate(QDate(date.year(), date.month(), date.day() == 1 ? 2 : 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell);
    QCOMPARE(calendar->selectedDate(), date);
}

// The arrows to the previous and the next month: the outermost buttons of the calendar's
// navigation bar, as a user finds them.
std::ranges::minmax_result<QToolButton *> TestMainFor::monthArrows() const
{
    QList<QToolButton *> buttons = m_window->DayCal->findChildren<QToolButton *>();
    buttons.removeIf([](const QToolButton *button) { return !button->isVisible(); });
    return std::ranges::minmax(buttons, {}, &QWidget::x);
}

bool TestMainFor::isBold(const QDate &date) const
{
    return m_window->DayCal->dateTextFormat(date).fontWeight() == QFont::Bold;
}

void TestMainFor::chooseMenuItem(QAction *item)
{
    // Alt+F belongs to the active window; a desktop gives the activation back to the
    // calendar window when a dialog closes, which the offscreen platform leaves to us.
    m_window->windowHandle()->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), m_window->windowHandle());
    QTest::keyClick(m_window.get(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(m_window->FileMenu->isVisible());
    QMenu *menu = m_window->FileMenu;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

void TestMainFor::startsOnToday()
{
    const QDate before = QDate::currentDate();
    MainFor window;
    const QDate after = QDate::currentDate();
    const QDate shown = window.DayCal->selectedDate();
    QVERIFY2(shown == before || shown == after, qPrintable(shown.toString(Qt::ISODate)));
    QCOMPARE(window.DayCal->yearShown(), shown.year());
    QCOMPARE(window.DayCal->monthShown(), shown.month());
    QCOMPARE(window.windowTitle(), u"KakivaH"_s);
    // Sharp from a menu's size to a task switcher's: an icon is never scaled up. It comes
    // with the first frame's followers.
    QTRY_VERIFY(!m_window->windowIcon().isNull());
    for (const QSize size : {QSize(16, 16), QSize(256, 256)})
        QCOMPARE(m_window->windowIcon().pixmap(size).size(), size);
    QVERIFY(m_window->DayCal->isAncestorOf(QApplication::focusWidget()));
}

void TestMainFor::calendarFillsTheClientArea()
{
    QWidget *client = m_window->ClientArea;
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(m_window->DayCal->geometry().contains(client->rect()));
    // Cut off at the edges, yet both month arrows and the whole day grid stay in view, and
    // the widest day numbers fit their cells.
    const auto [previous, next] = monthArrows();
    for (QWidget *shown : QList<QWidget *>{previous, next, dayView()}) {
        const QRect inClient(shown->mapTo(client, QPoint(0, 0)), shown->size());
        QVERIFY2(client->rect().contains(inClient), shown->metaObject()->className());
    }
    const QRect cell = dayView()->visualRect(dayView()->currentIndex());
    QVERIFY(dayView()->fontMetrics().horizontalAdvance(u"28"_s) < cell.width());
}

void TestMainFor::menuBarSpansTheTopOfTheWindow()
{
    // Edge to edge above the client area, which follows right beneath it; the window is
    // just as large as both.
    const QRect bar = m_window->MenuBar->geometry();
    const QRect client = m_window->ClientArea->geometry();
    QVERIFY(m_window->MenuBar->isVisible());
    QVERIFY(bar.height() > 0);
    QCOMPARE(bar.topLeft(), QPoint(0, 0));
    QCOMPARE(bar.width(), m_window->width());
    QCOMPARE(client.topLeft(), QPoint(0, bar.bottom() + 1));
    QCOMPARE(client.width(), m_window->width());
    QCOMPARE(m_window->height(), bar.height() + client.height());
}

void TestMainFor::dateEventHandsTheDateOver_data()
{
    QTest::addColumn<QDate>("startDate");
    QTest::addColumn<QDate>("chosenDate");
    QTest::addColumn<DateAction>("action");
    // Year, month, day and caption as the dialog shows them.
    QTest::addColumn<QStringList>("handedOver");

    const QStringList march5{u"2004"_s, u"03"_s, u"05"_s, u"日記-2004/03/05"_s};
    const QStringList december31{u"2004"_s, u"12"_s, u"31"_s, u"日記-2004/12/31"_s};
    QTest::newRow("click on 5 March 2004")
        << QDate(2004, 3, 1) << QDate(2004, 3, 5) << DateAction::Click << march5;
    QTest::newRow("click on 31 December 2004")
        << QDate(2004, 12, 24) << QDate(2004, 12, 31) << DateAction::Click << december31;
    QTest::newRow("Return on 5 March 2004")
        << QDate(2004, 3, 1) << QDate(2004, 3, 5) << DateAction::Return << march5;
    QTest::newRow("keypad Enter on 31 December 2004")
        << QDate(2004, 12, 24) << QDate(2004, 12, 31) << DateAction::Enter << december31;
}

void TestMainFor::dateEventHandsTheDateOver()
{
    QFETCH(QDate, startDate);
    QFETCH(QDate, chosenDate);
    QFETCH(DateAction, action);
    QFETCH(QStringList, handedOver);

    SeenInDialog seen;
    ModalAnswerer<DiaryInpFor> answerer([&](DiaryInpFor *dialog) {
        seen = look(dialog);
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    m_window->DayCal->setSelectedDate(startDate);
    if (action == DateAction::Click) {
        clickDay(chosenDate);
    } else {
        // Walk to the day with the arrow keys, then choose it.
        QTableView *view = dayView();
        for (QDate at = startDate; at < chosenDate; at = at.addDays(1))
            QTest::keyClick(view, Qt::Key_Right);
        QTest::keyClick(view, action == DateAction::Return ? Qt::Key_Return : Qt::Key_Enter,
                        action == DateAction::Enter ? Qt::KeypadModifier : Qt::NoModifier);
    }
    QTRY_COMPARE(answerer.shown(), 1);
    settle();
    QCOMPARE(answerer.shown(), 1);

    QCOMPARE((QStringList{seen.year, seen.month, seen.day, seen.caption}), handedOver);
    QVERIFY(seen.modal);
    QVERIFY(seen.centred);
    QCOMPARE(answerer.leftOpen(), 0);
    QCOMPARE(m_window->DayCal->selectedDate(), chosenDate);
}

void TestMainFor::oneActionOpensOneDialog_data()
{
    QTest::addColumn<DateAction>("action");
    QTest::addColumn<bool>("singleClickActivates");
    // On the day already chosen; Return is in dateEventHandsTheDateOver.
    QTest::newRow("click") << DateAction::Click << false;
    QTest::newRow("double click") << DateAction::DoubleClick << false;
    QTest::newRow("click where one click also activates") << DateAction::Click << true;
    QTest::newRow("double click where one click also activates") << DateAction::DoubleClick << true;
}

void TestMainFor::oneActionOpensOneDialog()
{
    QFETCH(DateAction, action);
    QFETCH(bool, singleClickActivates);

    SingleClickActivates style;
    if (singleClickActivates)
        dayView()->setStyle(&style);
    ModalAnswerer<DiaryInpFor> answerer(
        [](DiaryInpFor *dialog) { QTest::mouseClick(dialog->CancelCom, Qt::LeftButton); });
    const QDate date(2004, 3, 5);
    m_window->DayCal->setSelectedDate(date);
    QTableView *view = dayView();
    const QPoint cell = view->visualRect(view->currentIndex()).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell);
    if (action == DateAction::DoubleClick) {
        // Press, release, press with the double click, release: all of it reaches the
        // calendar before the event loop runs again, the worst case for a date event.
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, cell);
    }
    QTRY_COMPARE(answerer.shown(), 1);
    settle();
    QCOMPARE(answerer.shown(), 1);
    dayView()->setStyle(nullptr);
}

void TestMainFor::reopeningADateLoadsItAfresh()
{
    const QDate date(2004, 3, 5);
    m_window->DayCal->setSelectedDate(date);
    QList<SeenInDialog> seen;
    std::function<void(DiaryInpFor *)> next;
    ModalAnswerer<DiaryInpFor> answerer([&](DiaryInpFor *dialog) { next(dialog); });

    next = [&](DiaryInpFor *dialog) {
        seen << look(dialog);
        typeText(dialog->DiaryTex, u"first"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
    };
    clickDay(date);
    QTRY_COMPARE(answerer.shown(), 1);
    QCOMPARE(m_bed->appDir.read(u"Diary/2004/03/05.dia"_s), "first\r\n");

    // Changed behind the program's back: the next showing must read the file again.
    m_bed->appDir.write(u"Diary/2004/03/05.dia"_s, "changed\r\nsince\r\n");
    next = [&](DiaryInpFor *dialog) {
        seen << look(dialog);
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    };
    clickDay(date);
    QTRY_COMPARE(answerer.shown(), 2);
    // A day without an entry shows an empty box, whatever the previous showing held.
    clickDay(date.addDays(1));
    QTRY_COMPARE(answerer.shown(), 3);

    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[0].text, QString());
    QCOMPARE(seen[1].text, u"changed\nsince"_s);
    QCOMPARE(seen[1].caption, u"日記-2004/03/05"_s);
    QCOMPARE(seen[2].text, QString());
    QCOMPARE(seen[2].caption, u"日記-2004/03/06"_s);
    QCOMPARE(answerer.leftOpen(), 0);
}

void TestMainFor::keyboardAloneSavesAnEntry()
{
    m_window->DayCal->setSelectedDate(QDate(2004, 8, 16));
    ModalAnswerer<DiaryInpFor> answerer([](DiaryInpFor *dialog) {
        // Everything goes to whichever control has the focus, as typing does.
        QTRY_COMPARE(QApplication::focusWidget(), dialog->DiaryTex);
        typeText(QApplication::focusWidget(), u"夏休み\n海へ"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->OkCom);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    });
    QTableView *view = dayView();
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_COMPARE(answerer.shown(), 1);
    QCOMPARE(answerer.leftOpen(), 0);

    QCOMPARE(m_bed->appDir.read(u"Diary/2004/08/17.dia"_s), entryFileBytes(u"夏休み\n海へ"_s));
    const QStringList pages = pagesOfDay(u"2004"_s, u"08"_s, u"17"_s);
    QCOMPARE(existingOf(pages), pages);
}

void TestMainFor::daysWithEntriesAreBold()
{
    m_bed->appDir.write(u"Diary/2004/03/10.dia"_s, "x\r\n");
    m_bed->appDir.write(u"Diary/2004/04/02.dia"_s, "x\r\n");
    m_bed->appDir.write(u"Diary/2004/04/notes.txt"_s, "not an entry\r\n");
    QVERIFY(writeDraft({u"2004"_s, u"03"_s, u"11"_s}, u"not an entry"_s));

    m_window->DayCal->setSelectedDate(QDate(2004, 3, 1));
    QVERIFY(isBold(QDate(2004, 3, 10)));
    QVERIFY(!isBold(QDate(2004, 3, 11)));
    QVERIFY(!isBold(QDate(2004, 4, 2)));

    QTest::mouseClick(monthArrows().max, Qt::LeftButton);
    QCOMPARE(m_window->DayCal->monthShown(), 4);
    QVERIFY(isBold(QDate(2004, 4, 2)));
    QVERIFY(!isBold(QDate(2004, 3, 10)));

    // A new entry shows in bold as soon as its dialog has closed.
    QVERIFY(!isBold(QDate(2004, 4, 20)));
    ModalAnswerer<DiaryInpFor> answerer([](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"new"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
    });
    clickDay(QDate(2004, 4, 20));
    QTRY_COMPARE(answerer.shown(), 1);
    QVERIFY(isBold(QDate(2004, 4, 20)));
    QVERIFY(isBold(QDate(2004, 4, 2)));
}

void TestMainFor::draftsAtStart_data()
{
    QTest::addColumn<bool>("entry");
    QTest::addColumn<int>("draftAge"); // seconds the draft is newer than the entry
    QTest::addColumn<bool>("pending");
    QTest::newRow("draft newer than its entry") << true << 60 << true;
    QTest::newRow("draft of a day without entry") << false << 0 << true;
    // Its removal after the save failed: it holds nothing the entry lacks.
    QTest::newRow("draft outlived by a save") << true << -60 << false;
}

// At start the calendar tells about and marks only the drafts a save has not made obsolete.
void TestMainFor::draftsAtStart()
{
    QFETCH(bool, entry);
    QFETCH(int, draftAge);
    QFETCH(bool, pending);
    const QDate day(2004, 3, 11);
    const DateFields fields = paddedDateFields(day);
    QVERIFY(writeDraft(fields, u"書きかけ"_s));
    if (entry) {
        QFile file(m_bed->appDir.write(u"Diary/2004/03/11.dia"_s, "saved\r\n"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QDateTime drafted = QFileInfo(draftFilePath(fields)).lastModified();
        QVERIFY(file.setFileTime(drafted.addSecs(-draftAge), QFileDevice::FileModificationTime));
    }
    QStringList told;
    ModalAnswerer<QMessageBox> boxes([&](QMessageBox *box) {
        told << box->text();
        QTest::keyClick(box->focusWidget(), Qt::Key_Space);
    });
    MainFor window;
    window.showCentred();
    // The notice follows the first frame: answered inside.
    QTRY_VERIFY(window.isSettled());
    window.DayCal->setSelectedDate(day);

    QCOMPARE(told.size(), pending ? 1 : 0);
    if (pending)
        QVERIFY2(told.first().contains(u"2004/03/11"_s), qPrintable(told.first()));
    QCOMPARE(window.DayCal->dateTextFormat(day).fontItalic(), pending);
    QCOMPARE(window.DayCal->dateTextFormat(day).toolTip().contains(u"下書きあり"_s), pending);
}

void TestMainFor::yearsHaveFourDigits_data()
{
    QTest::addColumn<QDate>("asked");
    QTest::addColumn<Qt::Key>("beyond"); // the key that would go further out
    QTest::addColumn<QDate>("chosen");
    // The calendar's own range keeps every key inside; one way out at each end is enough.
    QTest::newRow("year 1600") << QDate(1600, 12, 31) << Qt::Key_Left << QDate(1601, 1, 1);
    QTest::newRow("year 10000") << QDate(10000, 1, 5) << Qt::Key_PageDown << QDate(9999, 12, 31);
}

// Folders, pages and captions hold the year as four digits, so no other year can be chosen.
void TestMainFor::yearsHaveFourDigits()
{
    QFETCH(QDate, asked);
    QFETCH(Qt::Key, beyond);
    QFETCH(QDate, chosen);
    m_window->DayCal->setSelectedDate(asked);
    QCOMPARE(m_window->DayCal->selectedDate(), chosen);
    QTest::keyClick(dayView(), beyond);
    QCOMPARE(m_window->DayCal->selectedDate(), chosen);
    QCOMPARE(m_window->DayCal->yearShown(), chosen.year());
}

void TestMainFor::fileMenuHoldsItsItems()
{
    QCOMPARE(m_window->FileMenu->title(), u"ファイル(&F)"_s);
    QCOMPARE(m_window->FileMenu->actions(),
             (QList<QAction *>{m_window->SearchMenu, m_window->BrowseMenu, m_window->DeleteMenu,
                               m_window->PrivateMenu, m_window->ConfMenu, m_window->SiteMenu,
                               m_window->UnsentMenu, m_window->ResendMenu, m_window->CheckMenu,
                               m_window->BackupMenu, m_window->EndMenu}));
    QCOMPARE(m_window->DeleteMenu->text(), u"この日を削除(&D)..."_s);
    QCOMPARE(m_window->ConfMenu->text(), u"設定"_s);
    QCOMPARE(m_window->SiteMenu->text(), u"サイト(&W)..."_s);
    QCOMPARE(m_window->BackupMenu->text(), u"バックアップ(&K)..."_s);
    QCOMPARE(m_window->EndMenu->text(), u"終了"_s);
    // Alt+F itself is what chooseMenuItem() presses.
}

void TestMainFor::menuKeysReachTheirItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Ctrl+F searches")
        << u"SearchMenu"_s << int(Qt::Key_F) << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("Delete deletes the day")
        << u"DeleteMenu"_s << int(Qt::Key_Delete) << Qt::KeyboardModifiers();
}

void TestMainFor::menuKeysReachTheirItems()
{
    QFETCH(QString, item);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    auto *action = m_window->findChild<QAction *>(item);
    QVERIFY(action);
    // What the item then does is for other tests: here only whether the key reaches it
    // while the menu is closed. Whether it is enabled follows the chosen day.
    QObject::disconnect(action, &QAction::triggered, m_window.get(), nullptr);
    action->setEnabled(true);
    QSignalSpy triggered(action, &QAction::triggered);
    m_window->windowHandle()->requestActivate();
    QTRY_COMPARE(QGuiApplication::focusWindow(), m_window->windowHandle());
    QTest::keyClick(m_window.get(), Qt::Key(key), modifiers);
    QCOMPARE(triggered.size(), 1);
    QVERIFY(!m_window->FileMenu->isVisible());
}

void TestMainFor::settingsOpensEveryTime()
{
    QList<bool> modal;
    QList<bool> centred;
    ModalAnswerer<ConfFor> answerer([&](ConfFor *dialog) {
        modal << (QApplication::activeModalWidget() == dialog);
        centred << centredOver(dialog, m_window.get());
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    chooseMenuItem(m_window->ConfMenu);
    QTRY_COMPARE(answerer.shown(), 1);
    chooseMenuItem(m_window->ConfMenu);
    QTRY_COMPARE(answerer.shown(), 2);
    QCOMPARE(modal, (QList<bool>{true, true}));
    QCOMPARE(centred, (QList<bool>{true, true}));
    QCOMPARE(answerer.leftOpen(), 0);
    QVERIFY(m_window->isVisible());
}

void TestMainFor::siteWindowOpensFromTheMenu()
{
    ModalAnswerer<SiteFor> answerer(
        [&](SiteFor *window) { QTest::mouseClick(window->CancelCom, Qt::LeftButton); });
    chooseMenuItem(m_window->SiteMenu);
    QTRY_COMPARE(answerer.shown(), 1);
    QCOMPARE(answerer.leftOpen(), 0);
}

// The item reads as what it would do to the chosen day, and does it: the day goes grey with
// the tooltip "非公開", loses its page, and its OK then opens no upload window.
void TestMainFor::privateDayItemTogglesTheDay()
{
    const QDate day(2004, 3, 10);
    QVERIFY(journal::saveDay({u"2004"_s, u"03"_s, u"10"_s}, u"十日"_s).ok());
    m_bed->setServer();
    m_window->DayCal->setSelectedDate(QDate(2004, 3, 11));
    QVERIFY(!m_window->PrivateMenu->isEnabled()); // no entry, nothing to keep
    m_window->DayCal->setSelectedDate(day);
    QVERIFY(m_window->PrivateMenu->isEnabled());
    QCOMPARE(m_window->PrivateMenu->text(), u"この日を非公開にする(&P)"_s);
    const QString dayPage = m_bed->appDir.filePath(u"HTML/2004/03/10.html"_s);
    QVERIFY(QFileInfo::exists(dayPage));

    chooseMenuItem(m_window->PrivateMenu);
    QTRY_VERIFY(isPrivateDay(day));
    QTRY_COMPARE(m_window->PrivateMenu->text(), u"この日を公開する(&P)"_s);
    QVERIFY(!QFileInfo::exists(dayPage));
    QCOMPARE(m_window->DayCal->dateTextFormat(day).toolTip(), u"非公開"_s);
    QVERIFY(m_window->DayCal->dateTextFormat(day).foreground() !=
            m_window->DayCal->dateTextFormat(QDate(2004, 3, 11)).foreground());

    const QByteArray entryBefore = m_bed->appDir.read(u"Diary/2004/03/10.dia"_s);
    ModalAnswerer<DiaryInpFor> answerer([](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"、追記"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
    });
    clickDay(day);
    QTRY_COMPARE(answerer.shown(), 1);
    QTRY_VERIFY(m_bed->appDir.read(u"Diary/2004/03/10.dia"_s) != entryBefore); // saved
    QCOMPARE(m_bed->uploads.shown(), 0);
    QVERIFY(!QFileInfo::exists(dayPage));

    chooseMenuItem(m_window->PrivateMenu);
    QTRY_VERIFY(!isPrivateDay(day));
    QTRY_COMPARE(m_window->PrivateMenu->text(), u"この日を非公開にする(&P)"_s);
    QVERIFY(QFileInfo::exists(dayPage));
    // Its page is unsent now, which the tooltip says instead.
    QVERIFY2(!m_window->DayCal->dateTextFormat(day).toolTip().contains(u"非公開"_s),
             qPrintable(m_window->DayCal->dateTextFormat(day).toolTip()));
}

void TestMainFor::backsUpOnFirstSaveOfTheDayAndAtQuit()
{
    const auto save = [this](const QDate &date) {
        m_window->DayCal->setSelectedDate(date);
        ModalAnswerer<DiaryInpFor> answerer([](DiaryInpFor *dialog) {
            dialog->DiaryTex->setPlainText(u"書いた"_s);
            dialog->OkCom->click();
        });
        QTest::keyClick(dayView(), Qt::Key_Return);
        QTRY_COMPARE(answerer.shown(), 1);
    };
    save(QDate(2004, 8, 16));
    QTRY_COMPARE(listBackups(backupFolder()).size(), 1);
    save(QDate(2004, 8, 17));
    m_window->close();
    // The second save came after the day's backup, so quitting writes one more.
    const QList<BackupFile> backups = listBackups(backupFolder());
    QCOMPARE(backups.size(), 2);
    QByteArray newest;
    QVERIFY(readBackupArchive(
        backups.first().path,
        [&newest](const QString &name, const QByteArray &bytes, QString *) {
            if (name == u"Diary/2004/08/17.dia"_s)
                newest = bytes;
            return true;
        },
        nullptr));
    QCOMPARE(newest, m_bed->appDir.read(u"Diary/2004/08/17.dia"_s));
}

void TestMainFor::endingTheProgram_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("終了 in the menu") << true;
    QTest::newRow("closing the window") << false;
}

void TestMainFor::endingTheProgram()
{
    QFETCH(bool, fromMenu);
    ModalAnswerer<QDialog> anyQuestion([](QDialog *dialog) { dialog->reject(); });
    // The program's own event loop, which ends with the calendar window.
    QApplication::setQuitOnLastWindowClosed(true);
    auto restore = qScopeGuard([] { QApplication::setQuitOnLastWindowClosed(false); });
    QTimer::singleShot(0, m_window.get(), [&] {
        if (fromMenu)
            chooseMenuItem(m_window->EndMenu);
        else
            m_window->close();
    });
    bool stuck = false;
    QTimer::singleShot(std::chrono::seconds(30), qApp, [&] {
        stuck = true;
        QApplication::exit(1);
    });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!stuck);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(anyQuestion.shown(), 0);
}

QTEST_MAIN(TestMainFor)
#include "TestMainFor.moc"

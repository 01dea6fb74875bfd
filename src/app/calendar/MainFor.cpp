#include "app/calendar/MainFor.h"

#include "app/calendar/AfterFirstPaint.h"
#include "app/backup/BackupFor.h"
#include "app/calendar/DayPageBrowse.h"
#include "app/calendar/DraftMarks.h"
#include "app/calendar/PrivateDayMarks.h"
#include "app/calendar/UnsentView.h"
#include "app/entry/DiaryInpFor.h"
#include "app/kit/AppIcon.h"
#include "app/kit/BusyWait.h"
#include "app/kit/ErrorMessage.h"
#include "app/kit/Geometry.h"
#include "app/publish/CheckFor.h"
#include "app/publish/SendFor.h"
#include "app/search/SearchFor.h"
#include "app/settings/ConfFor.h"
#include "app/site/SiteFor.h"
#include "backup/AutoBackup.h"
#include "diary/DateStrings.h"
#include "diary/EntryDays.h"
#include "diary/EntryStore.h"
#include "journal/DayDeletion.h"
#include "pages/SitePageName.h"
#include "publish/PublishDestination.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextCharFormat>

namespace Kakiva {

MainFor::MainFor(QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("MainFor"));
    setWindowTitle(QStringLiteral("KakivaH"));
    buildMenu();
    buildCalendar();
    // The menu bar sits above the client area, so the window is as large as both.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    showToday();
    connect(DayCal, &QCalendarWidget::currentPageChanged, this, &MainFor::markEntryDays);
    // A click on a day and Return or Enter on the chosen day both raise the date event.
    connect(DayCal, &QCalendarWidget::clicked, this, &MainFor::requestDateEvent);
    connect(DayCal, &QCalendarWidget::activated, this, &MainFor::requestDateEvent);
    connect(DayCal, &QCalendarWidget::selectionChanged, this, &MainFor::enableDelete);
    enableDelete();
    // The marks read the entry store, the server's record (through the settings and the
    // code-page converter) and the drafts: the first frame shows the month without them
    // and they follow at once.
    // So do the icon's pixels, which the window system asks for in every size as soon as
    // the window has one. The dialogs, its children, show the same icon.
    runAfterFirstPaint(this, [this] {
        markEntryDays(DayCal->yearShown(), DayCal->monthShown());
        setWindowIcon(appIcon());
    });
    // Once the window is up, so the notice stands over it.
    QMetaObject::invokeMethod(
        this, [this] { tellAboutDrafts(this); }, Qt::QueuedConnection);

    m_backups = new AutoBackup(this);
    connect(m_backups, &AutoBackup::finished, this, [this](bool written, const QString &error) {
        if (!written)
            showErrorMessage(this, QStringLiteral("バックアップできませんでした。\n") + error);
    });
}

void MainFor::buildMenu()
{
    FileMenu = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    SearchMenu = FileMenu->addAction(QStringLiteral("検索(&S)"));
    SearchMenu->setObjectName(QStringLiteral("SearchMenu"));
    SearchMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    BrowseMenu = FileMenu->addAction(QStringLiteral("ブラウザで表示(&B)"));
    BrowseMenu->setObjectName(QStringLiteral("BrowseMenu"));
    DeleteMenu = FileMenu->addAction(QStringLiteral("この日を削除(&D)..."));
    DeleteMenu->setObjectName(QStringLiteral("DeleteMenu"));
    DeleteMenu->setShortcut(QKeySequence(Qt::Key_Delete));
    PrivateMenu = FileMenu->addAction(QStringLiteral("この日を非公開にする(&P)"));
    PrivateMenu->setObjectName(QStringLiteral("PrivateMenu"));
    ConfMenu = FileMenu->addAction(QStringLiteral("設定"));
    ConfMenu->setObjectName(QStringLiteral("ConfMenu"));
    SiteMenu = FileMenu->addAction(QStringLiteral("サイト(&W)..."));
    SiteMenu->setObjectName(QStringLiteral("SiteMenu"));
    UnsentMenu = FileMenu->addAction(QStringLiteral("未送信を送信(&U)"));
    UnsentMenu->setObjectName(QStringLiteral("UnsentMenu"));
    ResendMenu = FileMenu->addAction(QStringLiteral("すべて送信し直す(&A)"));
    ResendMenu->setObjectName(QStringLiteral("ResendMenu"));
    CheckMenu = FileMenu->addAction(QStringLiteral("サーバーと照合(&V)"));
    CheckMenu->setObjectName(QStringLiteral("CheckMenu"));
    BackupMenu = FileMenu->addAction(QStringLiteral("バックアップ(&K)..."));
    BackupMenu->setObjectName(QStringLiteral("BackupMenu"));
    EndMenu = FileMenu->addAction(QStringLiteral("終了"));
    EndMenu->setObjectName(QStringLiteral("EndMenu"));
    connect(SearchMenu, &QAction::triggered, this, &MainFor::openSearch);
    connect(BrowseMenu, &QAction::triggered, this,
            [this] { showDayPage(this, DayCal->selectedDate()); });
    connect(DeleteMenu, &QAction::triggered, this, &MainFor::deleteChosenDay);
    connect(PrivateMenu, &QAction::triggered, this, &MainFor::togglePrivateDay);
    connect(ConfMenu, &QAction::triggered, this, &MainFor::openSettings);
    connect(SiteMenu, &QAction::triggered, this, &MainFor::openSite);
    connect(EndMenu, &QAction::triggered, this, &MainFor::close);
    connect(UnsentMenu, &QAction::triggered, this, [this] { sendSite(false); });
    connect(ResendMenu, &QAction::triggered, this, [this] { sendSite(true); });
    connect(CheckMenu, &QAction::triggered, this, &MainFor::checkServer);
    connect(BackupMenu, &QAction::triggered, this, &MainFor::openBackups);
    connect(FileMenu, &QMenu::aboutToShow, this, [this] {
        showUnsentCount(UnsentMenu, ResendMenu);
        // Like sending everything again, a check needs a server and a site.
        CheckMenu->setEnabled(ResendMenu->isEnabled());
    });
}

void MainFor::buildCalendar()
{
    auto *client = new QWidget(this);
    const QRect clientArea({0, 0}, twipSize(4320, 3030));
    client->setFixedSize(clientArea.size());
    setCentralWidget(client);

    DayCal = new QCalendarWidget(client);
    DayCal->setObjectName(QStringLiteral("DayCal"));
    // Larger than the client area and shifted left, so its edge is cut off on three sides
    // and the days fill the window. This calendar draws its arrows and days right up to
    // its edge, so it lays them out within the visible part only.
    const QRect calendarArea = twipRect(-120, 0, 4575, 3135);
    DayCal->setGeometry(calendarArea);
    DayCal->setContentsMargins(
        clientArea.left() - calendarArea.left(), clientArea.top() - calendarArea.top(),
        calendarArea.right() - clientArea.right(), calendarArea.bottom() - clientArea.bottom());
    DayCal->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    DayCal->setFirstDayOfWeek(Qt::Sunday);
    DayCal->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    // Folders, pages and captions hold the year as four digits.
    DayCal->setDateRange(QDate(FirstDiaryYear, 1, 1), QDate(LastDiaryYear, 12, 31));
    DayCal->setFocus();
}

void MainFor::showCentred()
{
    const QRect screenArea = screen()->availableGeometry();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, sizeHint(), screenArea));
    show();
}

void MainFor::showToday()
{
    // One reading of the clock, so year, month and day belong to the same date even at
    // midnight.
    const QDate today = QDate::currentDate();
    DayCal->setSelectedDate(today);
    DayCal->setCurrentPage(today.year(), today.month());
}

void MainFor::markEntryDays(int year, int month)
{
    DayCal->setDateTextFormat(QDate(), QTextCharFormat());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (int day : daysWithEntries(year, month))
        DayCal->setDateTextFormat(QDate(year, month, day), bold);
    markUnsentDays(DayCal, year, month);
    markDraftDays(DayCal, year, month);
    markPrivateDays(DayCal, year, month);
}

// After a save, a publish or new settings: what the server lacks may have changed. The
// count of unsent files reads the whole site, so it is taken only when the menu opens.
void MainFor::refreshMarks()
{
    markEntryDays(DayCal->yearShown(), DayCal->monthShown());
    enableDelete();
}

namespace {

// The focus starts on キャンセル, so a stray Return or Space deletes nothing.
bool confirmDeletion(QWidget *window, const QDate &date)
{
    QMessageBox question(QMessageBox::Question, window->windowTitle(),
                         slashedDate(date) + QStringLiteral(" の日記を削除しますか？"),
                         QMessageBox::NoButton, window);
    QPushButton *remove =
        question.addButton(QStringLiteral("削除(&D)"), QMessageBox::DestructiveRole);
    QPushButton *cancel = question.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    question.setDefaultButton(cancel);
    question.setEscapeButton(cancel);
    question.exec();
    return question.clickedButton() == remove;
}

} // namespace

// Only a day with an entry can be deleted; the Delete key follows the menu item. The same
// goes for keeping a day private.
void MainFor::enableDelete()
{
    const DateFields chosen = paddedDateFields(DayCal->selectedDate());
    DeleteMenu->setEnabled(QFileInfo::exists(entryFilePath(chosen.year, chosen.month, chosen.day)));
    showPrivacyChoice(PrivateMenu, DayCal->selectedDate());
}

void MainFor::togglePrivateDay()
{
    enableDelete();
    if (!PrivateMenu->isEnabled())
        return;
    togglePrivacy(this, DayCal->selectedDate());
    refreshMarks();
}

void MainFor::deleteChosenDay()
{
    enableDelete();
    const QDate chosen = DayCal->selectedDate();
    if (!DeleteMenu->isEnabled() || !confirmDeletion(this, chosen))
        return;
    journal::SiteChange deleted;
    runWhileBusy(this, QStringLiteral("削除しています..."), [&](JobProgress &) {
        deleted = journal::deleteDay(paddedDateFields(chosen), readSettings().siteUrl);
    });
    if (!deleted.ok())
        showErrorMessage(this, deleted.error);
    refreshMarks();
}

void MainFor::requestDateEvent()
{
    // One user action can raise both signals (a double click, or a click where the style
    // activates on single click). They are merged into one date event, run once the
    // calendar has finished handling the input.
    if (m_dateEventPending)
        return;
    m_dateEventPending = true;
    QMetaObject::invokeMethod(this, &MainFor::runDateEvent, Qt::QueuedConnection);
}

void MainFor::runDateEvent()
{
    if (!m_diaryInp)
        m_diaryInp = new DiaryInpFor(this);
    const QDate chosen = DayCal->selectedDate();
    m_diaryInp->YearStr = dateFieldText(chosen.year());
    m_diaryInp->MonthStr = dateFieldText(chosen.month());
    m_diaryInp->DayStr = dateFieldText(chosen.day());
    m_diaryInp->showModal();
    m_dateEventPending = false;
    // Saved or not, the day's draft has gone with the dialog.
    refreshMarks();
}

void MainFor::openSettings()
{
    if (!m_conf)
        m_conf = new ConfFor(this);
    m_conf->showModal();
    refreshMarks();
}

void MainFor::openSite()
{
    SiteFor site(this);
    site.showModal();
}

void MainFor::sendSite(bool everything)
{
    SendFor send(everything ? SendFor::Scope::Everything : SendFor::Scope::Unsent, this);
    send.exec();
    refreshMarks();
}

void MainFor::checkServer()
{
    CheckFor check(this);
    check.exec();
    refreshMarks();
}

void MainFor::openSearch()
{
    if (!m_search) {
        m_search = new SearchFor(this);
        connect(m_search, &SearchFor::dayChosen, this, &MainFor::openDay);
    }
    m_search->showSearch();
}

void MainFor::openDay(const QDate &date)
{
    // As though the user had turned the calendar to that month and chosen the day.
    DayCal->setCurrentPage(date.year(), date.month());
    DayCal->setSelectedDate(date);
    requestDateEvent();
}

void MainFor::openBackups()
{
    BackupFor backups(m_backups, this);
    backups.exec();
    refreshMarks();
    // What the server holds may no longer be what the restored record says.
    if (backups.restoredAny() && destinationOf(readSettings()).isSet() &&
        askCheckAfterRestore(this))
        checkServer();
}

void MainFor::closeEvent(QCloseEvent *event)
{
    backUpAtQuit();
    QMainWindow::closeEvent(event);
}

// A failure is told by the handler of every automatic backup's end.
void MainFor::backUpAtQuit()
{
    const QString text = QStringLiteral("バックアップ中...");
    waitWhileBusy(this, text, m_backups->job());
    if (m_backups->changedSinceBackup() && m_backups->start())
        waitWhileBusy(this, text, m_backups->job());
}

} // namespace Kakiva

#include "app/calendar/MainFor.h"

#include "app/calendar/AfterFirstPaint.h"
#include "app/calendar/RoomsLoader.h"
#include "app/kit/AppIcon.h"
#include "app/kit/ErrorMessage.h"
#include "app/kit/Geometry.h"
#include "pages/SitePageName.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace Kakiva {

MainFor::MainFor(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("MainFor"));
    m_rooms = std::make_unique<RoomsLoader>(
        this, roomsModulePaths(QCoreApplication::applicationDirPath()));
    setWindowTitle(QStringLiteral("KakivaH"));
    buildMenu();
    buildCalendar();
    // The menu bar sits above the client area, edge to edge, so the window is as large as
    // both.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MenuBar);
    layout->addWidget(ClientArea);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    showToday();
    connect(DayCal, &QCalendarWidget::currentPageChanged, this, &MainFor::markEntryDays);
    // A click on a day and Return or Enter on the chosen day both raise the date event.
    connect(DayCal, &QCalendarWidget::clicked, this, &MainFor::requestDateEvent);
    connect(DayCal, &QCalendarWidget::activated, this, &MainFor::requestDateEvent);
    connect(DayCal, &QCalendarWidget::selectionChanged, this, &MainFor::enableDelete);
    // The marks, the menu's state and the drafts' notice come from the windows' module,
    // with the entry store, the server's record and the settings below it: the first
    // frame shows the month without them, and the module is loaded just after it.
    // The icon's pixels wait too: the window system asks for them in every size as soon as
    // the window has one. The dialogs, its children, show the same icon.
    runAfterFirstPaint(this, [this] {
        setWindowIcon(appIcon());
        if (Rooms *loaded = rooms()) {
            refreshMarks();
            // The window is up by now, so the notice stands over it.
            loaded->tellAboutDrafts();
        }
        m_settled = true;
    });
}

MainFor::~MainFor() = default;

void MainFor::buildMenu()
{
    MenuBar = new QMenuBar(this);
    FileMenu = MenuBar->addMenu(QStringLiteral("ファイル(&F)"));
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
    connect(BrowseMenu, &QAction::triggered, this, [this] {
        if (Rooms *r = rooms())
            r->showDayPage(DayCal->selectedDate());
    });
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
        if (Rooms *r = rooms())
            r->showUnsentCount(UnsentMenu, ResendMenu);
        // Like sending everything again, a check needs a server and a site.
        CheckMenu->setEnabled(ResendMenu->isEnabled());
    });
}

void MainFor::buildCalendar()
{
    ClientArea = new QWidget(this);
    const QRect clientArea({0, 0}, twipSize(4320, 3030));
    ClientArea->setFixedSize(clientArea.size());

    DayCal = new QCalendarWidget(ClientArea);
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


// A user action that comes before the module is loaded waits for it: milliseconds. One
// that cannot be loaded is told once; the calendar itself keeps working.
Rooms *MainFor::rooms()
{
    if (Rooms *loaded = m_rooms->rooms())
        return loaded;
    if (!m_roomsFaultTold) {
        m_roomsFaultTold = true;
        showErrorMessage(this, m_rooms->error());
    }
    return nullptr;
}

void MainFor::markEntryDays(int year, int month)
{
    if (Rooms *r = rooms())
        r->markMonth(DayCal, year, month);
}

// After a save, a publish or new settings: what the server lacks may have changed. The
// count of unsent files reads the whole site, so it is taken only when the menu opens.
void MainFor::refreshMarks()
{
    markEntryDays(DayCal->yearShown(), DayCal->monthShown());
    enableDelete();
}

// Only a day with an entry can be deleted; the Delete key follows the menu item. The same
// goes for keeping a day private.
void MainFor::enableDelete()
{
    if (Rooms *r = rooms())
        r->showDayChoices(DeleteMenu, PrivateMenu, DayCal->selectedDate());
}

void MainFor::togglePrivateDay()
{
    if (Rooms *r = rooms()) {
        r->togglePrivacy(DayCal->selectedDate());
        refreshMarks();
    }
}

void MainFor::deleteChosenDay()
{
    if (Rooms *r = rooms()) {
        r->deleteDay(DayCal->selectedDate());
        refreshMarks();
    }
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
    if (Rooms *r = rooms())
        r->writeDay(DayCal->selectedDate());
    m_dateEventPending = false;
    // Saved or not, the day's draft has gone with the dialog.
    refreshMarks();
}

void MainFor::openSettings()
{
    if (Rooms *r = rooms()) {
        r->openSettings();
        refreshMarks();
    }
}

void MainFor::openSite()
{
    if (Rooms *r = rooms())
        r->openSite();
}

void MainFor::sendSite(bool everything)
{
    if (Rooms *r = rooms()) {
        r->sendSite(everything);
        refreshMarks();
    }
}

void MainFor::checkServer()
{
    if (Rooms *r = rooms()) {
        r->checkServer();
        refreshMarks();
    }
}

void MainFor::openSearch()
{
    if (Rooms *r = rooms())
        r->openSearch([this](const QDate &date) { openDay(date); });
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
    if (Rooms *r = rooms()) {
        r->openBackups();
        refreshMarks();
    }
}

void MainFor::closeEvent(QCloseEvent *event)
{
    backUpAtQuit();
    QWidget::closeEvent(event);
}

// Without the module nothing could have been written, so there is nothing to back up.
void MainFor::backUpAtQuit()
{
    if (Rooms *r = m_rooms->rooms())
        r->backUpAtQuit();
}

} // namespace Kakiva

#pragma once

#include <QWidget>

#include <memory>

class QAction;
class QCloseEvent;
class QCalendarWidget;
class QMenu;
class QMenuBar;

namespace Kakiva {

class Rooms;
class RoomsLoader;

// The calendar window: starts the program set to today, hands a chosen day to the entry
// dialog and opens the settings dialog, the search window and the chosen day's page.
// Days with an entry are shown in bold, days whose page the server lacks are marked, and
// the unsent files or the whole site can be sent. The chosen day's entry can be deleted
// (the menu or the Delete key) once the user confirms it. Backups are written on the first
// save of a day and at the end, and the backup window restores them. A day can be kept
// private (shown grey) and given back to the web; the site window holds its public
// address. Closing it, or choosing 終了, ends the program.
// A plain window with its menu bar over the client area: a main window's dock and tool bar
// machinery would only add to what the first frame waits for.
class MainFor : public QWidget
{
    Q_OBJECT

public:
    explicit MainFor(QWidget *parent = nullptr);
    ~MainFor() override;

    // Shows the window centred on its screen.
    void showCentred();

    // True once the first frame is up and what follows it has run: the windows' module
    // loaded, the month marked, the drafts told.
    bool isSettled() const { return m_settled; }

    QMenuBar *MenuBar = nullptr;
    QWidget *ClientArea = nullptr;
    QCalendarWidget *DayCal = nullptr;
    QMenu *FileMenu = nullptr;
    QAction *SearchMenu = nullptr;
    QAction *BrowseMenu = nullptr;
    QAction *DeleteMenu = nullptr;
    QAction *PrivateMenu = nullptr;
    QAction *ConfMenu = nullptr;
    QAction *SiteMenu = nullptr;
    QAction *UnsentMenu = nullptr;
    QAction *ResendMenu = nullptr;
    QAction *CheckMenu = nullptr;
    QAction *BackupMenu = nullptr;
    QAction *EndMenu = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void backUpAtQuit();

private:
    void buildCalendar();
    void buildMenu();
    void showToday();
    void markEntryDays(int year, int month);
    void requestDateEvent();
    void runDateEvent();
    void openSettings();
    void openSearch();
    void openBackups();
    void openDay(const QDate &date);
    void sendSite(bool everything);
    void checkServer();
    void refreshMarks();
    void enableDelete();
    void deleteChosenDay();
    void togglePrivateDay();
    void openSite();
    // The windows' module, loaded on first need; null, once told, when it cannot be.
    Rooms *rooms();

    std::unique_ptr<RoomsLoader> m_rooms;
    bool m_roomsFaultTold = false;
    bool m_settled = false;
    bool m_dateEventPending = false;
};

} // namespace Kakiva

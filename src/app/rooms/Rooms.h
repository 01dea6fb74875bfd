#pragma once

#include <functional>

class QAction;
class QCalendarWidget;
class QDate;
class QWidget;

namespace Kakiva {

// What the calendar window asks of the windows behind it and of the diary, the site, the
// server and the backups below them. Those live in a module loaded once the calendar has
// painted, so the libraries they need (the network, the keyring, archives, SQLite) cost
// the start nothing. Every call runs on the window's thread.
class Rooms
{
public:
    virtual ~Rooms() = default;

    // The month's days with an entry in bold, then the unsent, draft and private marks.
    virtual void markMonth(QCalendarWidget *calendar, int year, int month) = 0;
    // Tells of drafts left by a run that ended before they were saved.
    virtual void tellAboutDrafts() = 0;
    // Only a day with an entry can be deleted or kept private; the items say so.
    virtual void showDayChoices(QAction *deleteItem, QAction *privateItem, const QDate &date) = 0;
    virtual void showUnsentCount(QAction *unsentItem, QAction *resendItem) = 0;

    // Each opens its window modal over the calendar and returns once it has closed.
    virtual void writeDay(const QDate &date) = 0;
    virtual void deleteDay(const QDate &date) = 0;
    virtual void togglePrivacy(const QDate &date) = 0;
    virtual void showDayPage(const QDate &date) = 0;
    virtual void openSettings() = 0;
    virtual void openSite() = 0;
    virtual void sendSite(bool everything) = 0;
    virtual void checkServer() = 0;
    virtual void openBackups() = 0;
    // The search window stays open beside the calendar; a day chosen there is handed back.
    virtual void openSearch(std::function<void(const QDate &)> dayChosen) = 0;

    // The backup at the end, waited for with the window showing that it is busy.
    virtual void backUpAtQuit() = 0;
};

// The module's one entry point: the rooms of the calendar window `window`, which owns
// them. Its name as the module exports it is RoomsEntryName.
using MakeRooms = Rooms *(*)(QWidget *window);
inline constexpr char RoomsEntryName[] = "kakiva_make_rooms";

} // namespace Kakiva

#pragma once

#include "app/rooms/Rooms.h"

namespace Kakiva {

class AutoBackup;
class ConfFor;
class DiaryInpFor;
class SearchFor;

// The rooms behind one calendar window: its dialogs, made on first use and kept as its
// children, and the automatic backups (on the first save of a day and at the end).
class WindowRooms : public Rooms
{
public:
    explicit WindowRooms(QWidget *window);

    void markMonth(QCalendarWidget *calendar, int year, int month) override;
    void tellAboutDrafts() override;
    void showDayChoices(QAction *deleteItem, QAction *privateItem, const QDate &date) override;
    void showUnsentCount(QAction *unsentItem, QAction *resendItem) override;
    void writeDay(const QDate &date) override;
    void deleteDay(const QDate &date) override;
    void togglePrivacy(const QDate &date) override;
    void showDayPage(const QDate &date) override;
    void openSettings() override;
    void openSite() override;
    void sendSite(bool everything) override;
    void checkServer() override;
    void openBackups() override;
    void openSearch(std::function<void(const QDate &)> dayChosen) override;
    void backUpAtQuit() override;

private:
    // The window owns every one of these as a child; they outlive this object.
    QWidget *m_window;
    DiaryInpFor *m_diaryInp = nullptr;
    ConfFor *m_conf = nullptr;
    SearchFor *m_search = nullptr;
    AutoBackup *m_backups = nullptr;
};

} // namespace Kakiva

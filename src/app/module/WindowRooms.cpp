#include "app/module/WindowRooms.h"

#include "app/backup/BackupFor.h"
#include "app/calendar/DayPageBrowse.h"
#include "app/calendar/DraftMarks.h"
#include "app/calendar/PrivateDayMarks.h"
#include "app/calendar/UnsentView.h"
#include "app/entry/DiaryInpFor.h"
#include "app/kit/BusyWait.h"
#include "app/kit/ErrorMessage.h"
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
#include "publish/PublishDestination.h"
#include "settings/Settings.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTextCharFormat>

namespace Kakiva {

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

bool hasEntry(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    return QFileInfo::exists(entryFilePath(fields.year, fields.month, fields.day));
}

} // namespace

WindowRooms::WindowRooms(QWidget *window) : m_window(window)
{
    m_backups = new AutoBackup(window);
    QObject::connect(m_backups, &AutoBackup::finished, window,
                     [window](bool written, const QString &error) {
                         if (!written)
                             showErrorMessage(window, QStringLiteral("バックアップできませんでした。\n") +
                                                          error);
                     });
}

void WindowRooms::markMonth(QCalendarWidget *calendar, int year, int month)
{
    calendar->setDateTextFormat(QDate(), QTextCharFormat());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (int day : daysWithEntries(year, month))
        calendar->setDateTextFormat(QDate(year, month, day), bold);
    markUnsentDays(calendar, year, month);
    markDraftDays(calendar, year, month);
    markPrivateDays(calendar, year, month);
}

void WindowRooms::tellAboutDrafts()
{
    Kakiva::tellAboutDrafts(m_window);
}

void WindowRooms::showDayChoices(QAction *deleteItem, QAction *privateItem, const QDate &date)
{
    deleteItem->setEnabled(hasEntry(date));
    showPrivacyChoice(privateItem, date);
}

void WindowRooms::showUnsentCount(QAction *unsentItem, QAction *resendItem)
{
    Kakiva::showUnsentCount(unsentItem, resendItem);
}

void WindowRooms::writeDay(const QDate &date)
{
    if (!m_diaryInp)
        m_diaryInp = new DiaryInpFor(m_window);
    m_diaryInp->YearStr = dateFieldText(date.year());
    m_diaryInp->MonthStr = dateFieldText(date.month());
    m_diaryInp->DayStr = dateFieldText(date.day());
    m_diaryInp->showModal();
}

void WindowRooms::deleteDay(const QDate &date)
{
    if (!hasEntry(date) || !confirmDeletion(m_window, date))
        return;
    journal::SiteChange deleted;
    runWhileBusy(m_window, QStringLiteral("削除しています..."), [&](JobProgress &) {
        deleted = journal::deleteDay(paddedDateFields(date), readSettings().siteUrl);
    });
    if (!deleted.ok())
        showErrorMessage(m_window, deleted.error);
}

void WindowRooms::togglePrivacy(const QDate &date)
{
    if (hasEntry(date))
        Kakiva::togglePrivacy(m_window, date);
}

void WindowRooms::showDayPage(const QDate &date)
{
    Kakiva::showDayPage(m_window, date);
}

void WindowRooms::openSettings()
{
    if (!m_conf)
        m_conf = new ConfFor(m_window);
    m_conf->showModal();
}

void WindowRooms::openSite()
{
    SiteFor site(m_window);
    site.showModal();
}

void WindowRooms::sendSite(bool everything)
{
    SendFor send(everything ? SendFor::Scope::Everything : SendFor::Scope::Unsent, m_window);
    send.exec();
}

void WindowRooms::checkServer()
{
    CheckFor check(m_window);
    check.exec();
}

void WindowRooms::openBackups()
{
    BackupFor backups(m_backups, m_window);
    backups.exec();
    // What the server holds may no longer be what the restored record says.
    if (backups.restoredAny() && destinationOf(readSettings()).isSet() &&
        askCheckAfterRestore(m_window))
        checkServer();
}

void WindowRooms::openSearch(std::function<void(const QDate &)> dayChosen)
{
    if (!m_search) {
        m_search = new SearchFor(m_window);
        QObject::connect(m_search, &SearchFor::dayChosen, m_window, std::move(dayChosen));
    }
    m_search->showSearch();
}

// A failure is told by the handler of every automatic backup's end.
void WindowRooms::backUpAtQuit()
{
    const QString text = QStringLiteral("バックアップ中...");
    waitWhileBusy(m_window, text, m_backups->job());
    if (m_backups->changedSinceBackup() && m_backups->start())
        waitWhileBusy(m_window, text, m_backups->job());
}

} // namespace Kakiva

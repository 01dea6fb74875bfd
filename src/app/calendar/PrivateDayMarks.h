#pragma once

#include <QDate>

class QAction;
class QCalendarWidget;
class QWidget;

namespace Kakiva {

// Marks the days of the shown month kept private: grey, beside the bold of entries, with
// the tooltip "非公開".
void markPrivateDays(QCalendarWidget *calendar, int year, int month);

// Words and enables the menu item that keeps date private or gives it back to the web: only
// a day with an entry has anything to keep.
void showPrivacyChoice(QAction *item, const QDate &date);

// Marks date private or public again, as the item last showed it, while a busy note stands
// over window; a failure is told there.
void togglePrivacy(QWidget *window, const QDate &date);

} // namespace Kakiva

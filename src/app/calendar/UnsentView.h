#pragma once

class QAction;
class QCalendarWidget;

namespace Kakiva {

// Marks the days of the shown month whose day page the server does not hold as it is
// now: a background of their own, beside the bold of days with entries, and the tooltip
// "未送信". Nothing is marked while no server is set.
void markUnsentDays(QCalendarWidget *calendar, int year, int month);

// "未送信を送信" shows how many files are unsent or still to be removed from the server and is
// disabled at none; "すべて送信し直す" needs a server and a site.
void showUnsentCount(QAction *unsentMenu, QAction *resendMenu);

} // namespace Kakiva

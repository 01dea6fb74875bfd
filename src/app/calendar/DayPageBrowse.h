#pragma once

class QDate;
class QWidget;

namespace Kakiva {

// Opens the page of date in the user's browser, or tells the user in a message box over
// window that the day has no page yet.
void showDayPage(QWidget *window, const QDate &date);

} // namespace Kakiva

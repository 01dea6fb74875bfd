#pragma once

class QCalendarWidget;
class QWidget;

namespace Kakiva {

// Marks the days of the shown month that hold a draft never saved (the program ended with
// the entry dialog open): red italics, beside the bold of entries and the background of
// unsent days, and the tooltip "下書きあり".
void markDraftDays(QCalendarWidget *calendar, int year, int month);

// Tells, once at start-up, which days hold such drafts; says nothing when none do.
void tellAboutDrafts(QWidget *window);

} // namespace Kakiva

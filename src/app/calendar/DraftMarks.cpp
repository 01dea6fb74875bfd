#include "app/calendar/DraftMarks.h"

#include "diary/DateStrings.h"
#include "diary/EntryDrafts.h"

#include <QCalendarWidget>
#include <QMessageBox>
#include <QTextCharFormat>

namespace Kakiva {

namespace {

const QColor DraftColour(192, 0, 0);
const QString DraftTip = QStringLiteral("下書きあり");
// More days than this are summed up, so the box stays on the screen.
constexpr qsizetype ListedDays = 10;

QString draftDayList(const QList<QDate> &days)
{
    QStringList lines;
    for (qsizetype i = 0; i < days.size() && i < ListedDays; ++i)
        lines << slashedDate(days[i]);
    if (days.size() > ListedDays)
        lines << QStringLiteral("ほか %1 日").arg(days.size() - ListedDays);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void markDraftDays(QCalendarWidget *calendar, int year, int month)
{
    for (const QDate &date : pendingDraftDays()) {
        if (date.year() != year || date.month() != month)
            continue;
        QTextCharFormat format = calendar->dateTextFormat(date);
        format.setForeground(DraftColour);
        format.setFontItalic(true);
        const QString tip = format.toolTip();
        format.setToolTip(tip.isEmpty() ? DraftTip : tip + QLatin1Char('\n') + DraftTip);
        calendar->setDateTextFormat(date, format);
    }
}

void tellAboutDrafts(QWidget *window)
{
    const QList<QDate> days = pendingDraftDays();
    if (days.isEmpty())
        return;
    QMessageBox::information(window, window->windowTitle(),
                             QStringLiteral("保存されていない下書きがあります。\n") +
                                 draftDayList(days) +
                                 QStringLiteral("\nその日を開くと、下書きを戻せます。"));
}

} // namespace Kakiva

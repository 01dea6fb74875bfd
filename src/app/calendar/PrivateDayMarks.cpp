#include "app/calendar/PrivateDayMarks.h"

#include "app/kit/BusyWait.h"
#include "app/kit/ErrorMessage.h"
#include "diary/DateStrings.h"
#include "diary/EntryStore.h"
#include "diary/PrivateDays.h"
#include "journal/DayPrivacy.h"
#include "settings/Settings.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFileInfo>
#include <QTextCharFormat>

namespace Kakiva {

namespace {

const QColor PrivateColour(128, 128, 128);
const QString PrivateTip = QStringLiteral("非公開");

} // namespace

void markPrivateDays(QCalendarWidget *calendar, int year, int month)
{
    const std::optional<QSet<QDate>> marked = privateDays();
    if (!marked)
        return;
    for (const QDate &date : *marked) {
        if (date.year() != year || date.month() != month)
            continue;
        QTextCharFormat format = calendar->dateTextFormat(date);
        format.setForeground(PrivateColour);
        const QString tip = format.toolTip();
        format.setToolTip(tip.isEmpty() ? PrivateTip : tip + QLatin1Char('\n') + PrivateTip);
        calendar->setDateTextFormat(date, format);
    }
}

void showPrivacyChoice(QAction *item, const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    item->setEnabled(QFileInfo::exists(entryFilePath(fields.year, fields.month, fields.day)));
    item->setText(isPrivateDay(date) ? QStringLiteral("この日を公開する(&P)")
                                     : QStringLiteral("この日を非公開にする(&P)"));
}

void togglePrivacy(QWidget *window, const QDate &date)
{
    const bool makePrivate = !isPrivateDay(date);
    const QString siteUrl = readSettings().siteUrl;
    journal::SiteChange change;
    runWhileBusy(window,
                 makePrivate ? QStringLiteral("非公開にしています...")
                             : QStringLiteral("公開しています..."),
                 [&](JobProgress &) {
                     const DateFields fields = paddedDateFields(date);
                     change = makePrivate ? journal::makeDayPrivate(fields, siteUrl)
                                          : journal::makeDayPublic(fields, siteUrl);
                 });
    if (!change.ok())
        showErrorMessage(window, change.error);
}

} // namespace Kakiva

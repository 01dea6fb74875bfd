#include "app/calendar/UnsentView.h"

#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"

#include <QAction>
#include <QCalendarWidget>
#include <QTextCharFormat>

namespace Kakiva {

namespace {

const QColor UnsentBackground(255, 204, 128);
const QString UnsentCaption = QStringLiteral("未送信を送信(&U)");

} // namespace

void markUnsentDays(QCalendarWidget *calendar, int year, int month)
{
    const ServerRecord record(destinationOf(readSettings()));
    for (int day : unsentDays(record, year, month)) {
        const QDate date(year, month, day);
        QTextCharFormat format = calendar->dateTextFormat(date);
        format.setBackground(UnsentBackground);
        // The chosen day's highlight covers the background; the underline stays visible.
        format.setFontUnderline(true);
        format.setToolTip(QStringLiteral("未送信"));
        calendar->setDateTextFormat(date, format);
    }
}

void showUnsentCount(QAction *unsentMenu, QAction *resendMenu)
{
    const ServerRecord record(destinationOf(readSettings()));
    const QList<SiteFile> files = siteFiles();
    // A page still to be removed from the server is as unsent as one still to be sent.
    const auto count = unsentOf(files, record).size() + pendingRemovals(record).size();
    // After a tab the count stands where a shortcut would, and the caption stays as it is.
    unsentMenu->setText(count > 0 ? UnsentCaption + QStringLiteral("\t%1 件").arg(count)
                                  : UnsentCaption);
    unsentMenu->setEnabled(count > 0);
    resendMenu->setEnabled(record.destination().isSet() && !files.isEmpty());
}

} // namespace Kakiva

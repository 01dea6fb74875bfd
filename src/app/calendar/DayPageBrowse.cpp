#include "app/calendar/DayPageBrowse.h"

#include "diary/DateStrings.h"
#include "pages/PagePaths.h"

#include <QDate>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace Kakiva {

void showDayPage(QWidget *window, const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    const QString page = dayPagePath(fields.year, fields.month, fields.day);
    const QString title = window ? window->windowTitle() : QString();
    if (!QFileInfo(page).isFile()) {
        QMessageBox::information(window, title,
                                 slashedDate(date) + QStringLiteral(" のページはまだありません。"));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        QMessageBox::warning(window, title, QStringLiteral("ブラウザを開けませんでした。"));
}

} // namespace Kakiva

#include "pages/NewestDayPage.h"

#include "pages/PagePaths.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/WholeFile.h"

#include <QRegularExpression>

#include <algorithm>

namespace Kakiva {

namespace {

// The names the generator gives the folders and pages of dates, newest first.
QStringList namesLike(const QString &directory, const QRegularExpression &shape, bool folders)
{
    QStringList names;
    for (const DirEntry &entry : listDirectory(directory).value_or(QList<DirEntry>())) {
        if (entry.isDirectory == folders && shape.match(entry.name).hasMatch())
            names.append(entry.name);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

QByteArray pageFor(const std::optional<QDate> &newest)
{
    QString head = QStringLiteral("<HTML>\r\n<HEAD>\r\n"
                                  "<META http-equiv=\"Content-Type\" content=\"text/html; "
                                  "charset=Shift_JIS\">\r\n");
    QString body;
    if (newest) {
        const QString target = newest->toString(QStringLiteral("./yyyy/MM/dd.html"));
        head +=
            QStringLiteral("<META http-equiv=\"refresh\" content=\"0; url=%1\">\r\n").arg(target);
        body = QStringLiteral("<A HREF=\"%1\">%2</A>\r\n")
                   .arg(target, newest->toString(QStringLiteral("yyyy/MM/dd")));
    } else {
        body = QStringLiteral("まだ日記がありません。\r\n");
    }
    head += QStringLiteral("<link rel=\"stylesheet\" type=\"text/css\" href=\"./kakiva.css\" >\r\n"
                           "<TITLE>日記</TITLE>\r\n</HEAD>\r\n<BODY>\r\n");
    return toCp932(head + body + QStringLiteral("</BODY>\r\n</HTML>\r\n"));
}

} // namespace

QString newestDayPagePath()
{
    return htmlRootPath() + QStringLiteral("/latest.html");
}

std::optional<QDate> newestPublishedDay()
{
    static const QRegularExpression year(QStringLiteral("^\\d{4}$"));
    static const QRegularExpression monthOrDay(QStringLiteral("^\\d{2}$"));
    static const QRegularExpression dayPage(QStringLiteral("^(\\d{2})\\.html$"));
    for (const QString &y : namesLike(htmlRootPath(), year, true)) {
        for (const QString &m : namesLike(yearDirectoryPath(y), monthOrDay, true)) {
            for (const QString &page : namesLike(monthDirectoryPath(y, m), dayPage, false)) {
                const QDate date(y.toInt(), m.toInt(), page.left(2).toInt());
                if (date.isValid())
                    return date;
            }
        }
    }
    return std::nullopt;
}

bool rewriteNewestDayPage(bool *changed, QString *error)
{
    const QByteArray page = pageFor(newestPublishedDay());
    QByteArray before;
    *changed = readFileWhole(newestDayPagePath(), &before) != FileRead::Done || before != page;
    return !*changed || writeFileWhole(newestDayPagePath(), page, error);
}

} // namespace Kakiva

#pragma once

#include "diary/EntryStore.h"
#include "journal/SiteChange.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"

#include <QStringList>
#include <QTest>

// A day as a save leaves it on disk: its entry, then its four pages. A failure is flagged
// by QTest.
inline void writeSavedDay(const QString &year, const QString &month, const QString &day,
                          const QString &text = QStringLiteral("晴れ"))
{
    QString error;
    QVERIFY2(Kakiva::DiaryWrite(year, month, day, text, &error) == 0, qPrintable(error));
    QVERIFY2(Kakiva::HtmlMake(year, month, day, &error) == 0, qPrintable(error));
}

// The four pages of one date, in the order they are written: the day's page, then the
// list of years, the year's list of months and the month's list of days.
inline QStringList pagesOfDay(const QString &year, const QString &month, const QString &day)
{
    return {Kakiva::dayPagePath(year, month, day), Kakiva::yearListPath(),
            Kakiva::monthListPath(year), Kakiva::dayListPath(year, month)};
}

// The same four pages, in the same order, by their paths below the HTML tree (and below the
// remote directory), as a change to the day names them.
inline QStringList sitePagesOfDay(const QString &year, const QString &month, const QString &day)
{
    const QString monthPath = year + u'/' + month;
    return {monthPath + u'/' + day + QLatin1String(".html"), QStringLiteral("year.html"),
            year + QLatin1String("/index.html"), monthPath + QLatin1String("/index.html")};
}

// A save of the day, as the entry dialog hands it to the upload window.
inline Kakiva::journal::SiteChange savedDay(const QString &year, const QString &month,
                                            const QString &day)
{
    Kakiva::journal::SiteChange change;
    change.written = sitePagesOfDay(year, month, day);
    return change;
}

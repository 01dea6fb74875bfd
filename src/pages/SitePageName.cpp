#include "pages/SitePageName.h"

#include "diary/DateStrings.h"
#include "diary/DayPictureNames.h"
#include "pages/PagePaths.h"

#include <QStringList>

namespace Kakiva {

namespace {

const QString YearList = QStringLiteral("year.html");
const QString ListName = QStringLiteral("index.html");
const QString PageSuffix = QStringLiteral(".html");

// The number a name of only ASCII digits holds, when it lies in [low, high] and is written
// with exactly width digits (0 for a year: no leading zero).
std::optional<int> numberIn(const QString &name, int low, int high, int width)
{
    if (name.isEmpty() || name.size() > 4 || (width > 0 && name.size() != width))
        return std::nullopt;
    int value = 0;
    for (const QChar c : name) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value < low || value > high || (width == 0 && name.front() == QLatin1Char('0')))
        return std::nullopt;
    return value;
}

QString twoDigits(int value)
{
    return twoDigitDateField(dateFieldText(value));
}

} // namespace

std::optional<QString> generatedPagePath(const QString &remotePath)
{
    const QStringList parts = remotePath.split(QLatin1Char('/'));
    if (parts.size() == 1)
        return parts[0] == YearList ? std::optional<QString>(YearList) : std::nullopt;
    if (parts.size() > 3)
        return std::nullopt;
    const std::optional<int> year = numberIn(parts[0], FirstDiaryYear, LastDiaryYear, 0);
    if (!year)
        return std::nullopt;
    const QString yearName = dateFieldText(*year);
    if (parts.size() == 2)
        return parts[1] == ListName ? std::optional<QString>(yearName + u'/' + ListName)
                                    : std::nullopt;
    const std::optional<int> month = numberIn(parts[1], 1, 12, 2);
    if (!month)
        return std::nullopt;
    const QString monthPath = yearName + u'/' + twoDigits(*month) + u'/';
    if (parts[2] == ListName)
        return monthPath + ListName;
    if (!parts[2].endsWith(PageSuffix))
        return std::nullopt;
    const std::optional<int> day = numberIn(parts[2].chopped(PageSuffix.size()), 1, 31, 2);
    if (!day)
        return std::nullopt;
    return monthPath + twoDigits(*day) + PageSuffix;
}

std::optional<QString> dayPicturePath(const QString &remotePath)
{
    if (!isDayPicture(remotePath))
        return std::nullopt;
    const std::optional<DayPictureName> name =
        parseDayPictureName(remotePath.section(QLatin1Char('/'), 1));
    const DateFields date = paddedDateFields(name->date);
    return date.year + u'/' + dayPictureName(date, name->number, name->suffix);
}

} // namespace Kakiva

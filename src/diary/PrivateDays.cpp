#include "diary/PrivateDays.h"

#include "platform/AppDir.h"
#include "platform/WholeFile.h"

#include <QDir>
#include <QList>

#include <algorithm>

namespace Kakiva {

namespace {

const QString DateForm = QStringLiteral("yyyy/MM/dd");

QByteArray marksText(const QSet<QDate> &days)
{
    QList<QDate> sorted(days.begin(), days.end());
    std::sort(sorted.begin(), sorted.end());
    QByteArray text;
    for (const QDate &day : sorted)
        text += day.toString(DateForm).toLatin1() + "\r\n";
    return text;
}

} // namespace

QString privateDaysPath()
{
    return applicationPath(DiaryDirName) + QStringLiteral("/.private");
}

std::optional<QSet<QDate>> privateDays(QString *error)
{
    QByteArray bytes;
    switch (readFileWhole(privateDaysPath(), &bytes, error)) {
    case FileRead::Missing:
        return QSet<QDate>();
    case FileRead::Failed:
        return std::nullopt;
    case FileRead::Done:
        break;
    }
    QSet<QDate> days;
    for (const QByteArray &line : bytes.split('\n')) {
        const QDate day = QDate::fromString(QString::fromLatin1(line.trimmed()), DateForm);
        if (day.isValid())
            days.insert(day);
    }
    return days;
}

bool isPrivateDay(const QDate &date)
{
    const std::optional<QSet<QDate>> days = privateDays();
    return !days || days->contains(date);
}

bool setDayPrivate(const QDate &date, bool isPrivate, QString *error)
{
    const std::optional<QSet<QDate>> marked = privateDays(error);
    if (!marked)
        return false;
    QSet<QDate> days = *marked;
    if (days.contains(date) == isPrivate)
        return true;
    if (isPrivate)
        days.insert(date);
    else
        days.remove(date);
    QDir().mkpath(applicationPath(DiaryDirName));
    return writeFileWhole(privateDaysPath(), marksText(days), error);
}

} // namespace Kakiva

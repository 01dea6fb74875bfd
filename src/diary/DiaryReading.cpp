#include "diary/DiaryReading.h"

#include "diary/DateStrings.h"
#include "diary/EntryDays.h"
#include "diary/EntryStore.h"
#include "platform/AppDir.h"
#include "platform/FileSystem.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <memory>

namespace Kakiva {

namespace {

// The years the calendar can hand over name their directories without leading zeros.
int yearOfDirectory(const DirEntry &entry)
{
    bool isNumber = false;
    const int year = entry.name.toInt(&isNumber);
    if (!entry.isDirectory || !isNumber || year < 1 || dateFieldText(year) != entry.name)
        return 0;
    return year;
}

void readPart(const QList<QDate> &days, qsizetype from, qsizetype to,
              const std::function<bool()> &cancelled, DiaryContents &part)
{
    part.entries.reserve(to - from);
    for (qsizetype i = from; i < to && !cancelled(); ++i) {
        EntryReading reading = readForIndex(days[i]);
        if (reading.outcome == EntryReading::Outcome::Read)
            part.entries.push_back(std::move(reading.entry));
        else if (reading.outcome == EntryReading::Outcome::Unreadable)
            part.unreadable.append(days[i]);
    }
}

} // namespace

QList<QDate> diaryDays()
{
    QList<int> years;
    for (const DirEntry &entry : listDirectory(applicationPath(DiaryDirName))) {
        if (const int year = yearOfDirectory(entry))
            years.append(year);
    }
    std::sort(years.begin(), years.end(), std::greater<>());
    QList<QDate> days;
    for (int year : years) {
        for (int month = 12; month >= 1; --month) {
            const QList<int> monthDays = daysWithEntries(year, month);
            for (auto day = monthDays.crbegin(); day != monthDays.crend(); ++day) {
                const QDate date(year, month, *day);
                if (date.isValid())
                    days.append(date);
            }
        }
    }
    return days;
}

EntryReading readForIndex(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    QString text;
    if (DiaryRead(fields.year, fields.month, fields.day, text) == 0)
        return {EntryReading::Outcome::Read, indexedEntry(date, text)};
    // The store answers a failure alike for a missing and an unreadable file.
    const bool exists = QFileInfo::exists(entryFilePath(fields.year, fields.month, fields.day));
    return {exists ? EntryReading::Outcome::Unreadable : EntryReading::Outcome::Missing, {}};
}

DiaryContents readDiary(const QList<QDate> &days, const std::function<bool()> &cancelled)
{
    const qsizetype workers = std::max(1, QThread::idealThreadCount());
    std::vector<DiaryContents> parts(workers);
    const auto bound = [&](qsizetype part) { return days.size() * part / workers; };
    std::vector<std::unique_ptr<QThread>> helpers;
    for (qsizetype part = 1; part < workers; ++part) {
        helpers.emplace_back(QThread::create(
            [&, part] { readPart(days, bound(part), bound(part + 1), cancelled, parts[part]); }));
        helpers.back()->start();
    }
    readPart(days, bound(0), bound(1), cancelled, parts[0]);
    for (const auto &helper : helpers)
        helper->wait();

    DiaryContents contents = std::move(parts[0]);
    for (qsizetype part = 1; part < workers; ++part) {
        std::move(parts[part].entries.begin(), parts[part].entries.end(),
                  std::back_inserter(contents.entries));
        contents.unreadable.append(parts[part].unreadable);
    }
    return contents;
}

} // namespace Kakiva

#include "diary/DiaryReading.h"

#include "diary/DateStrings.h"
#include "diary/EntryDays.h"
#include "diary/EntryStore.h"
#include "platform/AppDir.h"
#include "platform/FileSystem.h"

#include <QThread>

#include <algorithm>
#include <atomic>
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

void readYear(int year, const std::function<bool()> &cancelled, DiaryContents &contents)
{
    const QList<QDate> days = daysOfYear(year);
    contents.entries.reserve(days.size());
    for (const QDate &date : days) {
        if (cancelled())
            return;
        EntryReading reading = readForIndex(date);
        if (reading.outcome == EntryReading::Outcome::Read)
            contents.entries.push_back(std::move(reading.entry));
        else if (reading.outcome == EntryReading::Outcome::Unreadable)
            contents.unreadable.append(date);
    }
}

} // namespace

QList<int> diaryYears()
{
    QList<int> years;
    const std::optional<QList<DirEntry>> listing = listDirectory(applicationPath(DiaryDirName));
    for (const DirEntry &entry : listing.value_or(QList<DirEntry>{})) {
        if (const int year = yearOfDirectory(entry))
            years.append(year);
    }
    std::sort(years.begin(), years.end(), std::greater<>());
    return years;
}

QList<QDate> daysOfYear(int year)
{
    QList<QDate> days;
    for (int month = 12; month >= 1; --month) {
        const QList<int> monthDays = daysWithEntries(year, month);
        for (auto day = monthDays.crbegin(); day != monthDays.crend(); ++day) {
            const QDate date(year, month, *day);
            if (date.isValid())
                days.append(date);
        }
    }
    return days;
}

EntryReading readForIndex(const QDate &date)
{
    const DateFields fields = paddedDateFields(date);
    QString text;
    switch (DiaryRead(fields.year, fields.month, fields.day, text)) {
    case 0:
        return {EntryReading::Outcome::Read, indexedEntry(date, text)};
    case EntryMissing:
        return {EntryReading::Outcome::Missing, {}};
    default:
        return {EntryReading::Outcome::Unreadable, {}};
    }
}

DiaryContents readDiary(const std::function<bool()> &cancelled)
{
    // Listing a year's directories costs about as much as reading its entries, so each
    // worker takes whole years, the next one free, and the results are joined in order.
    const QList<int> years = diaryYears();
    std::vector<DiaryContents> perYear(years.size());
    std::atomic<qsizetype> nextYear = 0;
    const auto work = [&] {
        for (qsizetype i = nextYear++; i < years.size(); i = nextYear++)
            readYear(years[i], cancelled, perYear[i]);
    };
    std::vector<std::unique_ptr<QThread>> helpers;
    for (int helper = 1; helper < QThread::idealThreadCount(); ++helper) {
        helpers.emplace_back(QThread::create(work));
        helpers.back()->start();
    }
    work();
    for (const auto &helper : helpers)
        helper->wait();

    DiaryContents contents;
    for (DiaryContents &year : perYear) {
        std::move(year.entries.begin(), year.entries.end(), std::back_inserter(contents.entries));
        contents.unreadable.append(year.unreadable);
    }
    return contents;
}

} // namespace Kakiva

#include "diary/DiaryReading.h"

#include "diary/DateStrings.h"
#include "diary/EntryStore.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>
#include <span>

namespace Kakiva {

namespace {

// Small enough that the cores finish together, large enough that taking the next share
// costs nothing beside reading it.
constexpr qsizetype DaysPerShare = 64;

void readShare(std::span<const QDate> days, const std::function<bool()> &cancelled,
               DiaryContents &contents)
{
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

DiaryContents readEntries(const QList<QDate> &days, const std::function<bool()> &cancelled)
{
    const qsizetype shares = (days.size() + DaysPerShare - 1) / DaysPerShare;
    std::vector<DiaryContents> perShare(shares);
    std::atomic<qsizetype> nextShare = 0;
    const auto work = [&] {
        for (qsizetype i = nextShare++; i < shares; i = nextShare++) {
            const qsizetype from = i * DaysPerShare;
            readShare(std::span(days.constData() + from, std::min(DaysPerShare, days.size() - from)),
                      cancelled, perShare[i]);
        }
    };
    std::vector<std::unique_ptr<QThread>> helpers;
    const int cores = QThread::idealThreadCount();
    for (int helper = 1; helper < cores && helper < shares; ++helper) {
        helpers.emplace_back(QThread::create(work));
        helpers.back()->start();
    }
    work();
    for (const auto &helper : helpers)
        helper->wait();

    DiaryContents contents;
    contents.entries.reserve(days.size());
    for (DiaryContents &share : perShare) {
        std::move(share.entries.begin(), share.entries.end(), std::back_inserter(contents.entries));
        contents.unreadable.append(share.unreadable);
    }
    return contents;
}

} // namespace Kakiva

#include "pages/SiteFeed.h"

#include "diary/EntryDays.h"
#include "diary/EntryStore.h"
#include "diary/PrivateDays.h"
#include "pages/AtomFeed.h"
#include "pages/PagePaths.h"
#include "platform/AppDir.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/WholeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>
#include <QUrl>

#include <algorithm>

namespace Kakiva {

namespace {

constexpr int FeedDays = 20;
constexpr int TitleCharacters = 40;

struct KeptDay
{
    QDateTime published;
    QDateTime updated;
    QString digest;
};

struct FeedRecord
{
    QString id;
    QJsonObject days; // "yyyy/MM/dd" → KeptDay as JSON
};

QStringList numberedNames(const QString &directory, int digits)
{
    const QRegularExpression shape(QStringLiteral("^\\d{%1}$").arg(digits));
    QStringList names;
    for (const DirEntry &entry : listDirectory(directory).value_or(QList<DirEntry>())) {
        if (entry.isDirectory && shape.match(entry.name).hasMatch())
            names.append(entry.name);
    }
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

// The newest days with entries that are not private, newest first.
QList<QDate> recentPublicDays(const QSet<QDate> &hidden)
{
    QList<QDate> days;
    const QString diary = applicationPath(DiaryDirName);
    for (const QString &year : numberedNames(diary, 4)) {
        for (const QString &month : numberedNames(diary + QLatin1Char('/') + year, 2)) {
            QList<int> entries = daysWithEntries(year.toInt(), month.toInt());
            std::sort(entries.begin(), entries.end(), std::greater<>());
            for (int day : entries) {
                const QDate date(year.toInt(), month.toInt(), day);
                if (date.isValid() && !hidden.contains(date))
                    days.append(date);
                if (days.size() == FeedDays)
                    return days;
            }
        }
    }
    return days;
}

FeedRecord readRecord(const QByteArray &bytes, const QString &host)
{
    FeedRecord record;
    const QJsonObject json = QJsonDocument::fromJson(bytes).object();
    record.id = json.value(QStringLiteral("id")).toString();
    record.days = json.value(QStringLiteral("days")).toObject();
    // Fixed the first time the feed is made: a move of the site keeps every id.
    if (!record.id.startsWith(QLatin1String("tag:")))
        record.id =
            QStringLiteral("tag:%1,%2:diary").arg(host, QDate::currentDate().toString(Qt::ISODate));
    return record;
}

QByteArray recordBytes(const FeedRecord &record)
{
    QJsonObject json;
    json.insert(QStringLiteral("id"), record.id);
    json.insert(QStringLiteral("days"), record.days);
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

KeptDay keptDay(const QJsonValue &value)
{
    const QJsonObject json = value.toObject();
    return {QDateTime::fromString(json.value(QStringLiteral("published")).toString(), Qt::ISODate),
            QDateTime::fromString(json.value(QStringLiteral("updated")).toString(), Qt::ISODate),
            json.value(QStringLiteral("digest")).toString()};
}

QJsonObject keptJson(const KeptDay &day)
{
    return {{QStringLiteral("published"), day.published.toUTC().toString(Qt::ISODate)},
            {QStringLiteral("updated"), day.updated.toUTC().toString(Qt::ISODate)},
            {QStringLiteral("digest"), day.digest}};
}

// A day first seen counts as published when its entry was last written; a changed text
// counts as updated then too. An unchanged text keeps both times, whoever rewrote the file.
KeptDay noteDay(const QJsonValue &kept, const QByteArray &bytes, const QDateTime &written)
{
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    if (kept.isUndefined())
        return {written, written, digest};
    KeptDay day = keptDay(kept);
    if (day.digest != digest) {
        day.updated = std::max(written, day.updated);
        day.digest = digest;
    }
    return day;
}

bool entryOf(const QDate &date, FeedRecord &record, const QString &siteUrl, FeedEntry *entry,
             QString *error)
{
    const QString y = date.toString(QStringLiteral("yyyy"));
    const QString m = date.toString(QStringLiteral("MM"));
    const QString d = date.toString(QStringLiteral("dd"));
    QByteArray bytes;
    if (!readEntryBytes(y, m, d, bytes, error))
        return false;
    const QString key = date.toString(QStringLiteral("yyyy/MM/dd"));
    const KeptDay day =
        noteDay(record.days.value(key), bytes, QFileInfo(entryFilePath(y, m, d)).lastModified());
    record.days.insert(key, keptJson(day));
    // The page's own form of the text: references stay references, as the browser reads them.
    const QString text = fromCp932(bytes);
    entry->id = record.id + QLatin1Char('/') + date.toString(Qt::ISODate);
    entry->link = siteUrl + key + QStringLiteral(".html");
    entry->title = feedEntryTitle(key, text);
    entry->html = feedEntryHtml(text, entry->link);
    entry->published = day.published;
    entry->updated = day.updated;
    return true;
}

QString withSlash(const QString &url)
{
    return url.endsWith(QLatin1Char('/')) ? url : url + QLatin1Char('/');
}

} // namespace

QString feedPath()
{
    return htmlRootPath() + QStringLiteral("/atom.xml");
}

QString feedRecordPath()
{
    return applicationPath(DiaryDirName) + QStringLiteral("/.feed.json");
}

QString feedEntryHtml(const QString &entryText, const QString &dayPageUrl)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r"));
    static const QRegularExpression link(
        QStringLiteral("(\\b(?:href|src)\\s*=\\s*)(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'>]+))"),
        QRegularExpression::CaseInsensitiveOption);
    // As on the day page: a line ends at CR LF or CR, and a text that ends with its line
    // break has no line after it.
    QStringList lines = entryText.isEmpty() ? QStringList() : entryText.split(lineEnd);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QString html;
    for (const QString &line : std::as_const(lines))
        html += line + QStringLiteral("<BR>\n");
    const QUrl base(dayPageUrl);
    QString absolute;
    qsizetype from = 0;
    for (const QRegularExpressionMatch &match : link.globalMatch(html)) {
        const QString value = match.captured(2) + match.captured(3) + match.captured(4);
        const QString resolved = base.resolved(QUrl(value)).toString();
        absolute += html.mid(from, match.capturedStart() - from) + match.captured(1) +
                    QLatin1Char('"') + resolved.toHtmlEscaped() + QLatin1Char('"');
        from = match.capturedEnd();
    }
    return absolute + html.mid(from);
}

QString feedEntryTitle(const QString &date, const QString &entryText)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QString first = entryText.section(QRegularExpression(QStringLiteral("\r\n|\r|\n")), 0, 0);
    first = first.remove(tag).simplified();
    if (first.size() > TitleCharacters)
        first = first.left(TitleCharacters) + QStringLiteral("…");
    return first.isEmpty() ? date : date + QLatin1Char(' ') + first;
}

bool rewriteFeed(const QString &siteUrl, bool *changed, QString *error)
{
    *changed = false;
    if (siteUrl.isEmpty())
        return true;
    const std::optional<QSet<QDate>> hidden = privateDays(error);
    if (!hidden)
        return false;
    const QString site = withSlash(siteUrl);
    QByteArray recordBefore;
    readFileWhole(feedRecordPath(), &recordBefore);
    FeedRecord record = readRecord(recordBefore, QUrl(site).host());
    FeedHead head{record.id, QStringLiteral("日記"), QUrl(site).host(), site, {}};
    QList<FeedEntry> entries;
    for (const QDate &date : recentPublicDays(*hidden)) {
        FeedEntry entry;
        if (!entryOf(date, record, site, &entry, error))
            return false;
        head.updated = std::max(head.updated, entry.updated);
        entries.append(entry);
    }
    if (!head.updated.isValid())
        head.updated =
            QDate::fromString(record.id.section(QLatin1Char(','), 1).left(10), Qt::ISODate)
                .startOfDay(QTimeZone::utc());
    const QByteArray document = atomDocument(head, entries);
    const QByteArray recordAfter = recordBytes(record);
    if (recordAfter != recordBefore && !(QDir().mkpath(QFileInfo(feedRecordPath()).path()) &&
                                         writeFileWhole(feedRecordPath(), recordAfter, error)))
        return false;
    QByteArray before;
    *changed = readFileWhole(feedPath(), &before) != FileRead::Done || before != document;
    return !*changed || writeFileWhole(feedPath(), document, error);
}

} // namespace Kakiva

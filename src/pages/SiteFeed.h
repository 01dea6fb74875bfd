#pragma once

#include <QString>

namespace Kakiva {

// "atom.xml" at the root of the HTML tree: an Atom feed of the 20 most recent public days.
QString feedPath();

// Where the feed keeps what must not change between rewrites: its own id, and for each day
// the id, when it was first published, when its text last changed and a digest of that
// text. It lies beside the entries (Diary/.feed.json), so backups carry it and a restore or
// a republish of the whole site changes no id and no time.
QString feedRecordPath();

// Rewrites the feed for siteUrl, the public address of the HTML tree (absolute http or
// https). Without an address there is no feed and nothing is written. *changed tells
// whether atom.xml changed. False with *error when an entry, the marks of private days or
// a file cannot be read or written.
bool rewriteFeed(const QString &siteUrl, bool *changed, QString *error);

// The entry's HTML as the day page shows it, its relative links made absolute against the
// day page's address.
QString feedEntryHtml(const QString &entryText, const QString &dayPageUrl);

// The date and the first line of the entry without its markup, as a feed reader lists it.
QString feedEntryTitle(const QString &date, const QString &entryText);

} // namespace Kakiva

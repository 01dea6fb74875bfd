#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace Kakiva {

// One day as the feed shows it.
struct FeedEntry
{
    QString id;    // a tag: URI fixed when the day first entered the feed
    QString title; // the date and the entry's first line
    QString link;  // the day page's absolute address
    QString html;  // what the day page shows, its links made absolute
    QDateTime published;
    QDateTime updated;
};

struct FeedHead
{
    QString id; // a tag: URI fixed when the feed was first made
    QString title;
    QString author;
    QString siteUrl; // the public address of the HTML tree, ending in "/"
    QDateTime updated;
};

// The Atom 1.0 document, UTF-8, entries in the order given. Characters that XML forbids
// (most control characters) are left out of every text.
QByteArray atomDocument(const FeedHead &head, const QList<FeedEntry> &entries);

// Text with the characters XML 1.0 cannot carry removed.
QString xmlSafeText(const QString &text);

} // namespace Kakiva

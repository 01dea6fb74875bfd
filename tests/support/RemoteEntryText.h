#pragma once

#include "publish/client/RemoteEntry.h"

#include <QList>
#include <QStringList>

#include <optional>

// One entry of a server's listing as "name|size|d" (or "|f" for a file), so that what a
// parser or a listing made compares with one line of text; empty for none.
inline QString describedEntry(const std::optional<Kakiva::RemoteEntry> &entry)
{
    if (!entry)
        return {};
    return QStringLiteral("%1|%2|%3")
        .arg(entry->name)
        .arg(entry->size)
        .arg(entry->isDirectory ? QStringLiteral("d") : QStringLiteral("f"));
}

// Every entry so, in order.
inline QStringList describedEntries(const QList<Kakiva::RemoteEntry> &entries)
{
    QStringList lines;
    for (const Kakiva::RemoteEntry &entry : entries)
        lines.append(describedEntry(entry));
    return lines;
}

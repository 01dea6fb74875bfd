#include "publish/ftp/FtpListing.h"

#include <QSet>
#include <QString>

namespace Kakiva {

namespace {

std::optional<qint64> sizeOf(const QByteArray &digits)
{
    if (digits.isEmpty() || digits.size() > 18)
        return std::nullopt;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    return digits.toLongLong();
}

std::optional<RemoteEntry> entryNamed(const QByteArray &rawName, bool isDirectory, qint64 size)
{
    const QString name = QString::fromUtf8(rawName);
    if (!isPlainEntryName(name))
        return std::nullopt;
    return RemoteEntry{name, isDirectory ? -1 : size, isDirectory, {}};
}

bool isMonth(const QByteArray &word)
{
    static const QSet<QByteArray> months{"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    return months.contains(word.toLower());
}

// The words of a line and where each starts, so a name keeps the spaces inside it.
struct Words
{
    QList<QByteArray> words;
    QList<qsizetype> starts;
};

Words wordsOf(const QByteArray &line, int atMost)
{
    Words w;
    qsizetype i = 0;
    while (i < line.size() && w.words.size() < atMost) {
        while (i < line.size() && line.at(i) == ' ')
            ++i;
        if (i == line.size())
            break;
        const qsizetype start = i;
        while (i < line.size() && line.at(i) != ' ')
            ++i;
        w.words.append(line.mid(start, i - start));
        w.starts.append(start);
    }
    return w;
}

// "-rw-r--r--  1 owner group  512 Aug 17  2004 17.html", the group sometimes missing: the
// size is the word before the month, and the name begins one blank after the time or year.
std::optional<RemoteEntry> parseUnixLine(const QByteArray &line)
{
    const char type = line.at(0);
    if (type != '-' && type != 'd')
        return std::nullopt; // links, devices, "total 12"
    const Words w = wordsOf(line, 9);
    for (qsizetype m = 3; m + 3 < w.words.size(); ++m) {
        if (!isMonth(w.words.at(m)))
            continue;
        const qsizetype afterTime = w.starts.at(m + 2) + w.words.at(m + 2).size();
        if (afterTime + 1 >= line.size())
            return std::nullopt;
        const std::optional<qint64> size = sizeOf(w.words.at(m - 1));
        return entryNamed(line.mid(afterTime + 1), type == 'd', size.value_or(-1));
    }
    return std::nullopt;
}

// "08-17-04  10:00AM       <DIR>          2004" or "08-17-04  10:00AM    512 17.html".
std::optional<RemoteEntry> parseDosLine(const QByteArray &line)
{
    const Words w = wordsOf(line, 4);
    if (w.words.size() < 4 || w.words.at(0).count('-') != 2 || !w.words.at(1).contains(':'))
        return std::nullopt;
    const bool isDirectory = w.words.at(2) == "<DIR>";
    const std::optional<qint64> size = sizeOf(w.words.at(2));
    if (!isDirectory && !size)
        return std::nullopt;
    return entryNamed(line.mid(w.starts.at(3)), isDirectory, size.value_or(-1));
}

} // namespace

std::optional<RemoteEntry> parseMlsdLine(const QByteArray &line)
{
    const qsizetype space = line.indexOf(' ');
    if (space <= 0)
        return std::nullopt;
    QByteArray type;
    std::optional<qint64> size;
    for (const QByteArray &fact : line.left(space).split(';')) {
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = fact.left(equals).toLower();
        if (key == "type")
            type = fact.mid(equals + 1).toLower();
        else if (key == "size")
            size = sizeOf(fact.mid(equals + 1));
    }
    if (type != "file" && type != "dir")
        return std::nullopt; // cdir, pdir, links and whatever a server calls its own
    return entryNamed(line.mid(space + 1), type == "dir", size.value_or(-1));
}

std::optional<RemoteEntry> parseListLine(const QByteArray &line)
{
    if (line.isEmpty())
        return std::nullopt;
    if (line.at(0) >= '0' && line.at(0) <= '9')
        return parseDosLine(line);
    return parseUnixLine(line);
}

QList<RemoteEntry> parseFtpListing(const QByteArray &bytes, FtpListingFormat format)
{
    QList<RemoteEntry> entries;
    QSet<QString> seen;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const std::optional<RemoteEntry> entry =
            format == FtpListingFormat::Mlsd ? parseMlsdLine(line) : parseListLine(line);
        if (!entry || seen.contains(entry->name))
            continue;
        seen.insert(entry->name);
        entries.append(*entry);
        if (entries.size() >= RemoteListing::MaxEntries)
            break;
    }
    return entries;
}

} // namespace Kakiva

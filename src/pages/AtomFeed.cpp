#include "pages/AtomFeed.h"

#include <QXmlStreamWriter>

namespace Kakiva {

namespace {

bool allowedInXml(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

QString rfc3339(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODate);
}

void writeLink(QXmlStreamWriter &xml, const QString &rel, const QString &href,
               const QString &type = {})
{
    xml.writeEmptyElement(QStringLiteral("link"));
    xml.writeAttribute(QStringLiteral("rel"), rel);
    if (!type.isEmpty())
        xml.writeAttribute(QStringLiteral("type"), type);
    xml.writeAttribute(QStringLiteral("href"), xmlSafeText(href));
}

void writeText(QXmlStreamWriter &xml, const QString &name, const QString &text)
{
    xml.writeTextElement(name, xmlSafeText(text));
}

void writeEntry(QXmlStreamWriter &xml, const FeedEntry &entry)
{
    xml.writeStartElement(QStringLiteral("entry"));
    writeText(xml, QStringLiteral("id"), entry.id);
    writeText(xml, QStringLiteral("title"), entry.title);
    writeLink(xml, QStringLiteral("alternate"), entry.link, QStringLiteral("text/html"));
    writeText(xml, QStringLiteral("published"), rfc3339(entry.published));
    writeText(xml, QStringLiteral("updated"), rfc3339(entry.updated));
    xml.writeStartElement(QStringLiteral("content"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("html"));
    xml.writeCharacters(xmlSafeText(entry.html));
    xml.writeEndElement();
    xml.writeEndElement();
}

} // namespace

QString xmlSafeText(const QString &text)
{
    QString safe;
    safe.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (allowedInXml(c))
            safe += QString::fromUcs4(&c, 1);
    }
    return safe;
}

QByteArray atomDocument(const FeedHead &head, const QList<FeedEntry> &entries)
{
    QByteArray document;
    QXmlStreamWriter xml(&document);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QStringLiteral("http://www.w3.org/2005/Atom"));
    xml.writeStartElement(QStringLiteral("feed"));
    writeText(xml, QStringLiteral("id"), head.id);
    writeText(xml, QStringLiteral("title"), head.title);
    writeText(xml, QStringLiteral("updated"), rfc3339(head.updated));
    xml.writeStartElement(QStringLiteral("author"));
    writeText(xml, QStringLiteral("name"), head.author);
    xml.writeEndElement();
    writeLink(xml, QStringLiteral("self"), head.siteUrl + QStringLiteral("atom.xml"),
              QStringLiteral("application/atom+xml"));
    writeLink(xml, QStringLiteral("alternate"), head.siteUrl, QStringLiteral("text/html"));
    writeText(xml, QStringLiteral("generator"), QStringLiteral("Kakiva"));
    for (const FeedEntry &entry : entries)
        writeEntry(xml, entry);
    xml.writeEndElement();
    xml.writeEndDocument();
    return document;
}

} // namespace Kakiva

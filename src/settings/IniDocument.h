#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QStringView>

namespace Kakiva {

// INI text held as Windows-932 bytes and read the way profile files always have been:
// section and key names match without regard to letter case, blanks around names and
// values do not count, a line starting with ';' is a comment, and the first matching
// section and the first matching key in it win. Lines end in CR LF, LF or CR. A leading
// UTF-8 byte-order mark is skipped.
//
// An edit rewrites or adds only the line it concerns, so everything else in the file
// (other sections, keys, comments, blank lines, odd spacing) keeps its bytes.
class IniDocument
{
public:
    explicit IniDocument(QByteArray bytes = {});

    const QByteArray &bytes() const { return m_bytes; }

    // The stored value without surrounding blanks and without one pair of enclosing
    // matching quotes ("..." or '...'); empty when the section or the key is missing.
    QByteArray value(QStringView section, QStringView key) const;

    // Stores value (which must hold no line break) as one "Key=value" line ending in
    // CR LF. An existing key's line is replaced in place and keeps the key's spelling
    // from the file, so a hand-written "server" stays "server". A new key goes after the
    // last non-blank line of its section, a new section at the end of the file; both
    // are spelled as given.
    void setValue(QStringView section, QStringView key, QByteArrayView value);

    // Empties the value of every line of that key in every section, also the lines a
    // reader never gets to (a second one in a section), so none of them leaves the file.
    void clearEvery(QStringView key);

private:
    struct Line
    {
        qsizetype start = 0;
        qsizetype length = 0; // without the line end
        qsizetype next = 0;   // where the following line starts
    };

    struct Location
    {
        qsizetype header = -1;      // line of the first matching section header
        qsizetype lastContent = -1; // its last non-blank line (the header if none)
        qsizetype key = -1;         // line of the first matching key in that section
    };

    QByteArrayView lineText(qsizetype index) const;
    Location locate(QStringView section, QStringView key) const;
    void replaceLine(qsizetype index, const QByteArray &text);
    void insertAfter(qsizetype index, QByteArray text);
    void setBytes(QByteArray bytes);

    QByteArray m_bytes;
    qsizetype m_bodyStart = 0; // after a byte-order mark
    QList<Line> m_lines;
};

} // namespace Kakiva

#include "settings/IniDocument.h"

#include "platform/Cp932.h"
#include "platform/Cp932Bytes.h"
#include "platform/TextLines.h"

#include <optional>
#include <utility>

namespace Kakiva {

namespace {

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";

bool isBlank(char byte)
{
    return byte == ' ' || byte == '\t';
}

// Blanks are single bytes below any second byte of a double-byte character, so trimming
// from the end never cuts into one.
QByteArrayView trimBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QByteArrayView unquote(QByteArrayView value)
{
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return quoted ? value.sliced(1, value.size() - 2) : value;
}

// The name inside "[...]", or nothing when the line is no section header. A header
// without its closing bracket still starts a section, so its keys never count as keys
// of the section above.
std::optional<QByteArrayView> sectionName(QByteArrayView line)
{
    const QByteArrayView text = trimBlanks(line);
    if (!text.startsWith('['))
        return std::nullopt;
    const QByteArrayView inside = text.sliced(1);
    const qsizetype close = cp932IndexOf(inside, ']');
    return trimBlanks(close < 0 ? inside : inside.first(close));
}

struct KeyLine
{
    QByteArrayView name;
    QByteArrayView value;
};

std::optional<KeyLine> keyLine(QByteArrayView line)
{
    const QByteArrayView text = trimBlanks(line);
    if (text.startsWith(';') || text.startsWith('['))
        return std::nullopt;
    const qsizetype equals = cp932IndexOf(text, '=');
    if (equals < 0)
        return std::nullopt;
    return KeyLine{trimBlanks(text.first(equals)), unquote(trimBlanks(text.sliced(equals + 1)))};
}

bool sameName(QByteArrayView stored, QStringView wanted)
{
    return fromCp932(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

QByteArray keyValueLine(QByteArrayView name, QByteArrayView value)
{
    return name.toByteArray().append('=').append(value).append(LineEnd);
}

} // namespace

IniDocument::IniDocument(QByteArray bytes)
{
    setBytes(std::move(bytes));
}

QByteArray IniDocument::value(QStringView section, QStringView key) const
{
    const Location at = locate(section, key);
    if (at.key < 0)
        return {};
    return keyLine(lineText(at.key))->value.toByteArray();
}

void IniDocument::setValue(QStringView section, QStringView key, QByteArrayView value)
{
    const Location at = locate(section, key);
    if (at.key >= 0) {
        replaceLine(at.key, keyValueLine(keyLine(lineText(at.key))->name, value));
    } else if (at.header >= 0) {
        insertAfter(at.lastContent, keyValueLine(toCp932(key), value));
    } else {
        const QByteArray header = '[' + toCp932(section) + ']' + LineEnd;
        insertAfter(m_lines.size() - 1, header + keyValueLine(toCp932(key), value));
    }
}

void IniDocument::clearEvery(QStringView key)
{
    // From the end, so replacing a line leaves the lines before it where they were.
    for (qsizetype index = m_lines.size() - 1; index >= 0; --index) {
        const auto entry = keyLine(lineText(index));
        if (entry && sameName(entry->name, key) && !entry->value.isEmpty())
            replaceLine(index, keyValueLine(entry->name, {}));
    }
}

QByteArrayView IniDocument::lineText(qsizetype index) const
{
    const Line &line = m_lines.at(index);
    return QByteArrayView(m_bytes).sliced(line.start, line.length);
}

IniDocument::Location IniDocument::locate(QStringView section, QStringView key) const
{
    Location at;
    for (qsizetype index = 0; index < m_lines.size(); ++index) {
        const QByteArrayView text = lineText(index);
        if (const auto name = sectionName(text)) {
            if (at.header >= 0)
                break;
            if (sameName(*name, section))
                at.header = at.lastContent = index;
            continue;
        }
        if (at.header < 0)
            continue;
        if (!trimBlanks(text).isEmpty())
            at.lastContent = index;
        const auto entry = keyLine(text);
        if (at.key < 0 && entry && sameName(entry->name, key))
            at.key = index;
    }
    return at;
}

void IniDocument::replaceLine(qsizetype index, const QByteArray &text)
{
    const Line &line = m_lines.at(index);
    QByteArray bytes = m_bytes;
    bytes.replace(line.start, line.next - line.start, text);
    setBytes(std::move(bytes));
}

// index -1 inserts at the start (only an empty document has no line to follow).
void IniDocument::insertAfter(qsizetype index, QByteArray text)
{
    qsizetype pos = m_bodyStart;
    if (index >= 0) {
        const Line &line = m_lines.at(index);
        pos = line.next;
        if (line.next == line.start + line.length) // last line of a file without final line end
            text.prepend(LineEnd);
    }
    QByteArray bytes = m_bytes;
    bytes.insert(pos, text);
    setBytes(std::move(bytes));
}

void IniDocument::setBytes(QByteArray bytes)
{
    m_bytes = std::move(bytes);
    m_lines.clear();
    // Editors that save UTF-8 put a byte-order mark in front; it is no part of the
    // first line, and it stays in the file.
    m_bodyStart = m_bytes.startsWith(ByteOrderMark) ? qsizetype(sizeof ByteOrderMark - 1) : 0;
    const qsizetype size = m_bytes.size();
    qsizetype start = m_bodyStart;
    while (start < size) {
        qsizetype end = start;
        while (end < size && m_bytes[end] != '\r' && m_bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size && m_bytes[next] == '\r')
            ++next;
        if (next < size && m_bytes[next] == '\n')
            ++next;
        m_lines.append({start, end - start, next});
        start = next;
    }
}

} // namespace Kakiva

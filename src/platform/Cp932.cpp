#include "platform/Cp932.h"

#include <QHash>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

namespace Kakiva {

namespace {

// One iconv conversion descriptor per direction and thread, opened on first use: the
// page generator converts many short strings and opening a descriptor is not free.
class IconvHandle
{
public:
    IconvHandle(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (isValid())
            iconv_close(m_cd);
    }
    IconvHandle(const IconvHandle &) = delete;
    IconvHandle &operator=(const IconvHandle &) = delete;

    bool isValid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [*in, *in + *inLeft) as it can into out; returns false and
    // leaves *in at the offending input when a sequence cannot be converted.
    bool convert(const char **in, size_t *inLeft, QByteArray &out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[4096];
        while (*inLeft > 0) {
            char *outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t result = iconv(m_cd, const_cast<char **>(in), inLeft, &outPtr, &outLeft);
            out.append(buffer, outPtr - buffer);
            if (result == static_cast<size_t>(-1) && errno != E2BIG)
                return false;
        }
        return true;
    }

private:
    iconv_t m_cd;
};

IconvHandle &encoder()
{
    thread_local IconvHandle handle("CP932", "UTF-8");
    return handle;
}

IconvHandle &decoder()
{
    thread_local IconvHandle handle("UTF-8", "CP932");
    return handle;
}

QByteArray utf8Of(char32_t codePoint)
{
    return QString::fromUcs4(&codePoint, 1).toUtf8();
}

// Characters whose code-page bytes every Shift_JIS reader takes as the full-width form
// (〜 as ～, − as －, ¢ as ￠...). Readers expect these bytes, so they are kept although
// the character reads back as its full-width twin.
bool isConventionalMapping(char32_t codePoint)
{
    switch (codePoint) {
    case 0x00A2: // ¢
    case 0x00A3: // £
    case 0x00AC: // ¬
    case 0x2014: // —
    case 0x2016: // ‖
    case 0x2212: // −
    case 0x301C: // 〜
        return true;
    default:
        return false;
    }
}

// The bytes of one character when the code page holds it faithfully. Some characters
// convert to bytes that read back as another one (¥ as '\\', ‾ as '~') or to nothing
// at all (tag characters): those count as not held.
std::optional<QByteArray> convertFaithfully(char32_t codePoint)
{
    const QByteArray utf8 = utf8Of(codePoint);
    const char *in = utf8.constData();
    size_t left = utf8.size();
    QByteArray bytes;
    if (!encoder().isValid() || !encoder().convert(&in, &left, bytes) || bytes.isEmpty())
        return std::nullopt;
    if (isConventionalMapping(codePoint))
        return bytes;
    const char *back = bytes.constData();
    size_t backLeft = bytes.size();
    QByteArray decoded;
    if (!decoder().convert(&back, &backLeft, decoded) || decoded != utf8)
        return std::nullopt;
    return bytes;
}

// Deciding takes two conversions, and a diary uses the same characters again and again.
std::optional<QByteArray> faithfulBytes(char32_t codePoint)
{
    thread_local QHash<char32_t, std::optional<QByteArray>> known;
    auto found = known.constFind(codePoint);
    if (found == known.constEnd())
        found = known.insert(codePoint, convertFaithfully(codePoint));
    return *found;
}

QByteArray characterReference(char32_t codePoint)
{
    return "&#" + QByteArray::number(quint32(codePoint)) + ';';
}

// The code point at pos and how many UTF-16 units it takes; a lone surrogate is U+FFFD.
char32_t codePointAt(QStringView text, qsizetype pos, qsizetype *length)
{
    const QChar c = text[pos];
    *length = 1;
    if (c.isHighSurrogate() && pos + 1 < text.size() && text[pos + 1].isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, text[pos + 1]);
    }
    return c.isSurrogate() ? 0xFFFD : c.unicode();
}

// An ampersand followed by '#' would read back as the start of a reference.
bool startsReference(QStringView text, qsizetype pos)
{
    return text[pos] == u'&' && pos + 1 < text.size() && text[pos + 1] == u'#';
}

constexpr char32_t Ampersand = '&';

// What toCp932() writes as a reference, and so what reading turns back.
bool isWrittenAsReference(char32_t codePoint)
{
    if (codePoint == Ampersand)
        return true;
    return codePoint >= 0x80 && codePoint <= 0x10FFFF && !QChar::isSurrogate(codePoint) &&
           !faithfulBytes(codePoint);
}

// Every character of the code page as iconv decodes it, so that text made of valid
// characters (all stored entries) decodes by lookup instead of a conversion call per line.
class DecodeTable
{
public:
    static constexpr char16_t NotACharacter = 0xFFFF; // never the result of a decoding

    DecodeTable() : m_pairs(0x10000, NotACharacter)
    {
        for (int first = 0; first < 0x100; ++first) {
            const char single[] = {char(first)};
            m_singles[first] = decodeOne(single, 1);
            if (m_singles[first] != NotACharacter)
                continue;
            for (int second = 0; second < 0x100; ++second) {
                const char pair[] = {char(first), char(second)};
                m_pairs[first << 8 | second] = decodeOne(pair, 2);
            }
        }
    }

    // False, leaving out unfinished, at the first byte sequence that is not a character.
    bool decode(QByteArrayView bytes, QString &out) const
    {
        out.resize(bytes.size());
        char16_t *to = reinterpret_cast<char16_t *>(out.data());
        const auto *from = reinterpret_cast<const unsigned char *>(bytes.data());
        const auto *end = from + bytes.size();
        while (from < end) {
            char16_t c = m_singles[*from];
            if (c != NotACharacter) {
                ++from;
            } else if (end - from >= 2 && (c = m_pairs[from[0] << 8 | from[1]]) != NotACharacter) {
                from += 2;
            } else {
                return false;
            }
            *to++ = c;
        }
        out.truncate(to - reinterpret_cast<char16_t *>(out.data()));
        return true;
    }

private:
    // The one BMP character that bytes decode to, or NotACharacter.
    static char16_t decodeOne(const char *bytes, size_t length)
    {
        IconvHandle &handle = decoder();
        QByteArray utf8;
        size_t left = length;
        if (!handle.isValid() || !handle.convert(&bytes, &left, utf8))
            return NotACharacter;
        const QString decoded = QString::fromUtf8(utf8);
        return decoded.size() == 1 ? decoded.at(0).unicode() : NotACharacter;
    }

    char16_t m_singles[0x100];
    std::vector<char16_t> m_pairs;
};

} // namespace

QByteArray toCp932(QStringView text)
{
    // Tags, digits and file names are mostly ASCII, which the code page holds unchanged.
    const bool plain = std::all_of(text.begin(), text.end(),
                                   [](QChar c) { return c.unicode() < 0x80 && c != u'&'; });
    if (plain)
        return text.toLatin1();
    QByteArray out;
    out.reserve(text.size() * 2);
    qsizetype length = 1;
    for (qsizetype pos = 0; pos < text.size(); pos += length) {
        const char32_t codePoint = codePointAt(text, pos, &length);
        if (startsReference(text, pos))
            out.append(characterReference(Ampersand));
        else if (codePoint < 0x80)
            out.append(char(codePoint));
        else if (const auto bytes = faithfulBytes(codePoint))
            out.append(*bytes);
        else
            out.append(characterReference(codePoint));
    }
    return out;
}

QString fromCp932(QByteArrayView bytes)
{
    static const DecodeTable table;
    QString decoded;
    if (table.decode(bytes, decoded))
        return decoded;
    // Invalid bytes: iconv says where each one ends.
    const char *in = bytes.constData();
    size_t left = bytes.size();
    QByteArray utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    while (!decoder().convert(&in, &left, utf8)) {
        utf8.append("\xEF\xBF\xBD"); // U+FFFD for a byte that starts no valid character
        ++in;
        --left;
    }
    return QString::fromUtf8(utf8);
}

QString restoreCharacterReferences(QStringView text)
{
    QString result;
    result.reserve(text.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype start = text.indexOf(u"&#", pos);
        if (start < 0)
            break;
        qsizetype end = start + 2;
        while (end < text.size() && end - start < 10 && text[end].isDigit() &&
               text[end].unicode() < 128)
            ++end;
        bool ok = false;
        const uint codePoint = end < text.size() && text[end] == u';' && end > start + 2
                                   ? text.sliced(start + 2, end - start - 2).toUInt(&ok)
                                   : 0;
        const bool restore = ok && isWrittenAsReference(codePoint);
        result.append(text.sliced(pos, start - pos));
        if (restore) {
            const char32_t character = codePoint;
            result.append(QString::fromUcs4(&character, 1));
            pos = end + 1;
        } else {
            result.append(text.sliced(start, 2));
            pos = start + 2;
        }
    }
    result.append(text.sliced(pos));
    return result;
}

} // namespace Kakiva

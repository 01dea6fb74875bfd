#include "platform/Cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
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

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte).
int utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

QByteArray characterReference(const char *utf8, int length)
{
    const QString character = QString::fromUtf8(utf8, length);
    char32_t codePoint = character.isEmpty() ? 0xFFFD : character.at(0).unicode();
    if (character.size() == 2 && character.at(0).isHighSurrogate())
        codePoint = QChar::surrogateToUcs4(character.at(0), character.at(1));
    return "&#" + QByteArray::number(quint32(codePoint)) + ';';
}

bool isRepresentable(char32_t codePoint)
{
    const QByteArray utf8 = QString::fromUcs4(&codePoint, 1).toUtf8();
    const char *in = utf8.constData();
    size_t left = utf8.size();
    QByteArray out;
    return encoder().isValid() && encoder().convert(&in, &left, out);
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
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toLatin1();
    const QByteArray utf8 = text.toUtf8();
    const char *in = utf8.constData();
    size_t left = utf8.size();
    QByteArray out;
    out.reserve(utf8.size());
    while (!encoder().convert(&in, &left, out)) {
        const int length = qMin<int>(utf8SequenceLength(static_cast<unsigned char>(*in)), left);
        out.append(characterReference(in, length));
        in += length;
        left -= length;
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
        const bool restore = ok && codePoint <= 0x10FFFF && !QChar::isSurrogate(codePoint) &&
                             !isRepresentable(codePoint);
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

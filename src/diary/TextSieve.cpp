#include "diary/TextSieve.h"

#include <bit>

namespace Kakiva {

namespace {

constexpr quint32 BitCount = TextSieve::Words * 64;

// One multiplication spreads the character codes over the bits; a character alone and
// the same character as the first of a pair take different bits.
quint32 bitOf(quint32 key)
{
    return quint32((quint64(key) * 0x9E3779B97F4A7C15ULL) >> 40) % BitCount;
}

quint32 characterBit(char16_t c)
{
    return bitOf(0x10000u | c);
}

quint32 pairBit(char16_t first, char16_t second)
{
    return bitOf((quint32(first) << 16) ^ quint32(second) ^ 0x5bd1e995u);
}

void set(TextSieve &sieve, quint32 bit)
{
    sieve.bits[bit / 64] |= quint64(1) << (bit % 64);
}

void addWord(TextSieve &sieve, QStringView word)
{
    if (word.size() == 1)
        set(sieve, characterBit(word.front().unicode()));
    for (qsizetype at = 1; at < word.size(); ++at)
        set(sieve, pairBit(word[at - 1].unicode(), word[at].unicode()));
}

} // namespace

bool TextSieve::covers(const TextSieve &part) const
{
    for (int i = 0; i < Words; ++i) {
        if ((bits[i] & part.bits[i]) != part.bits[i])
            return false;
    }
    return true;
}

int TextSieve::bitCount() const
{
    int count = 0;
    for (const quint64 word : bits)
        count += std::popcount(word);
    return count;
}

TextSieve sieveOfText(QStringView folded)
{
    TextSieve sieve;
    const char16_t *text = folded.utf16();
    for (qsizetype at = 0; at < folded.size(); ++at) {
        set(sieve, characterBit(text[at]));
        if (at > 0)
            set(sieve, pairBit(text[at - 1], text[at]));
    }
    return sieve;
}

TextSieve sieveOfWords(const QStringList &words)
{
    TextSieve sieve;
    for (const QString &word : words)
        addWord(sieve, word);
    return sieve;
}

} // namespace Kakiva

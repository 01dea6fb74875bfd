#pragma once

#include <QStringList>
#include <QStringView>

#include <array>

namespace Kakiva {

// The characters of a folded text and the pairs of characters that stand side by side in
// it, each hashed to one of a fixed number of bits. A text that holds a word has every bit
// the word's sieve has, so a kept row whose sieve lacks one of them is passed over without
// reading its text; a row that has them all may still not hold the word and is read.
struct TextSieve
{
    static constexpr int Words = 32; // 2,048 bits: a few hundred characters leave most clear
    std::array<quint64, Words> bits{};

    // Whether every bit of part is set here.
    bool covers(const TextSieve &part) const;
    int bitCount() const;
    friend bool operator==(const TextSieve &, const TextSieve &) = default;
};

// The sieve of a folded text: its single characters and its neighbouring pairs.
TextSieve sieveOfText(QStringView folded);

// What a text must have to hold every word (folded): each word's pairs, or its one
// character for a word of one.
TextSieve sieveOfWords(const QStringList &words);

} // namespace Kakiva

#include "diary/EntryExcerpt.h"
#include "diary/EntryMatch.h"

#include <QTest>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

// Lines long enough to be cut on both sides, in characters of one and of two halves,
// between other lines with either kind of line end.
QString lineOf(const QString &unit, int count)
{
    return u"前の行\r\n"_s + unit.repeated(count) + u"\n次の行"_s;
}

const QList<std::pair<const char *, QString>> Texts{
    {"kana", lineOf(u"あ"_s, 100)},
    {"pairs", lineOf(u"🐈"_s, 50)},
    {"mixed", lineOf(u"あ🐈"_s, 34)},
    {"pairs after one", u"前の行\r\nあ"_s + u"🐈"_s.repeated(50) + u"\n次の行"_s},
    {"short", u"白い猫\r次の行"_s},
};

// Every place a hit of one or two characters can start near the ends of the excerpt: the
// start of the line, a dozen characters on, a row's worth before the line's end.
QList<qsizetype> hitStarts(const QString &text)
{
    QList<qsizetype> starts;
    for (qsizetype at = 0; at < text.size() - 2; ++at) {
        const qsizetype fromEnd = text.size() - at;
        if (at < 24 || fromEnd < 60 || at % 17 == 0)
            starts.append(at);
    }
    return starts;
}

bool sameExcerpt(const Excerpt &a, const Excerpt &b)
{
    return a.text == b.text && a.markStart == b.markStart && a.markLength == b.markLength;
}

} // namespace

// An excerpt cut from only the characters around a hit is the one the whole text gives: the
// search turns back only those characters of a folded entry.
class TestEntryExcerpt : public QObject
{
    Q_OBJECT

private slots:
    void windowCutsAsTheWholeText_data();
    void windowCutsAsTheWholeText();
    void shiftedEntryGivesTheOriginalsExcerpt_data();
    void shiftedEntryGivesTheOriginalsExcerpt();
};

void TestEntryExcerpt::windowCutsAsTheWholeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("hitStart");
    QTest::addColumn<qsizetype>("hitEnd");
    for (const auto &[name, text] : Texts) {
        for (const qsizetype at : hitStarts(text)) {
            for (const qsizetype length : {1, 2}) {
                QTest::addRow("%s, %lld characters at %lld", name, qlonglong(length), qlonglong(at))
                    << text << at << at + length;
            }
        }
    }
}

void TestEntryExcerpt::windowCutsAsTheWholeText()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, hitStart);
    QFETCH(qsizetype, hitEnd);

    const Excerpt whole = excerptAround(text, hitStart, hitEnd);
    const auto [from, to] = excerptWindow(text, hitStart, hitEnd);
    QVERIFY(from <= hitStart && hitEnd <= to);
    const Excerpt cut = excerptAround(text.sliced(from, to - from), hitStart - from, hitEnd - from);
    QVERIFY2(sameExcerpt(whole, cut), qPrintable(whole.text + u" / "_s + cut.text));
}

void TestEntryExcerpt::shiftedEntryGivesTheOriginalsExcerpt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");
    // Katakana, full-width Latin and capitals fold one for one: runs of shifts that begin
    // before the excerpt, end inside it, or lie beyond it.
    const QString katakana = u"カタカナ"_s.repeated(20);
    const QString wide = u"ＡＢＣ"_s.repeated(10);
    QTest::newRow("hit at the start of a katakana line") << lineOf(u"カ"_s, 80) << u"か"_s;
    QTest::newRow("hit deep in a katakana line") << katakana + u"猫"_s + katakana << u"猫"_s;
    QTest::newRow("katakana hit in plain text")
        << QString(40, u'あ') + u"ネコ"_s + QString(60, u'い') << u"ねこ"_s;
    QTest::newRow("shift run ending inside the excerpt")
        << katakana + QString(5, u'あ') + u"猫"_s + QString(60, u'い') << u"猫"_s;
    QTest::newRow("shift run beginning inside the excerpt")
        << QString(30, u'あ') + u"猫"_s + QString(20, u'い') + katakana << u"猫"_s;
    QTest::newRow("full-width Latin") << wide + u"犬"_s + wide + u"\r\n"_s + wide << u"犬"_s;
    QTest::newRow("capitals on a second line") << u"一行目\nHELLO World"_s << u"world"_s;
}

void TestEntryExcerpt::shiftedEntryGivesTheOriginalsExcerpt()
{
    QFETCH(QString, text);
    QFETCH(QString, word);

    const IndexedEntry entry = indexedEntry(QDate(2026, 12, 8), text);
    // The rows are only worth their names when folding kept every character in its place.
    QVERIFY(entry.text.isNull() && entry.folded.anchors.isEmpty());
    QVERIFY(!entry.shifts.isEmpty());
    const QStringList words = searchWords(word);
    const qsizetype at = entry.folded.text.indexOf(words.first());
    QVERIFY(at >= 0);
    const std::optional<SearchHit> hit = matchEntry(entry, words);
    QVERIFY(hit);
    const Excerpt expected = excerptAround(text, at, at + words.first().size());
    QVERIFY2(sameExcerpt(hit->excerpt, expected),
             qPrintable(hit->excerpt.text + u" / "_s + expected.text));
}

QTEST_GUILESS_MAIN(TestEntryExcerpt)
#include "TestEntryExcerpt.moc"

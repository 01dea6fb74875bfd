#include "diary/DiaryIndex.h"
#include "diary/EntryDrafts.h"
#include "diary/EntrySaveNotice.h"

#include "EntryText.h"
#include "TestAppDir.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestDiarySearch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void matching_data();
    void matching();
    void newestFirst();
    void unreadableEntryIsSkippedAndCounted();
    void savedEntryIsReadAgain();

private:
    void readIndex();
    // "date excerpt" per hit, the hit within the excerpt in [brackets].
    QStringList found(const QString &query) const;

    std::unique_ptr<TestAppDir> m_appDir;
    std::unique_ptr<DiaryIndex> m_index;
};

void TestDiarySearch::init()
{
    m_appDir = std::make_unique<TestAppDir>();
    m_index = std::make_unique<DiaryIndex>();
}

void TestDiarySearch::cleanup()
{
    m_index.reset();
    m_appDir.reset();
}

void TestDiarySearch::readIndex()
{
    QSignalSpy ready(m_index.get(), &DiaryIndex::ready);
    m_index->prepare();
    QVERIFY(ready.wait());
    QVERIFY(m_index->isReady());
}

QStringList TestDiarySearch::found(const QString &query) const
{
    QStringList rows;
    for (const SearchHit &hit : m_index->search(query)) {
        QString excerpt = hit.excerpt.text;
        excerpt.insert(hit.excerpt.markStart + hit.excerpt.markLength, u']');
        excerpt.insert(hit.excerpt.markStart, u'[');
        rows << hit.date.toString(u"yyyy-MM-dd"_s) + u' ' + excerpt;
    }
    return rows;
}

void TestDiarySearch::matching_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("query");
    // The excerpt with the hit in brackets, or empty when the entry is no hit.
    QTest::addColumn<QString>("excerpt");

    const auto entry = [](const QString &text) { return entryFileBytes(text); };
    QTest::newRow("letter case") << entry(u"Went to Kyoto"_s) << u"KYOTO"_s << u"Went to [Kyoto]"_s;
    QTest::newRow("full-width query, half-width text")
        << entry(u"ABC社の会議"_s) << u"ＡＢＣ"_s << u"[ABC]社の会議"_s;
    QTest::newRow("half-width katakana in the entry")
        << entry(u"ｶﾀｶﾅで書いた"_s) << u"カタカナ"_s << u"[ｶﾀｶﾅ]で書いた"_s;
    QTest::newRow("half-width voiced katakana")
        << entry(u"ｶﾞｲﾄﾞﾌﾞｯｸ"_s) << u"ガイド"_s << u"[ｶﾞｲﾄﾞ]ﾌﾞｯｸ"_s;
    QTest::newRow("hiragana query, katakana text")
        << entry(u"コーヒーを飲んだ"_s) << u"こーひー"_s << u"[コーヒー]を飲んだ"_s;
    QTest::newRow("katakana query, hiragana text")
        << entry(u"さくらが咲いた"_s) << u"サクラ"_s << u"[さくら]が咲いた"_s;
    QTest::newRow("voiced kana is not its plain kana")
        << entry(u"ガイド"_s) << u"カイ"_s << QString();
    QTest::newRow("compatibility character") << entry(u"㍻元年"_s) << u"平成"_s << u"[㍻]元年"_s;
    QTest::newRow("several words in any order, first hit marked")
        << entry(u"朝は雨\n夜は晴れ"_s) << u"晴れ 雨"_s << u"朝は[雨]"_s;
    QTest::newRow("full-width blank between words")
        << entry(u"朝は雨\n夜は晴れ"_s) << u"晴れ　雨"_s << u"朝は[雨]"_s;
    QTest::newRow("one word missing") << entry(u"朝は雨\n夜は晴れ"_s) << u"雨 雪"_s << QString();
    QTest::newRow("word across a line break")
        << entry(u"川沿いを散\n歩した"_s) << u"散歩"_s << QString();
    QTest::newRow("character reference of a character outside the code page")
        << QByteArray("\x8A\x47\x95\xB6\x8E\x9A&#128512;\r\n") << u"😀"_s << u"絵文字[😀]"_s;
    QTest::newRow("reference typed by the user stays as typed")
        << QByteArray("&#65;\r\n") << u"A"_s << QString();
    // A dozen characters before the hit and a row's worth in all, "…" where it was cut.
    QTest::newRow("long line cut around the hit")
        << entry(u"前の行\n"_s + QString(40, u'あ') + u'猫' + QString(60, u'い') + u"\n次の行"_s)
        << u"猫"_s << u'…' + QString(12, u'あ') + u"[猫]"_s + QString(35, u'い') + u'…';
    QTest::newRow("short line kept whole")
        << entry(u"前の行\n白い猫\n次の行"_s) << u"猫"_s << u"白い[猫]"_s;
}

void TestDiarySearch::matching()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, query);
    QFETCH(QString, excerpt);

    m_appDir->write(u"Diary/2004/03/05.dia"_s, stored);
    readIndex();
    const QStringList expected =
        excerpt.isEmpty() ? QStringList() : QStringList{u"2004-03-05 "_s + excerpt};
    QCOMPARE(found(query), expected);
}

void TestDiarySearch::newestFirst()
{
    m_appDir->write(u"Diary/2003/12/31.dia"_s, entryFileBytes(u"大晦日に雪"_s));
    m_appDir->write(u"Diary/2004/01/02.dia"_s, entryFileBytes(u"初雪"_s));
    m_appDir->write(u"Diary/2004/01/10.dia"_s, entryFileBytes(u"晴れ"_s));
    m_appDir->write(u"Diary/2004/11/01.dia"_s, entryFileBytes(u"雪が降った"_s));
    // Not entries the calendar can open: their names are not padded as the dialog pads, or
    // a draft.
    m_appDir->write(u"Diary/2004/1/03.dia"_s, entryFileBytes(u"雪"_s));
    m_appDir->write(u"Diary/02004/01/03.dia"_s, entryFileBytes(u"雪"_s));
    QVERIFY(writeDraft({u"2004"_s, u"01"_s, u"04"_s}, u"雪"_s));
    readIndex();
    QCOMPARE(found(u"雪"_s), (QStringList{u"2004-11-01 [雪]が降った"_s, u"2004-01-02 初[雪]"_s,
                                          u"2003-12-31 大晦日に[雪]"_s}));
    QCOMPARE(m_index->entryCount(), 4);
    QCOMPARE(m_index->unreadableCount(), 0);
    QVERIFY(found(u"  "_s).isEmpty());
}

void TestDiarySearch::unreadableEntryIsSkippedAndCounted()
{
    m_appDir->write(u"Diary/2004/03/05.dia"_s, entryFileBytes(u"海へ行った"_s));
    // A file that opens but fails on reading, even for the superuser.
    QVERIFY(QFile::link(u"/proc/self/mem"_s, m_appDir->filePath(u"Diary/2004/03/06.dia"_s)));
    readIndex();
    QCOMPARE(found(u"海"_s), QStringList{u"2004-03-05 [海]へ行った"_s});
    QCOMPARE(m_index->unreadableCount(), 1);
    QCOMPARE(m_index->entryCount(), 1);
}

void TestDiarySearch::savedEntryIsReadAgain()
{
    m_appDir->write(u"Diary/2004/03/05.dia"_s, entryFileBytes(u"海へ行った"_s));
    // Saved before the first search: the first reading finds it anyway.
    m_appDir->write(u"Diary/2004/03/07.dia"_s, entryFileBytes(u"山へ行った"_s));
    noteEntrySaved(u"2004"_s, u"03"_s, u"07"_s);
    readIndex();
    QCOMPARE(found(u"行った"_s).size(), 2);

    QSignalSpy changed(m_index.get(), &DiaryIndex::changed);
    m_appDir->write(u"Diary/2004/03/05.dia"_s, entryFileBytes(u"山も海も"_s));
    m_appDir->write(u"Diary/2004/03/06.dia"_s, entryFileBytes(u"また海"_s));
    noteEntrySaved(u"2004"_s, u"03"_s, u"05"_s);
    noteEntrySaved(u"2004"_s, u"03"_s, u"06"_s);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(found(u"海"_s), (QStringList{u"2004-03-06 また[海]"_s, u"2004-03-05 山も[海]も"_s}));
    QCOMPARE(found(u"行った"_s), QStringList{u"2004-03-07 山へ[行った]"_s});
    QCOMPARE(m_index->entryCount(), 3);
}

QTEST_GUILESS_MAIN(TestDiarySearch)
#include "TestDiarySearch.moc"

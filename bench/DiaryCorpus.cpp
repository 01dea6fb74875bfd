#include "DiaryCorpus.h"

#include "platform/Cp932.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <random>

namespace {

void writePlain(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}


const QStringList Sentences{
    QStringLiteral("今日は朝から晴れて気持ちがよかった。"),
    QStringLiteral("夕方に川沿いを散歩した。"),
    QStringLiteral("駅前の本屋で新しい小説を買った。"),
    QStringLiteral("昼ごはんは近所の食堂で焼き魚定食。"),
    QStringLiteral("仕事が長引いて、帰りが遅くなった。"),
    QStringLiteral("雨が降り出したので傘を借りて帰った。"),
    QStringLiteral("母から電話があり、夏休みの予定を話した。"),
    QStringLiteral("図書館で調べものをしてから公園を歩いた。"),
    QStringLiteral("夜は鍋にした。白菜がとても甘い。"),
    QStringLiteral("ベランダのトマトがようやく赤くなった。"),
    QStringLiteral("友だちと久しぶりに会って、遅くまで話しこんだ。"),
    QStringLiteral("ＰＣの調子が悪く、午後はずっと設定をやり直していた。"),
    QStringLiteral("電車が遅れて会議に十分ほど遅刻した。"),
    QStringLiteral("猫が窓辺で昼寝をしていた。"),
    QStringLiteral("明日は早起きして山へ行くつもり。"),
    QStringLiteral("ジョギングを三キロ。少し膝が痛む。"),
    QStringLiteral("風が冷たくなってきた。そろそろ冬支度を。"),
    QStringLiteral("映画館で古い白黒映画を観た。"),
    QStringLiteral("スーパーで特売の卵とパンを買った。"),
    QStringLiteral("メールの返事を三通書いて、今日は終わり。"),
    QStringLiteral("部屋の片づけをしたら古い写真が出てきた。"),
    QStringLiteral("桜が咲き始めた。週末は花見になりそう。"),
    QStringLiteral("コーヒーを淹れながらラジオを聴いた。"),
    QStringLiteral("自転車のタイヤに空気を入れた。"),
    QStringLiteral("隣の家から子どもの笑い声が聞こえる。"),
    QStringLiteral("英語の勉強を三十分。単語がなかなか覚えられない。"),
    QStringLiteral("カレーを作りすぎたので、明日もカレー。"),
    QStringLiteral("洗濯物がよく乾いた。"),
    QStringLiteral("打ち合わせで新しい企画の話が出た。"),
    QStringLiteral("寝る前に少しだけ本を読んだ。"),
    QStringLiteral("海まで車を走らせ、夕日を眺めた。"),
    QStringLiteral("祖父の家の庭で柿をもいだ。"),
    QStringLiteral("歯医者の予約を忘れていて慌てた。"),
    QStringLiteral("新しいノートを下ろした。字をきれいに書こう。"),
    QStringLiteral("台風が近づいていて、夜の風が強い。"),
    QStringLiteral("駅の階段で転びそうになった。"),
    QStringLiteral("パン屋のおばさんにおまけをもらった。"),
    QStringLiteral("ニュースで地元の祭りのことをやっていた。"),
    QStringLiteral("夏祭りの太鼓の音が遠くから聞こえる。"),
    QStringLiteral("久しぶりに実家の味噌汁を飲んだ。"),
};

void writeEntry(const QString &path, const QString &text, DiaryCorpus &corpus)
{
    QString stored = text;
    stored.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    const QByteArray bytes = Kakiva::toCp932(stored + QLatin1String("\r\n"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    ++corpus.entries;
    corpus.bytes += bytes.size();
}

QString entryText(std::mt19937 &random, int characters)
{
    std::uniform_int_distribution<qsizetype> pick(0, Sentences.size() - 1);
    QString text;
    int sentencesInLine = 0;
    while (text.size() < characters) {
        text += Sentences[pick(random)];
        if (++sentencesInLine == 4) {
            text += QLatin1Char('\n');
            sentencesInLine = 0;
        }
    }
    return text;
}

} // namespace

DiaryCorpus writeDiaryCorpus(const QString &root, int firstYear, int lastYear,
                             int charactersPerEntry)
{
    std::mt19937 random(20240101);
    DiaryCorpus corpus;
    const auto twoDigits = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    for (QDate date(firstYear, 1, 1); date.year() <= lastYear; date = date.addDays(1)) {
        const QString folder = root + QStringLiteral("/Diary/") + QString::number(date.year()) +
                               QLatin1Char('/') + twoDigits(date.month());
        if (date.day() == 1)
            QDir().mkpath(folder);
        QString text = entryText(random, charactersPerEntry);
        if (date == RareDay)
            text += QStringLiteral("\n動物園でウォンバットを見た。");
        writeEntry(folder + QLatin1Char('/') + twoDigits(date.day()) + QStringLiteral(".dia"), text,
                   corpus);
    }
    return corpus;
}

// A day page holds its entry inside about 400 bytes of markup; the lists are a few KB.
qsizetype writeCorpusSite(const QString &root, int firstYear, int lastYear)
{
    qsizetype pages = 0;
    const QByteArray markup(400, 'p');
    for (QDate day(firstYear, 1, 1); day.year() <= lastYear; day = day.addDays(1)) {
        const QString relative = day.toString(QStringLiteral("yyyy/MM/dd"));
        QFile entry(root + QStringLiteral("/Diary/") + relative + QStringLiteral(".dia"));
        if (!entry.open(QIODevice::ReadOnly))
            qFatal("no entry for %s", qPrintable(relative));
        writePlain(root + QStringLiteral("/HTML/") + relative + QStringLiteral(".html"),
                   markup + entry.readAll());
        ++pages;
        if (day.day() == day.daysInMonth()) {
            writePlain(root + QStringLiteral("/HTML/") + day.toString(QStringLiteral("yyyy/MM")) +
                           QStringLiteral("/index.html"),
                       QByteArray(3000, 'l'));
            ++pages;
        }
    }
    writePlain(root + QStringLiteral("/HTML/year.html"), QByteArray(2000, 'y'));
    writePlain(root + QStringLiteral("/sent.json"), QByteArray(800000, 's'));
    writePlain(root + QStringLiteral("/known_hosts"), "host ssh-ed25519 AAAA\n");
    writePlain(root + QStringLiteral("/Kakiva.ini"), "[FTP]\r\nServer=ftp.example.jp\r\n");
    return pages;
}


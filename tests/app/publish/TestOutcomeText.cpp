// The words the publishing windows show, in one table: the upload window's status texts as
// the design names them, byte for byte, and the lines of a failed publish of many files.

#include "app/publish/OutcomeText.h"

#include <QTest>

using namespace Kakiva;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Kakiva::PublishFailure)

class TestOutcomeText : public QObject
{
    Q_OBJECT

private slots:
    void statusLine_data();
    void statusLine();
    void everyKindButNoneIsWorded();
    void failureLine_data();
    void failureLine();
};

void TestOutcomeText::statusLine_data()
{
    QTest::addColumn<OutcomeKind>("kind");
    QTest::addColumn<QString>("text");

    const auto row = [](const char *name, OutcomeKind kind, const QString &text) {
        QTest::newRow(name) << kind << text;
    };
    // The upload window's own texts.
    row("uploading", OutcomeKind::Uploading, u"アップロード中"_s);
    row("connected", OutcomeKind::Connected, u"接続成功"_s);
    row("Connect 1 to 5", OutcomeKind::ConnectFailed, u"接続エラー"_s);
    row("Connect -1", OutcomeKind::SocketNotOpened, u"ソケットオープンエラー"_s);
    row("Connect -2", OutcomeKind::TimedOut, u"タイムアウト"_s);
    row("Connect 10000 and more", OutcomeKind::NetworkError, QStringLiteral("Winsock Error"));
    row("directory changed", OutcomeKind::DirectoryChanged, u"ディレクトリ移動"_s);
    row("sent", OutcomeKind::Sent, u"アップ成功"_s);
    row("PutFile 0", OutcomeKind::LocalFileMissing, u"該当ファイルなし"_s);
    row("PutFile negative", OutcomeKind::Failed, u"エラー"_s);
    // The program's own, beside them.
    row("certificate", OutcomeKind::CertificateNotAccepted, u"証明書エラー"_s);
    row("host key", OutcomeKind::HostKeyNotTrusted, u"ホスト鍵エラー"_s);
    row("no common algorithm", OutcomeKind::NoCommonAlgorithm, u"暗号方式エラー"_s);
    row("no usable login", OutcomeKind::NoUsableLogin, u"認証方式エラー"_s);
    row("second factor", OutcomeKind::SecondFactorAsked, u"二段階認証エラー"_s);
    row("TLS handshake", OutcomeKind::TlsHandshakeFailed, u"TLS接続エラー"_s);
    row("TLS too old", OutcomeKind::TlsTooOld, u"サーバーのTLSが古い"_s);
    row("no password", OutcomeKind::NoPassword, u"パスワード未登録"_s);
    row("keyring unavailable", OutcomeKind::KeyringUnavailable, u"キーリングエラー"_s);
    row("keyring silent", OutcomeKind::KeyringTimedOut, u"キーリング応答なし"_s);
    row("nothing to tell", OutcomeKind::None, QString());
}

void TestOutcomeText::statusLine()
{
    QFETCH(OutcomeKind, kind);
    QFETCH(QString, text);
    QCOMPARE(OutcomeText::of(kind), text);
}

// A kind added without its words would leave the status line blank.
void TestOutcomeText::everyKindButNoneIsWorded()
{
    for (int kind = int(OutcomeKind::None) + 1; kind <= int(OutcomeKind::Failed); ++kind)
        QVERIFY2(!OutcomeText::of(OutcomeKind(kind)).isEmpty(), qPrintable(QString::number(kind)));
}

void TestOutcomeText::failureLine_data()
{
    QTest::addColumn<PublishFailure>("failure");
    QTest::addColumn<QString>("text");

    QTest::newRow("refused file") << PublishFailure(OutcomeKind::ServerRefused, u"kakiva.css"_s,
                                                    553)
                                  << u"kakiva.css: サーバーが拒否しました (553)"_s;
    // No code beside it: the server answered every command, and held less.
    QTest::newRow("file held short")
        << PublishFailure(OutcomeKind::StoredIncomplete, u"2024/05/07.html"_s)
        << u"2024/05/07.html: サーバーに保存されたファイルが不完全です"_s;
    QTest::newRow("file missing") << PublishFailure(OutcomeKind::LocalFileMissing,
                                                    u"2024/05/07.html"_s)
                                  << u"2024/05/07.html: 該当ファイルなし"_s;
    // The remote directory itself is the path "".
    QTest::newRow("time-out in the remote directory")
        << PublishFailure(OutcomeKind::TimedOut, QString()) << u": タイムアウト"_s;
    QTest::newRow("directory") << PublishFailure::ofDirectory(u"www/2024"_s)
                               << u"ディレクトリに移動できません: www/2024"_s;
    QTest::newRow("login") << PublishFailure(OutcomeKind::HostKeyNotTrusted) << u"ホスト鍵エラー"_s;
}

void TestOutcomeText::failureLine()
{
    QFETCH(PublishFailure, failure);
    QFETCH(QString, text);
    QCOMPARE(OutcomeText::of(failure), text);
}

QTEST_MAIN(TestOutcomeText)
#include "TestOutcomeText.moc"

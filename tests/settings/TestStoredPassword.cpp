#include "TestAppDir.h"
#include "TestKeyring.h"

#include "settings/SecretStore.h"
#include "settings/SettingsFile.h"
#include "settings/StoredPassword.h"

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(Kakiva::ResolvedPassword::Status)

namespace {

// Ample for a keyring on this machine; a test that hits it fails on its status.
constexpr auto Wait = 20s;

const QString Server = u"ftp.example.jp"_s;
const QString User = u"taro"_s;

} // namespace

// Runs twice: beside a keyring of its own, and with no session bus at all.
class TestStoredPassword : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_app.emplace(); }
    void cleanup() { m_app.reset(); }

    void secretReadsBackAsStored();
    void resolvesFromFileOrKeyring_data();
    void resolvesFromFileOrKeyring();

private:
    std::optional<TestAppDir> m_app;
};

void TestStoredPassword::secretReadsBackAsStored()
{
    if (!TestKeyring::running())
        QSKIP("needs the keyring");
    const QString key = secretKey(Server, User);
    const QString secret = u"pa ss 日記 \"'"_s;
    QCOMPARE(SecretStore::writeNow(key, secret, Wait).status, SecretStatus::Done);
    // In the Secret Service itself, under the service name and key.
    QCOMPARE(TestKeyring::lookup(key), secret);

    const SecretAnswer now = SecretStore::readNow(key, Wait);
    QCOMPARE(now.status, SecretStatus::Done);
    QCOMPARE(now.secret, secret);

    // Without waiting: answered in the context's thread, once.
    QObject context;
    QList<SecretAnswer> answers;
    SecretStore::read(key, Wait, &context, [&](const SecretAnswer &answer) { answers << answer; });
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 20000);
    QCOMPARE(answers.first().status, SecretStatus::Done);
    QCOMPARE(answers.first().secret, secret);
}

void TestStoredPassword::resolvesFromFileOrKeyring_data()
{
    QTest::addColumn<QString>("filePassword");
    QTest::addColumn<QString>("store");
    QTest::addColumn<bool>("inKeyring"); // an entry "from keyring" is written first
    QTest::addColumn<ResolvedPassword::Status>("status");
    QTest::addColumn<QString>("password");
    using S = ResolvedPassword::Status;
    const bool keyring = TestKeyring::running();
    QTest::newRow("file as before") << u"secret"_s << QString() << false << S::Ready << u"secret"_s;
    QTest::newRow("empty file password, no keyring meant")
        << QString() << QString() << false << S::Ready << QString();
    // An older version wrote its password again and left the pointer: the file's counts.
    QTest::newRow("file password beside the pointer")
        << u"typed-again"_s << u"keyring"_s << keyring << S::Ready << u"typed-again"_s;
    if (keyring) {
        QTest::newRow("in the keyring")
            << QString() << u"keyring"_s << true << S::Ready << u"from keyring"_s;
        QTest::newRow("gone from the keyring")
            << QString() << u"keyring"_s << false << S::NotInKeyring << QString();
    } else {
        QTest::newRow("no keyring to ask")
            << QString() << u"keyring"_s << false << S::KeyringUnavailable << QString();
    }
}

void TestStoredPassword::resolvesFromFileOrKeyring()
{
    QFETCH(QString, filePassword);
    QFETCH(QString, store);
    QFETCH(bool, inKeyring);
    QFETCH(ResolvedPassword::Status, status);
    QFETCH(QString, password);
    const QString key = secretKey(Server, User);
    if (inKeyring)
        QCOMPARE(SecretStore::writeNow(key, u"from keyring"_s, Wait).status, SecretStatus::Done);
    else if (TestKeyring::running())
        TestKeyring::clear(key);
    writeFtpSettings(Server, User, filePassword, u"/d"_s);
    QVERIFY(IniWrite(FtpSection, PasswordStoreKey, store));

    const ResolvedPassword resolved = resolvePassword(readSettings());
    QCOMPARE(resolved.status, status);
    QCOMPARE(resolved.password, password);
}

QTEST_GUILESS_MAIN(TestStoredPassword)
#include "TestStoredPassword.moc"

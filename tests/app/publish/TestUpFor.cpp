// The upload window driven for real: shown, left to run its attempts against a scripted
// FTP server that fails on demand (and a real one for the settings read afresh), retrying
// after a failure, and closed by the user at each moment it can be.

#include "DayPages.h"
#include "PyFtpServer.h"
#include "ScriptedFault.h"
#include "TemporaryShown.h"
#include "TestAppDir.h"

#include "app/kit/FittedText.h"
#include "app/publish/OutcomeText.h"
#include "app/publish/UpFor.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = PublishResult;
using Files = QMap<QString, QByteArray>;

namespace {

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");

// Short pauses keep a retry quick; the time-out only matters where a server goes quiet.
constexpr auto FirstRetry = 50ms;
constexpr auto LastRetry = 200ms;
constexpr auto ShortNetworkTimeout = 1s;
// Long enough that only cancelling can end a call to a silent server within the test.
constexpr auto LongNetworkTimeout = 60s;
constexpr int WindowTimeoutMs = 15000;

void addDirectories(ScriptedFtpServer &server, const QStringList &paths)
{
    for (const QString &path : paths)
        server.script().addDirectory(path);
}

QString stateText(const QString &status, bool closeEnabled)
{
    return status +
           (closeEnabled ? QStringLiteral(" [閉じる on]") : QStringLiteral(" [閉じる off]"));
}

// The states a window goes through when attempt one ends on failureStatuses (the texts
// it shows after it starts) and the retry shows retryStatuses.
QStringList failThenSucceed(const QStringList &failureStatuses, const QStringList &retryStatuses)
{
    // 閉じる stays enabled throughout: during an attempt it cancels.
    QStringList states{stateText(OutcomeText::of(OutcomeKind::Uploading), true)};
    for (const QString &status : failureStatuses + retryStatuses) {
        if (states.last() != stateText(status, true))
            states.append(stateText(status, true));
    }
    return states;
}

// A sequence of texts on one line, so a mismatch shows both whole.
QString sequence(const QStringList &texts)
{
    return texts.join(QStringLiteral(" > "));
}

// Readable on failure, where QCOMPARE would escape every Japanese character.
#define COMPARE_SEQUENCE(actual, expected)                                                         \
    do {                                                                                           \
        const QString seen_ = sequence(actual);                                                    \
        const QString wanted_ = sequence(expected);                                                \
        QVERIFY2(seen_ == wanted_, qPrintable(QStringLiteral("\n   seen:     ") + seen_ +          \
                                              QStringLiteral("\n   expected: ") + wanted_));       \
    } while (false)

// A key pressed as the user would: on the focused control of the active window, which is 閉じる.
void pressOnFocus(UpFor *window, int key)
{
    window->activateWindow();
    QTRY_VERIFY(window->isActiveWindow());
    QCOMPARE(window->focusWidget(), window->CloseCom);
    QVERIFY(window->CloseCom->isEnabled());
    QTest::keyClick(window->focusWidget(), Qt::Key(key));
}

bool fitsLabel(const QLabel *label, const QString &text)
{
    return QFontMetrics(label->font()).horizontalAdvance(text) <= label->contentsRect().width();
}

// Watches an upload window as its user does: every state of UpLab's text and of the
// 閉じる button, in order, and how each attempt ended. The window changes them while it
// handles one event at a time, so looking before every event the application delivers
// sees each state that lasted until the next event: everything a user could have seen.
// (Two equal texts in a row are one state: the label does not change.)
class WindowWatch : public QObject
{
public:
    std::function<void(int attempt)> onAttemptEnd;

    explicit WindowWatch(UpFor *window) : m_window(window)
    {
        look();
        connect(window, &UpFor::runFinished, this, [this](Result result) {
            look();
            // The pause before this attempt (the timer's last interval) and the one the window
            // means to wait before the next.
            m_results.append(result);
            m_pausesBefore.append(m_window->UpTim->interval());
            m_pausesAfter.append(int(m_window->nextRetryDelay().count()));
            if (onAttemptEnd)
                onAttemptEnd(int(m_results.size()) - 1);
        });
        qApp->installEventFilter(this);
    }
    ~WindowWatch() override { qApp->removeEventFilter(this); }

    QStringList states()
    {
        look();
        return m_states;
    }
    QStringList statuses()
    {
        look();
        return m_statuses;
    }
    const QList<Result> &results() const { return m_results; }
    const QList<int> &pausesBefore() const { return m_pausesBefore; }
    const QList<int> &pausesAfter() const { return m_pausesAfter; }

protected:
    bool eventFilter(QObject *, QEvent *) override
    {
        look();
        return false;
    }

private:
    void look()
    {
        if (!m_window)
            return;
        const QString text = m_window->UpLab->text();
        if (m_statuses.isEmpty() || m_statuses.last() != text)
            m_statuses.append(text);
        const QString state = stateText(text, m_window->CloseCom->isEnabled());
        if (m_states.isEmpty() || m_states.last() != state)
            m_states.append(state);
    }

    QPointer<UpFor> m_window;
    QStringList m_states;
    QStringList m_statuses;
    QList<Result> m_results;
    QList<int> m_pausesBefore;
    QList<int> m_pausesAfter;
};

} // namespace

Q_DECLARE_METATYPE(ScriptedFault)

class TestUpFor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failureIsShownAndRetriedUntilSuccess_data();
    void failureIsShownAndRetriedUntilSuccess();
    void pauseDoublesUpToItsLimit();
    void settingsAreReadAtEachAttempt();

    void closingBeforeTheFirstTick();
    void closingDuringThePause_data();
    void closingDuringThePause();
    void closingDuringAnAttempt_data();
    void closingDuringAnAttempt();
    void noSecondAttemptWhileOneRuns();

    void everyStatusFitsTheLabel_data();
    void everyStatusFitsTheLabel();

private:
    void writeEntryAndPages(const QString &day, const QString &text);
    Files localPages(const QString &day) const;
    std::unique_ptr<UpFor> openWindow(std::chrono::milliseconds networkTimeout);
    bool waitUntilClosed(UpFor *window, WindowWatch &watch, int attempts);

    std::optional<TestAppDir> m_app;
};

void TestUpFor::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestUpFor::init()
{
    m_app.emplace();
    // Another day of the month, so the lists hold more than the day sent.
    writeEntryAndPages(QStringLiteral("03"), QStringLiteral("前の日"));
    writeEntryAndPages(Day, QStringLiteral("今日は晴れ。\r\n公園を歩いた。"));
}

void TestUpFor::cleanup()
{
    m_app.reset();
}

void TestUpFor::writeEntryAndPages(const QString &day, const QString &text)
{
    writeSavedDay(Year, Month, day, text);
}

// The four pages of a date as they lie on disk, by the remote path below the directory
// they are published to.
Files TestUpFor::localPages(const QString &day) const
{
    return {{QStringLiteral("year.html"), readWholeFile(yearListPath())},
            {Year + QStringLiteral("/index.html"), readWholeFile(monthListPath(Year))},
            {Year + '/' + Month + QStringLiteral("/index.html"),
             readWholeFile(dayListPath(Year, Month))},
            {Year + '/' + Month + '/' + day + QStringLiteral(".html"),
             readWholeFile(dayPagePath(Year, Month, day))}};
}

std::unique_ptr<UpFor> TestUpFor::openWindow(std::chrono::milliseconds networkTimeout)
{
    auto window = std::make_unique<UpFor>(savedDay(Year, Month, Day), readSettings());
    window->setRetryDelays(FirstRetry, LastRetry);
    window->setNetworkTimeout(networkTimeout);
    window->show();
    return window;
}

// Waits until the window has closed itself after the given number of attempts.
bool TestUpFor::waitUntilClosed(UpFor *window, WindowWatch &watch, int attempts)
{
    return QTest::qWaitFor(
        [&] { return watch.results().size() >= attempts && !window->isVisible(); },
        WindowTimeoutMs);
}

// --- failures ------------------------------------------------------------------------

void TestUpFor::failureIsShownAndRetriedUntilSuccess_data()
{
    QTest::addColumn<ScriptedFault>("fault");
    QTest::addColumn<QStringList>("failureStatuses");
    QTest::addColumn<QList<QByteArray>>("firstSession");

    // Which failure ends an attempt is the attempt's own business (TestUploadAttempt); here,
    // one before the server is reached and one in the middle.
    QTest::newRow("refused port") << ScriptedFault::RefusedPort
                                  << QStringList{OutcomeText::of(OutcomeKind::SocketNotOpened)}
                                  << QList<QByteArray>{};
    QTest::newRow("STOR refused") << ScriptedFault::StoreRefused
                                  << QStringList{OutcomeText::of(OutcomeKind::Connected),
                                                 OutcomeText::of(OutcomeKind::DirectoryChanged),
                                                 OutcomeText::of(OutcomeKind::Failed)}
                                  << QList<QByteArray>{"USER diarist", "PASS secret",
                                                       "CWD www",      "TYPE I",
                                                       "EPSV",         "STOR ~0",
                                                       "DELE ~0",      "SIZE ~0"};
}

// Each failure shows its text, enables 閉じる and keeps the window open; after the pause
// a new attempt logs in afresh, publishes everything and the window closes itself.
void TestUpFor::failureIsShownAndRetriedUntilSuccess()
{
    QFETCH(ScriptedFault, fault);
    QFETCH(QStringList, failureStatuses);
    QFETCH(QList<QByteArray>, firstSession);

    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    addDirectories(server, {"/www", "/www/2024", "/www/2024/05"});
    writeScriptedSettings(server);
    applyScriptedFault(fault, server);

    const auto window = openWindow(ShortNetworkTimeout);
    WindowWatch watch(window.get());
    qsizetype firstSessionEnd = -1;
    int connectionsAfterFirst = -1;
    bool runningAtFirstEnd = true;
    watch.onAttemptEnd = [&](int attempt) {
        if (attempt != 0)
            return;
        firstSessionEnd = server.commands().size();
        connectionsAfterFirst = server.script().connections();
        runningAtFirstEnd = window->isRunning();
        recoverFrom(fault, server);
    };
    QVERIFY(waitUntilClosed(window.get(), watch, 2));

    const QString moved = OutcomeText::of(OutcomeKind::DirectoryChanged);
    const QString sent = OutcomeText::of(OutcomeKind::Uploading); // a page confirmed, more to come
    const QStringList retryStatuses{
        OutcomeText::of(OutcomeKind::Connected), moved, sent, moved, sent, moved, sent,
        OutcomeText::of(OutcomeKind::Sent)};
    COMPARE_SEQUENCE(watch.states(), failThenSucceed(failureStatuses, retryStatuses));
    QCOMPARE(watch.results(), (QList<Result>{Result::Failed, Result::Succeeded}));
    QCOMPARE(window->result(), int(QDialog::Accepted));

    // The failed attempt sent nothing after its failure, and the retry was a new login that
    // came only after the pause. The first session is told from the retry by the retry's
    // login, not by when the window heard of the failure: the server may record the first
    // session's last line a moment later.
    const bool reachedServer = fault != ScriptedFault::RefusedPort;
    const QList<QByteArray> commands = server.commands();
    const qsizetype retryStart =
        reachedServer ? commands.indexOf(QByteArray("USER diarist"), 1) : 0;
    QVERIFY(retryStart >= 0);
    QVERIFY(firstSessionEnd <= retryStart);
    QList<QByteArray> first = withTemporariesShown(commands.mid(0, retryStart));
    // A refused STOR whose data the server dropped unread may be settled with a NOOP, as the
    // client notices the refusal or the dropped data first: both end the attempt alike.
    first.removeAll(QByteArray("NOOP"));
    QCOMPARE(first.join(" | "), firstSession.join(" | "));
    QCOMPARE(commands.value(retryStart), QByteArray("USER diarist"));
    QCOMPARE(connectionsAfterFirst, reachedServer ? 1 : 0);
    QVERIFY(!runningAtFirstEnd);
    QCOMPARE(watch.pausesBefore(), (QList<int>{30, int(FirstRetry.count())}));
    QCOMPARE(watch.pausesAfter(),
             (QList<int>{int(FirstRetry.count()), int(FirstRetry.count()) * 2}));
    QCOMPARE(server.script().connections(), reachedServer ? 2 : 1);

    const Files pages = localPages(Day);
    for (auto it = pages.begin(); it != pages.end(); ++it)
        QCOMPARE(server.file(QStringLiteral("/www/") + it.key()), it.value());
}

void TestUpFor::pauseDoublesUpToItsLimit()
{
    ScriptedFtpServer server;
    server.script().addDirectory(QStringLiteral("/www"));
    server.setGreeting(ScriptedReply::text("500 Go away\r\n"));
    writeScriptedSettings(server);

    const auto window = openWindow(ShortNetworkTimeout);
    window->setRetryDelays(20ms, 70ms);
    WindowWatch watch(window.get());
    QList<int> connections;
    watch.onAttemptEnd = [&](int attempt) {
        connections.append(server.script().connections());
        if (attempt == 4)
            server.setGreeting(ScriptedReply::text("220 Ready\r\n"));
    };
    QVERIFY(waitUntilClosed(window.get(), watch, 6));

    QCOMPARE(watch.pausesBefore(), (QList<int>{30, 20, 40, 70, 70, 70}));
    QCOMPARE(watch.pausesAfter(), (QList<int>{20, 40, 70, 70, 70, 70}));
    // One login per attempt, each only after the one before had ended.
    QCOMPARE(connections, (QList<int>{1, 2, 3, 4, 5, 6}));
    QCOMPARE(watch.results().count(Result::Failed), 5);
    QCOMPARE(watch.results().last(), Result::Succeeded);
}

// A password corrected while the window waits counts at the next attempt, which sends the
// pages of the day saved and no other.
void TestUpFor::settingsAreReadAtEachAttempt()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(QStringLiteral("www/2024/05")));
    writeEntryAndPages(QStringLiteral("08"), QStringLiteral("次の日"));
    writeFtpSettings(server.serverString(), server.user(), QStringLiteral("wrong"),
                     QStringLiteral("www"));

    const auto window = openWindow(ShortNetworkTimeout * 10);
    WindowWatch watch(window.get());
    watch.onAttemptEnd = [&](int) {
        QString error;
        QVERIFY2(IniWrite(FtpSection, PasswordKey, server.password(), &error), qPrintable(error));
    };
    QVERIFY(waitUntilClosed(window.get(), watch, 2));

    QCOMPARE(watch.results(), (QList<Result>{Result::Failed, Result::Succeeded}));
    const QString moved = OutcomeText::of(OutcomeKind::DirectoryChanged);
    const QString sent = OutcomeText::of(OutcomeKind::Sent);
    COMPARE_SEQUENCE(watch.statuses(),
                     (QStringList{OutcomeText::of(OutcomeKind::Uploading),
                                  OutcomeText::of(OutcomeKind::ConnectFailed),
                                  OutcomeText::of(OutcomeKind::Connected), moved,
                                  OutcomeText::of(OutcomeKind::Uploading), moved,
                                  OutcomeText::of(OutcomeKind::Uploading), moved,
                                  OutcomeText::of(OutcomeKind::Uploading), sent}));
    QCOMPARE(server.commands().mid(0, 5), (QStringList{"USER diarist", "PASS wrong", "USER diarist",
                                                       "PASS pw-4-tests", "CWD www"}));
    const Files pages = localPages(Day);
    for (auto it = pages.begin(); it != pages.end(); ++it)
        QCOMPARE(server.remoteFile(QStringLiteral("www/") + it.key()), it.value());
    QVERIFY(!QFile::exists(server.homePath() + QStringLiteral("/www/2024/05/08.html")));
}

// --- closing ---------------------------------------------------------------------------

void TestUpFor::closingBeforeTheFirstTick()
{
    ScriptedFtpServer server;
    writeScriptedSettings(server);
    const auto window = openWindow(ShortNetworkTimeout);
    WindowWatch watch(window.get());
    // Nothing has run the event loop since the window appeared: the first tick is still due.
    QVERIFY(window->CloseCom->isEnabled());
    QTest::mouseClick(window->CloseCom, Qt::LeftButton);

    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QCoreApplication::processEvents();
    QVERIFY(!window->UpTim->isActive());
    QVERIFY(!window->isRunning());
    QCOMPARE(watch.results().size(), 0);
    QCOMPARE(server.script().connections(), 0);
    QVERIFY(!QFile::exists(m_app->filePath(QStringLiteral("ftp.log"))));
}

void TestUpFor::closingDuringThePause_data()
{
    QTest::addColumn<int>("key"); // 0: a click
    QTest::newRow("click") << 0;
    QTest::newRow("Return") << int(Qt::Key_Return);
}

void TestUpFor::closingDuringThePause()
{
    QFETCH(int, key);
    ScriptedFtpServer server;
    server.setGreeting(ScriptedReply::text("500 Go away\r\n"));
    writeScriptedSettings(server);
    const auto window = openWindow(ShortNetworkTimeout);
    window->setRetryDelays(60s, 60s);
    WindowWatch watch(window.get());
    QTRY_COMPARE(watch.results().size(), 1);
    QTRY_VERIFY(window->CloseCom->isEnabled());
    QVERIFY(window->UpTim->isActive());

    if (key == 0)
        QTest::mouseClick(window->CloseCom, Qt::LeftButton);
    else
        pressOnFocus(window.get(), key);
    QTRY_VERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QVERIFY(!window->UpTim->isActive());
    QCOMPARE(watch.results(), QList<Result>{Result::Failed});
    QCOMPARE(server.script().connections(), 1);
}

void TestUpFor::closingDuringAnAttempt_data()
{
    QTest::addColumn<int>("key"); // 0: the window's frame
    QTest::addColumn<ScriptedFault>("stall");
    QTest::addColumn<QByteArray>("lastCommand"); // what the server saw before it went quiet

    const int escape = Qt::Key_Escape;
    QTest::newRow("frame, waiting for the greeting")
        << 0 << ScriptedFault::SilentGreeting << QByteArray();
    QTest::newRow("Escape, waiting for the greeting")
        << escape << ScriptedFault::SilentGreeting << QByteArray();
    // 閉じる has the focus and answers Space whatever the window is doing.
    QTest::newRow("Space, waiting for the greeting")
        << int(Qt::Key_Space) << ScriptedFault::SilentGreeting << QByteArray();
    QTest::newRow("frame, waiting for a reply")
        << 0 << ScriptedFault::SilentAfterLogin << QByteArray("CWD www");
    QTest::newRow("Escape, waiting for a reply")
        << escape << ScriptedFault::SilentAfterLogin << QByteArray("CWD www");
}

// The attempt is cancelled and the window closes as soon as it has stopped, without a
// failure text and without a retry.
void TestUpFor::closingDuringAnAttempt()
{
    QFETCH(int, key);
    QFETCH(ScriptedFault, stall);
    QFETCH(QByteArray, lastCommand);

    ScriptedFtpServer server;
    server.script().addDirectory(QStringLiteral("/www"));
    writeScriptedSettings(server);
    applyScriptedFault(stall, server);
    const auto window = openWindow(LongNetworkTimeout);
    WindowWatch watch(window.get());
    bool visibleAtEnd = true;
    watch.onAttemptEnd = [&](int) { visibleAtEnd = window->isVisible(); };

    // The attempt starts from the window's timer, so the event loop must run meanwhile.
    QTRY_COMPARE_WITH_TIMEOUT(server.script().connections(), 1, WindowTimeoutMs);
    if (!lastCommand.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(server.commands().contains(lastCommand), WindowTimeoutMs);
    QVERIFY(window->isRunning());
    if (key == 0)
        window->close();
    else
        pressOnFocus(window.get(), key);

    QTRY_COMPARE_WITH_TIMEOUT(watch.results().size(), 1, WindowTimeoutMs);
    QCOMPARE(watch.results(), QList<Result>{Result::Cancelled});
    // Still open while the attempt stopped, closed right after.
    QVERIFY(visibleAtEnd);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QVERIFY(!window->UpTim->isActive());
    QVERIFY(!window->isRunning());
    // A cancelled call is no time-out and no error: the last text stays.
    QStringList statuses{OutcomeText::of(OutcomeKind::Uploading)};
    if (!lastCommand.isEmpty())
        statuses.append(OutcomeText::of(OutcomeKind::Connected));
    COMPARE_SEQUENCE(watch.statuses(), statuses);
    // The cancelled attempt left no connection behind.
    QTRY_COMPARE(server.script().disconnections(), 1);
    QCOMPARE(server.script().connections(), 1);
}

void TestUpFor::noSecondAttemptWhileOneRuns()
{
    ScriptedFtpServer server;
    addDirectories(server, {"/www", "/www/2024", "/www/2024/05"});
    server.queueReply("CWD", ScriptedReply::silence());
    writeScriptedSettings(server);
    const auto window = openWindow(ShortNetworkTimeout * 2); // time for the pokes below
    WindowWatch watch(window.get());
    int connectionsAtFirstEnd = -1;
    watch.onAttemptEnd = [&](int attempt) {
        if (attempt == 0)
            connectionsAtFirstEnd = server.script().connections();
    };

    QTRY_VERIFY_WITH_TIMEOUT(server.commands().contains("CWD www"), WindowTimeoutMs);
    QVERIFY(window->isRunning());
    // A tick while the attempt waits for its reply.
    window->UpTim->start(0);
    QTRY_VERIFY(!window->UpTim->isActive());
    QVERIFY(window->isVisible());
    QVERIFY(window->isRunning());
    QCOMPARE(server.script().connections(), 1);

    QVERIFY(waitUntilClosed(window.get(), watch, 2));
    QCOMPARE(watch.results(), (QList<Result>{Result::Failed, Result::Succeeded}));
    QCOMPARE(connectionsAtFirstEnd, 1);
    QCOMPARE(server.script().connections(), 2);
}

// --- the status line -------------------------------------------------------------------

void TestUpFor::everyStatusFitsTheLabel_data()
{
    QTest::addColumn<QString>("status");
    for (int kind = int(OutcomeKind::None) + 1; kind <= int(OutcomeKind::Failed); ++kind) {
        const QString status = OutcomeText::of(OutcomeKind(kind));
        QTest::newRow(qPrintable(status)) << status;
    }
}

// Shown after the longest text, so a text that fits is back at the label's own size.
void TestUpFor::everyStatusFitsTheLabel()
{
    QFETCH(QString, status);
    UpFor window(journal::SiteChange{}, Settings{});
    window.UpTim->stop(); // no attempt: this is about the label alone
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QLabel *label = window.UpLab;
    const qreal designed = label->font().pointSizeF();
    QCOMPARE(designed, 20.25);

    setFittedText(label, OutcomeText::of(OutcomeKind::SocketNotOpened));
    setFittedText(label, status);
    QCOMPARE(label->text(), status);
    QVERIFY2(fitsLabel(label, status),
             qPrintable(QStringLiteral("%1 px wide in a label of %2 px")
                            .arg(QFontMetrics(label->font()).horizontalAdvance(status))
                            .arg(label->contentsRect().width())));
    QFont designedFont = label->font();
    designedFont.setPointSizeF(designed);
    if (QFontMetrics(designedFont).horizontalAdvance(status) <= label->contentsRect().width())
        QCOMPARE(label->font().pointSizeF(), designed);
    else
        QVERIFY(label->font().pointSizeF() < designed);
}

QTEST_MAIN(TestUpFor)
#include "TestUpFor.moc"

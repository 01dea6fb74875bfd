// The upload window driven for real: shown, left to run its attempts against a real FTP
// server (pyftpdlib) and against a scripted one that fails on demand, and closed by the
// user at each moment it can be.

#include "PyFtpServer.h"
#include "ScriptedFtpServer.h"
#include "TestAppDir.h"

#include "app/FittedText.h"
#include "app/UpFor.h"
#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "pages/PagePaths.h"
#include "publish/UploadStatus.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

using namespace Kakiva;
using namespace std::chrono_literals;
using Result = UploadAttempt::Result;
using Files = QMap<QString, QByteArray>;

namespace {

const QString Year = QStringLiteral("2024");
const QString Month = QStringLiteral("05");
const QString Day = QStringLiteral("07");
const QString ScriptedUser = QStringLiteral("diarist");
const QString ScriptedPassword = QStringLiteral("secret");

// Short pauses keep a retry quick; the time-out only matters where a server goes quiet.
constexpr auto FirstRetry = 50ms;
constexpr auto LastRetry = 200ms;
constexpr auto ShortNetworkTimeout = 1s;
// Long enough that only cancelling can end a call to a silent server within the test.
constexpr auto LongNetworkTimeout = 60s;
constexpr int WindowTimeoutMs = 15000;

// Every file below root with its bytes, by path relative to root.
Files filesBelow(const QString &root)
{
    Files files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), readWholeFile(path));
    }
    return files;
}

void addDirectories(ScriptedFtpServer &server, const QStringList &paths)
{
    for (const QString &path : paths)
        server.script().addDirectory(path);
}

// What the upload itself asks of a server: the login, directory changes and files, without
// the FTP client's own set-up and checks around each transfer. The client may send a file
// once more when the server threw its data away; the upload asked for it once.
QList<QByteArray> uploadCommands(const QList<QByteArray> &commands)
{
    static const QList<QByteArray> verbs{"USER ", "PASS ", "CWD ", "MKD ", "STOR "};
    QList<QByteArray> kept;
    for (const QByteArray &line : commands) {
        const bool asked = std::any_of(verbs.begin(), verbs.end(), [&](const QByteArray &verb) {
            return line.startsWith(verb);
        });
        const bool resent = line.startsWith("STOR ") && !kept.isEmpty() && kept.last() == line;
        if (asked && !resent)
            kept.append(line);
    }
    return kept;
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
    QStringList states{stateText(UploadStatus::Uploading, true)};
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
    struct AttemptEnd
    {
        Result result;
        // The pause before this attempt (the timer's last interval) and the one the window
        // means to wait before the next.
        std::chrono::milliseconds pauseBefore;
        std::chrono::milliseconds pauseAfter;
    };
    std::function<void(int attempt)> onAttemptEnd;

    explicit WindowWatch(UpFor *window) : m_window(window)
    {
        look();
        connect(window, &UpFor::attemptFinished, this, [this](Result result) {
            look();
            m_ends.append({result, std::chrono::milliseconds(m_window->UpTim->interval()),
                           m_window->nextRetryDelay()});
            if (onAttemptEnd)
                onAttemptEnd(int(m_ends.size()) - 1);
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
    QStringList unfittedTexts() const { return m_unfitted; }
    const QList<AttemptEnd> &ends() const { return m_ends; }
    QList<Result> results() const
    {
        QList<Result> results;
        for (const AttemptEnd &end : m_ends)
            results.append(end.result);
        return results;
    }
    QList<int> pausesBefore() const
    {
        QList<int> pauses;
        for (const AttemptEnd &end : m_ends)
            pauses.append(int(end.pauseBefore.count()));
        return pauses;
    }
    QList<int> pausesAfter() const
    {
        QList<int> pauses;
        for (const AttemptEnd &end : m_ends)
            pauses.append(int(end.pauseAfter.count()));
        return pauses;
    }

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
        if (m_statuses.isEmpty() || m_statuses.last() != text) {
            m_statuses.append(text);
            if (!fitsLabel(m_window->UpLab, text))
                m_unfitted.append(text);
        }
        const QString state = stateText(text, m_window->CloseCom->isEnabled());
        if (m_states.isEmpty() || m_states.last() != state)
            m_states.append(state);
    }

    QPointer<UpFor> m_window;
    QStringList m_states;
    QStringList m_statuses;
    QStringList m_unfitted;
    QList<AttemptEnd> m_ends;
};

enum class Fault
{
    Greeting500,
    UserRefused,
    PasswordRefused,
    AccountWanted,
    Greeting421,
    RefusedPort,
    SilentGreeting,
    UnreachableAddress,
    RemoteDirectoryMissing,
    MakeDirectoryFails,
    StoreRefused,
    PageMissing,
    DataConnectionDropped,
    ServiceClosingMidSession,
    SilentAfterLogin,
};

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(ScriptedReply)

class TestUpFor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void publishesToARealServer_data();
    void publishesToARealServer();
    void failureIsShownAndRetriedUntilSuccess_data();
    void failureIsShownAndRetriedUntilSuccess();
    void pauseDoublesUpToItsLimit();
    void settingsAndDateAreReadAtEachAttempt();

    void unusualRepliesStillPublish_data();
    void unusualRepliesStillPublish();

    void closingBeforeTheFirstTick();
    void closingDuringThePause();
    void closingDuringAnAttempt_data();
    void closingDuringAnAttempt();
    void noSecondAttemptWhileOneRuns();

    void everyStatusFitsTheLabel_data();
    void everyStatusFitsTheLabel();

private:
    void writeEntryAndPages(const QString &day, const QString &text);
    Files localPages(const QString &day) const;
    void writeSettings(const QString &server, const QString &user, const QString &password,
                       const QString &directory);
    std::unique_ptr<UpFor> openWindow(std::chrono::milliseconds networkTimeout);
    void applyFault(Fault fault, ScriptedFtpServer &server);
    void recoverFrom(Fault fault, ScriptedFtpServer &server);
    bool waitUntilClosed(UpFor *window, WindowWatch &watch, int attempts);

    std::optional<TestAppDir> m_app;
    UploadDate m_date;
    int m_dateAsked = 0;
};

void TestUpFor::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestUpFor::init()
{
    m_app.emplace();
    m_date = {Year, Month, Day};
    m_dateAsked = 0;
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
    QString error;
    QVERIFY2(DiaryWrite(Year, Month, day, text, &error) == 0, qPrintable(error));
    QVERIFY2(HtmlMake(Year, Month, day, &error) == 0, qPrintable(error));
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

void TestUpFor::writeSettings(const QString &server, const QString &user, const QString &password,
                              const QString &directory)
{
    QString error;
    QVERIFY2(IniWrite(FtpSection, ServerKey, server, &error), qPrintable(error));
    QVERIFY2(IniWrite(FtpSection, NameKey, user, &error), qPrintable(error));
    QVERIFY2(IniWrite(FtpSection, PasswordKey, password, &error), qPrintable(error));
    QVERIFY2(IniWrite(FtpSection, DirectoryKey, directory, &error), qPrintable(error));
}

std::unique_ptr<UpFor> TestUpFor::openWindow(std::chrono::milliseconds networkTimeout)
{
    auto window = std::make_unique<UpFor>([this] {
        ++m_dateAsked;
        return m_date;
    });
    window->setRetryDelays(FirstRetry, LastRetry);
    window->setNetworkTimeout(networkTimeout);
    window->show();
    return window;
}

// Waits until the window has closed itself after the given number of attempts.
bool TestUpFor::waitUntilClosed(UpFor *window, WindowWatch &watch, int attempts)
{
    return QTest::qWaitFor([&] { return watch.ends().size() >= attempts && !window->isVisible(); },
                           WindowTimeoutMs);
}

// --- publishing ------------------------------------------------------------------------

void TestUpFor::publishesToARealServer_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QStringList>("onServer"); // made before: directories end in '/'
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("statuses");

    // The pieces of a session as the server logs them.
    const QStringList login{"USER diarist", "PASS pw-4-tests"};
    const QStringList binary{"TYPE I"};
    const QStringList quit{"QUIT"};
    const auto enter = [](const QString &name) { return QStringList{"CWD " + name}; };
    const auto make = [](const QString &name) {
        return QStringList{"CWD " + name, "MKD " + name, "CWD " + name};
    };
    const auto send = [](const QString &name) { return QStringList{"EPSV", "STOR " + name}; };
    const QStringList monthAndDay = send("index.html") + send("07.html") + quit;
    const QString begin = UploadStatus::Uploading;
    const QString connected = UploadStatus::Connected;
    const QString moved = UploadStatus::DirectoryChanged;
    const QString sent = UploadStatus::Sent;

    QTest::newRow("year and month exist")
        << "www" << QStringList{"www/index.html", "www/2024/05/03.html"}
        << login + enter("www") + binary + send("year.html") + enter("2024") + send("index.html") +
               enter("05") + monthAndDay
        << QStringList{begin, connected, moved, begin, moved, begin, moved, begin, sent};
    // "アップ成功" only for the last page: closing on seeing it would cancel the rest.
    // The day list follows the month list without a "directory changed" in between.
    QTest::newRow("new month") << "www" << QStringList{"www/index.html", "www/2024/04/"}
                               << login + enter("www") + binary + send("year.html") +
                                      enter("2024") + send("index.html") + make("05") + monthAndDay
                               << QStringList{begin, connected, moved, begin, moved, begin, sent};
    QTest::newRow("new year") << "www" << QStringList{"www/index.html", "www/2023/12/"}
                              << login + enter("www") + binary + send("year.html") + make("2024") +
                                     send("index.html") + make("05") + monthAndDay
                              << QStringList{begin, connected, moved, begin, sent};
    QTest::newRow("nested remote directory")
        << "sites/diary" << QStringList{"sites/diary/2024/05/"}
        << login + enter("sites/diary") + binary + send("year.html") + enter("2024") +
               send("index.html") + enter("05") + monthAndDay
        << QStringList{begin, connected, moved, begin, moved, begin, moved, begin, sent};
    // No directory set: the login directory itself, with no "CWD " to get there. Its own
    // index.html stays as it was.
    QTest::newRow("login directory") << "" << QStringList{"index.html"}
                                     << login + binary + send("year.html") + make("2024") +
                                            send("index.html") + make("05") + monthAndDay
                                     << QStringList{begin, connected, begin, sent};
}

void TestUpFor::publishesToARealServer()
{
    QFETCH(QString, directory);
    QFETCH(QStringList, onServer);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, statuses);

    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    for (const QString &path : onServer) {
        if (path.endsWith('/'))
            QVERIFY(QDir(server.homePath()).mkpath(path));
        else
            writeWholeFile(server.homePath() + '/' + path, "left as it was: " + path.toUtf8());
    }
    const Files before = filesBelow(server.homePath());
    writeSettings(server.serverString(), server.user(), server.password(), directory);

    const auto window = openWindow(ShortNetworkTimeout * 10);
    WindowWatch watch(window.get());
    QVERIFY(waitUntilClosed(window.get(), watch, 1));

    QCOMPARE(watch.results(), QList<Result>{Result::Succeeded});
    QCOMPARE(window->result(), int(QDialog::Accepted));
    COMPARE_SEQUENCE(watch.statuses(), statuses);
    QCOMPARE(watch.unfittedTexts(), QStringList());

    Files expected = before;
    const QString prefix = directory.isEmpty() ? QString() : directory + '/';
    const Files pages = localPages(Day);
    for (auto it = pages.begin(); it != pages.end(); ++it)
        expected.insert(prefix + it.key(), it.value());
    QCOMPARE(filesBelow(server.homePath()), expected);
    // QUIT goes out without waiting for the answer, so the server may log it a little later.
    QTRY_COMPARE(server.commands(), commands);

    const QByteArray log = readWholeFile(m_app->filePath(QStringLiteral("ftp.log")));
    QVERIFY(log.contains("PASS ****"));
    QVERIFY(log.contains("STOR 07.html"));
    QVERIFY(!log.contains(server.password().toUtf8()));
}

// --- failures ------------------------------------------------------------------------

void TestUpFor::applyFault(Fault fault, ScriptedFtpServer &server)
{
    const auto text = ScriptedReply::text;
    switch (fault) {
    case Fault::Greeting500:
        server.setGreeting(text("500 Go away\r\n"));
        break;
    case Fault::UserRefused:
        server.queueReply("USER", text("530 Not allowed\r\n"));
        break;
    case Fault::PasswordRefused:
        server.queueReply("PASS", text("530 Login incorrect\r\n"));
        break;
    case Fault::AccountWanted:
        server.queueReply("USER", text("332 Need account\r\n"));
        break;
    case Fault::Greeting421:
        server.setGreeting(ScriptedReply::closing("421 Too many users\r\n"));
        break;
    case Fault::RefusedPort:
        writeSettings(QStringLiteral("127.0.0.1:%1").arg(refusedLoopbackPort()), ScriptedUser,
                      ScriptedPassword, QStringLiteral("www"));
        break;
    case Fault::SilentGreeting:
        server.setGreeting(ScriptedReply::silence());
        break;
    case Fault::UnreachableAddress:
        // The system refuses a TCP connection to the broadcast address as unreachable.
        writeSettings(QStringLiteral("255.255.255.255:21"), ScriptedUser, ScriptedPassword,
                      QStringLiteral("www"));
        break;
    case Fault::RemoteDirectoryMissing:
        server.queueReply("CWD", text("550 No such directory\r\n"));
        break;
    case Fault::MakeDirectoryFails:
        server.queueReply("MKD", text("550 Permission denied\r\n"));
        break;
    case Fault::StoreRefused:
        server.queueReply("STOR", text("553 Not allowed\r\n"));
        break;
    case Fault::PageMissing:
        QVERIFY(QFile::remove(dayListPath(Year, Month)));
        break;
    case Fault::DataConnectionDropped:
        // A day page of several hundred KiB, cut off after its first 64 KiB.
        writeEntryAndPages(Day, QString(150 * 1024, QChar(0x65e5)));
        server.script().setTransfer(ScriptedFtpScript::Transfer::DropAfter, 64 * 1024);
        break;
    case Fault::ServiceClosingMidSession:
        server.queueReply("CWD", ScriptedReply::asUsual());
        server.queueReply("CWD", ScriptedReply::closing("421 Service not available\r\n"));
        break;
    case Fault::SilentAfterLogin:
        server.queueReply("CWD", ScriptedReply::silence());
        break;
    }
}

void TestUpFor::recoverFrom(Fault fault, ScriptedFtpServer &server)
{
    switch (fault) {
    case Fault::Greeting500:
    case Fault::Greeting421:
    case Fault::SilentGreeting:
        server.setGreeting(ScriptedReply::text("220 Ready\r\n"));
        break;
    case Fault::RefusedPort:
    case Fault::UnreachableAddress:
        writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));
        break;
    case Fault::PageMissing:
        writeEntryAndPages(Day, QStringLiteral("書き直した"));
        break;
    case Fault::DataConnectionDropped:
        server.script().setTransfer(ScriptedFtpScript::Transfer::Store);
        break;
    default: // queued replies answer the first session only
        break;
    }
}

void TestUpFor::failureIsShownAndRetriedUntilSuccess_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QStringList>("failureStatuses");
    QTest::addColumn<QList<QByteArray>>("firstSession");

    const QString connected = UploadStatus::Connected;
    const QString moved = UploadStatus::DirectoryChanged;
    const QString sent = UploadStatus::Uploading; // a page confirmed, more to come
    const QString error = UploadStatus::Error;
    const QList<QByteArray> login{"USER diarist", "PASS secret"};
    const QList<QByteArray> throughYearList =
        login + QList<QByteArray>{"CWD www", "STOR year.html"};
    const QList<QByteArray> throughMonthList =
        throughYearList + QList<QByteArray>{"CWD 2024", "STOR index.html"};

    QTest::newRow("Connect 1: greeting refused")
        << Fault::Greeting500 << QStringList{UploadStatus::ConnectError} << QList<QByteArray>{};
    QTest::newRow("Connect 2: user refused")
        << Fault::UserRefused << QStringList{UploadStatus::ConnectError}
        << QList<QByteArray>{"USER diarist"};
    QTest::newRow("Connect 3: password refused")
        << Fault::PasswordRefused << QStringList{UploadStatus::ConnectError} << login;
    QTest::newRow("Connect 4: account wanted")
        << Fault::AccountWanted << QStringList{UploadStatus::ConnectError}
        << QList<QByteArray>{"USER diarist"};
    QTest::newRow("Connect 5: 421 instead of a greeting")
        << Fault::Greeting421 << QStringList{UploadStatus::ConnectError} << QList<QByteArray>{};
    QTest::newRow("Connect -1: refused port")
        << Fault::RefusedPort << QStringList{UploadStatus::SocketOpenError} << QList<QByteArray>{};
    QTest::newRow("Connect -2: silent server")
        << Fault::SilentGreeting << QStringList{UploadStatus::TimedOut} << QList<QByteArray>{};
    QTest::newRow("Connect 10000 and more: network unreachable")
        << Fault::UnreachableAddress << QStringList{UploadStatus::WinsockError}
        << QList<QByteArray>{};
    QTest::newRow("remote directory cannot be entered")
        << Fault::RemoteDirectoryMissing << QStringList{connected, error}
        << login + QList<QByteArray>{"CWD www"};
    // Sending the day list anyway would overwrite the year's month list.
    QTest::newRow("month directory can be neither entered nor made")
        << Fault::MakeDirectoryFails << QStringList{connected, moved, sent, moved, sent, error}
        << throughMonthList + QList<QByteArray>{"CWD 05", "MKD 05", "CWD 05"};
    QTest::newRow("STOR refused") << Fault::StoreRefused << QStringList{connected, moved, error}
                                  << throughYearList;
    QTest::newRow("day list missing locally")
        << Fault::PageMissing
        << QStringList{connected, moved, sent, moved, sent, moved, UploadStatus::NoSuchFile}
        << throughMonthList + QList<QByteArray>{"CWD 05"};
    QTest::newRow("data connection dropped mid-file")
        << Fault::DataConnectionDropped
        << QStringList{connected, moved, sent, moved, sent, moved, sent, error}
        << throughMonthList + QList<QByteArray>{"CWD 05", "STOR index.html", "STOR 07.html"};
    QTest::newRow("421 mid-session")
        << Fault::ServiceClosingMidSession << QStringList{connected, moved, sent, error}
        << throughYearList + QList<QByteArray>{"CWD 2024"};
    QTest::newRow("silent server after login")
        << Fault::SilentAfterLogin << QStringList{connected, error}
        << login + QList<QByteArray>{"CWD www"};
}

// Each failure shows its text, enables 閉じる and keeps the window open; after the pause
// a new attempt logs in afresh, publishes everything and the window closes itself.
void TestUpFor::failureIsShownAndRetriedUntilSuccess()
{
    QFETCH(Fault, fault);
    QFETCH(QStringList, failureStatuses);
    QFETCH(QList<QByteArray>, firstSession);

    // The month directory is missing where making it is what fails.
    const bool newMonth = fault == Fault::MakeDirectoryFails;
    ScriptedFtpServer server;
    QVERIFY(server.isListening());
    addDirectories(server, {"/www", "/www/2024"});
    if (!newMonth)
        addDirectories(server, {"/www/2024/05"});
    writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));
    applyFault(fault, server);

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
        runningAtFirstEnd = window->isAttemptRunning();
        recoverFrom(fault, server);
    };
    QVERIFY(waitUntilClosed(window.get(), watch, 2));

    const QString moved = UploadStatus::DirectoryChanged;
    const QString sent = UploadStatus::Uploading;
    QStringList retryStatuses{UploadStatus::Connected, moved, sent, moved, sent, moved, sent,
                              UploadStatus::Sent};
    if (newMonth)
        retryStatuses.removeAt(5); // the month is made: no "directory changed" before its list
    COMPARE_SEQUENCE(watch.states(), failThenSucceed(failureStatuses, retryStatuses));
    QCOMPARE(watch.unfittedTexts(), QStringList());
    QCOMPARE(watch.results(), (QList<Result>{Result::Failed, Result::Succeeded}));
    QCOMPARE(window->result(), int(QDialog::Accepted));

    // The failed attempt sent nothing after its failure, and the retry was a new login that
    // came only after the pause.
    const QList<QByteArray> commands = server.commands();
    QCOMPARE(uploadCommands(commands.mid(0, firstSessionEnd)).join(" | "),
             firstSession.join(" | "));
    QCOMPARE(commands.value(firstSessionEnd), QByteArray("USER diarist"));
    const bool reachedServer = fault != Fault::RefusedPort && fault != Fault::UnreachableAddress;
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
    writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));

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

// A password corrected while the window waits, and a date that changed, count at the next
// attempt.
void TestUpFor::settingsAndDateAreReadAtEachAttempt()
{
    PyFtpServer server;
    QVERIFY2(server.isRunning(), qPrintable(server.errorString()));
    QVERIFY(QDir(server.homePath()).mkpath(QStringLiteral("www/2024/05")));
    writeEntryAndPages(QStringLiteral("08"), QStringLiteral("次の日"));
    writeSettings(server.serverString(), server.user(), QStringLiteral("wrong"),
                  QStringLiteral("www"));

    const auto window = openWindow(ShortNetworkTimeout * 10);
    WindowWatch watch(window.get());
    watch.onAttemptEnd = [&](int) {
        QString error;
        QVERIFY2(IniWrite(FtpSection, PasswordKey, server.password(), &error), qPrintable(error));
        m_date.day = QStringLiteral("08");
    };
    QVERIFY(waitUntilClosed(window.get(), watch, 2));

    QCOMPARE(watch.results(), (QList<Result>{Result::Failed, Result::Succeeded}));
    const QString moved = UploadStatus::DirectoryChanged;
    const QString sent = UploadStatus::Sent;
    COMPARE_SEQUENCE(watch.statuses(),
                     (QStringList{UploadStatus::Uploading, UploadStatus::ConnectError,
                                  UploadStatus::Connected, moved, UploadStatus::Uploading, moved,
                                  UploadStatus::Uploading, moved, UploadStatus::Uploading, sent}));
    QCOMPARE(m_dateAsked, 2);
    QCOMPARE(server.commands().mid(0, 5), (QStringList{"USER diarist", "PASS wrong", "USER diarist",
                                                       "PASS pw-4-tests", "CWD www"}));
    const Files pages = localPages(QStringLiteral("08"));
    for (auto it = pages.begin(); it != pages.end(); ++it)
        QCOMPARE(server.remoteFile(QStringLiteral("www/") + it.key()), it.value());
    QVERIFY(!QFile::exists(server.homePath() + QStringLiteral("/www/2024/05/07.html")));
}

using Script = QHash<QByteArray, ScriptedReply>;

void TestUpFor::unusualRepliesStillPublish_data()
{
    QTest::addColumn<Script>("script"); // "GREETING" names the greeting
    QTest::addColumn<QByteArray>("pasvHost");

    QTest::newRow("multi-line greeting and login")
        << Script{{"GREETING",
                   ScriptedReply::text("220-Welcome\r\n220-to the diary host\r\n220 Ready\r\n")},
                  {"PASS", ScriptedReply::text("230-Hello\n230 Logged in\n")}}
        << QByteArray();
    QTest::newRow("replies split across segments")
        << Script{{"GREETING", ScriptedReply::split({"22", "0 Rea", "dy\r\n"})},
                  {"PASS", ScriptedReply::split({"230 Logged", " in\r", "\n"})},
                  {"TYPE", ScriptedReply::split({"2", "00 Binary\r\n"})}}
        << QByteArray();
    // The data connection must go where the control connection went, not to 10.1.2.3.
    QTest::newRow("PASV naming another host")
        << Script{{"EPSV", ScriptedReply::text("500 Unknown command\r\n")}}
        << QByteArray("10,1,2,3");
}

void TestUpFor::unusualRepliesStillPublish()
{
    QFETCH(Script, script);
    QFETCH(QByteArray, pasvHost);

    ScriptedFtpServer server;
    addDirectories(server, {"/www", "/www/2024", "/www/2024/05"});
    for (auto it = script.begin(); it != script.end(); ++it) {
        if (it.key() == "GREETING")
            server.setGreeting(it.value());
        else
            server.setReply(it.key(), it.value());
    }
    server.script().setPasvHost(pasvHost);
    writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));

    const auto window = openWindow(ShortNetworkTimeout * 10);
    WindowWatch watch(window.get());
    QVERIFY(waitUntilClosed(window.get(), watch, 1));
    QCOMPARE(watch.results(), QList<Result>{Result::Succeeded});
    const Files pages = localPages(Day);
    for (auto it = pages.begin(); it != pages.end(); ++it)
        QCOMPARE(server.file(QStringLiteral("/www/") + it.key()), it.value());
    for (const QHostAddress &peer : server.script().dataPeers())
        QCOMPARE(peer.toString(), QStringLiteral("127.0.0.1"));
}

// --- closing ---------------------------------------------------------------------------

void TestUpFor::closingBeforeTheFirstTick()
{
    ScriptedFtpServer server;
    writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));
    const auto window = openWindow(ShortNetworkTimeout);
    WindowWatch watch(window.get());
    // Nothing has run the event loop since the window appeared: the first tick is still due.
    QVERIFY(window->CloseCom->isEnabled());
    QTest::mouseClick(window->CloseCom, Qt::LeftButton);

    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QCoreApplication::processEvents();
    QVERIFY(!window->UpTim->isActive());
    QVERIFY(!window->isAttemptRunning());
    QCOMPARE(watch.ends().size(), 0);
    QCOMPARE(m_dateAsked, 0);
    QCOMPARE(server.script().connections(), 0);
    QVERIFY(!QFile::exists(m_app->filePath(QStringLiteral("ftp.log"))));
}

void TestUpFor::closingDuringThePause()
{
    ScriptedFtpServer server;
    server.setGreeting(ScriptedReply::text("500 Go away\r\n"));
    writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));
    const auto window = openWindow(ShortNetworkTimeout);
    window->setRetryDelays(60s, 60s);
    WindowWatch watch(window.get());
    QTRY_COMPARE(watch.ends().size(), 1);
    QTRY_VERIFY(window->CloseCom->isEnabled());
    QVERIFY(window->UpTim->isActive());

    QTest::mouseClick(window->CloseCom, Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QVERIFY(!window->UpTim->isActive());
    QCOMPARE(watch.results(), QList<Result>{Result::Failed});
    QCOMPARE(server.script().connections(), 1);
}

void TestUpFor::closingDuringAnAttempt_data()
{
    QTest::addColumn<bool>("escape"); // or the window's frame
    QTest::addColumn<Fault>("stall");
    QTest::addColumn<QByteArray>("lastCommand"); // what the server saw before it went quiet

    QTest::newRow("frame, waiting for the greeting")
        << false << Fault::SilentGreeting << QByteArray();
    QTest::newRow("Escape, waiting for the greeting")
        << true << Fault::SilentGreeting << QByteArray();
    QTest::newRow("frame, waiting for a reply")
        << false << Fault::SilentAfterLogin << QByteArray("CWD www");
    QTest::newRow("Escape, waiting for a reply")
        << true << Fault::SilentAfterLogin << QByteArray("CWD www");
}

// The attempt is cancelled and the window closes as soon as it has stopped, without a
// failure text and without a retry.
void TestUpFor::closingDuringAnAttempt()
{
    QFETCH(bool, escape);
    QFETCH(Fault, stall);
    QFETCH(QByteArray, lastCommand);

    ScriptedFtpServer server;
    server.script().addDirectory(QStringLiteral("/www"));
    writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));
    applyFault(stall, server);
    const auto window = openWindow(LongNetworkTimeout);
    WindowWatch watch(window.get());
    bool visibleAtEnd = true;
    watch.onAttemptEnd = [&](int) { visibleAtEnd = window->isVisible(); };

    // The attempt starts from the window's timer, so the event loop must run meanwhile.
    QTRY_COMPARE_WITH_TIMEOUT(server.script().connections(), 1, WindowTimeoutMs);
    if (!lastCommand.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(server.commands().contains(lastCommand), WindowTimeoutMs);
    QVERIFY(window->isAttemptRunning());
    if (escape)
        QTest::keyClick(window.get(), Qt::Key_Escape);
    else
        window->close();

    QTRY_COMPARE_WITH_TIMEOUT(watch.ends().size(), 1, WindowTimeoutMs);
    QCOMPARE(watch.results(), QList<Result>{Result::Cancelled});
    // Still open while the attempt stopped, closed right after.
    QVERIFY(visibleAtEnd);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QVERIFY(!window->UpTim->isActive());
    QVERIFY(!window->isAttemptRunning());
    // A cancelled call is no time-out and no error: the last text stays.
    QStringList statuses{UploadStatus::Uploading};
    if (!lastCommand.isEmpty())
        statuses.append(UploadStatus::Connected);
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
    writeSettings(server.serverString(), ScriptedUser, ScriptedPassword, QStringLiteral("www"));
    const auto window = openWindow(ShortNetworkTimeout * 2); // time for the pokes below
    WindowWatch watch(window.get());
    int connectionsAtFirstEnd = -1;
    watch.onAttemptEnd = [&](int attempt) {
        if (attempt == 0)
            connectionsAtFirstEnd = server.script().connections();
    };

    QTRY_VERIFY_WITH_TIMEOUT(server.commands().contains("CWD www"), WindowTimeoutMs);
    QVERIFY(window->isAttemptRunning());
    // A tick while the attempt waits for its reply.
    window->UpTim->start(0);
    QTRY_VERIFY(!window->UpTim->isActive());
    QVERIFY(window->isVisible());
    QVERIFY(window->isAttemptRunning());
    QCOMPARE(m_dateAsked, 1);
    QCOMPARE(server.script().connections(), 1);

    QVERIFY(waitUntilClosed(window.get(), watch, 2));
    QCOMPARE(watch.results(), (QList<Result>{Result::Failed, Result::Succeeded}));
    QCOMPARE(connectionsAtFirstEnd, 1);
    QCOMPARE(server.script().connections(), 2);
    QCOMPARE(m_dateAsked, 2);
}

// --- the status line -------------------------------------------------------------------

void TestUpFor::everyStatusFitsTheLabel_data()
{
    QTest::addColumn<QString>("status");
    for (const QString &status :
         {UploadStatus::Uploading, UploadStatus::Connected, UploadStatus::ConnectError,
          UploadStatus::SocketOpenError, UploadStatus::TimedOut, UploadStatus::WinsockError,
          UploadStatus::DirectoryChanged, UploadStatus::Sent, UploadStatus::NoSuchFile,
          UploadStatus::Error})
        QTest::newRow(qPrintable(status)) << status;
}

// Shown after the longest text, so a text that fits is back at the label's own size.
void TestUpFor::everyStatusFitsTheLabel()
{
    QFETCH(QString, status);
    UpFor window([] { return UploadDate{}; });
    window.UpTim->stop(); // no attempt: this is about the label alone
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QLabel *label = window.UpLab;
    const qreal designed = label->font().pointSizeF();
    QCOMPARE(designed, 20.25);

    setFittedText(label, UploadStatus::SocketOpenError);
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

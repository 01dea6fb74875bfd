// The whole way of one entry through the windows: a day chosen on the calendar, the text
// typed, OK, the upload window sending the pages to a real FTP server, and the dialogs gone.

#include "app/calendar/MainFor.h"
#include "app/entry/DiaryInpFor.h"
#include "app/publish/OutcomeText.h"
#include "app/publish/UpFor.h"
#include "pages/PagePaths.h"

#include "EntryText.h"
#include "KeyboardInput.h"
#include "ModalAnswerer.h"
#include "PyFtpServer.h"
#include "TestAppDir.h"

#include <QCalendarWidget>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

constexpr int UploadTimeoutMs = 15000;

// What the user saw of the upload window while it was open.
struct SeenInUpload
{
    bool modal = false;
    bool entryDialogBeneath = false;
    QString lastStatus;
};

} // namespace

class TestPublishFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void entryIsPublished();
    void uploadWindowClosedAfterAFailure();

private:
    void writeSettings(const QString &password);
    void chooseMarch5th();

    std::unique_ptr<TestAppDir> m_appDir;
    std::unique_ptr<PyFtpServer> m_server;
    std::unique_ptr<MainFor> m_window;
};

void TestPublishFlow::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestPublishFlow::init()
{
    m_appDir = std::make_unique<TestAppDir>();
    m_server = std::make_unique<PyFtpServer>();
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    QVERIFY(QDir(m_server->homePath()).mkpath(u"www"_s));
    m_window = std::make_unique<MainFor>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(m_window->isSettled());
}

void TestPublishFlow::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_appDir.reset();
}

void TestPublishFlow::writeSettings(const QString &password)
{
    writeFtpSettings(m_server->serverString(), m_server->user(), password, u"www"_s);
}

// From the 4th, one step right and Return, as a keyboard user does.
void TestPublishFlow::chooseMarch5th()
{
    m_window->DayCal->setSelectedDate(QDate(2004, 3, 4));
    auto *view = m_window->DayCal->findChild<QTableView *>();
    QVERIFY(view);
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Return);
}

void TestPublishFlow::entryIsPublished()
{
    writeSettings(m_server->password());
    SeenInUpload seen;
    ModalAnswerer<UpFor> upload([&](UpFor *window) {
        seen.modal = QApplication::activeModalWidget() == window;
        seen.entryDialogBeneath = m_window->findChild<DiaryInpFor *>()->isVisible();
        // Nothing to do but watch: the window closes itself once the pages are out.
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), UploadTimeoutMs);
        seen.lastStatus = window->UpLab->text();
    });
    ModalAnswerer<DiaryInpFor> entry([](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"桜が咲いた\n花見"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
    });
    chooseMarch5th();
    QTRY_COMPARE_WITH_TIMEOUT(entry.shown(), 1, UploadTimeoutMs);

    QCOMPARE(upload.shown(), 1);
    QCOMPARE(upload.leftOpen(), 0);
    QCOMPARE(entry.leftOpen(), 0);
    QVERIFY(seen.modal);
    QVERIFY(seen.entryDialogBeneath);
    QCOMPARE(seen.lastStatus, OutcomeText::of(OutcomeKind::Sent));
    QVERIFY(!m_window->findChild<DiaryInpFor *>()->isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);

    QCOMPARE(m_appDir->read(u"Diary/2004/03/05.dia"_s), entryFileBytes(u"桜が咲いた\n花見"_s));
    const QString remote = m_server->homePath() + u"/www/"_s;
    QCOMPARE(readWholeFile(remote + u"year.html"_s), readWholeFile(yearListPath()));
    QCOMPARE(readWholeFile(remote + u"2004/index.html"_s), readWholeFile(monthListPath(u"2004"_s)));
    QCOMPARE(readWholeFile(remote + u"2004/03/index.html"_s),
             readWholeFile(dayListPath(u"2004"_s, u"03"_s)));
    const QByteArray dayPage = readWholeFile(dayPagePath(u"2004"_s, u"03"_s, u"05"_s));
    QVERIFY(dayPage.contains(toCp932(u"桜が咲いた"_s)));
    QCOMPARE(readWholeFile(remote + u"2004/03/05.html"_s), dayPage);
}

// The user gives up on a failing upload: the entry and its pages stay saved locally, the
// entry dialog closes after the upload window, and nothing reached the server.
void TestPublishFlow::uploadWindowClosedAfterAFailure()
{
    writeSettings(u"wrong"_s);
    QString failure;
    ModalAnswerer<UpFor> upload([&](UpFor *window) {
        QTRY_VERIFY_WITH_TIMEOUT(window->CloseCom->isEnabled() &&
                                     window->UpLab->text() !=
                                         OutcomeText::of(OutcomeKind::Uploading),
                                 UploadTimeoutMs);
        failure = window->UpLab->text();
        QTest::mouseClick(window->CloseCom, Qt::LeftButton);
    });
    bool entryDialogClosedWithUpload = false;
    ModalAnswerer<DiaryInpFor> entry([&](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"not published"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        entryDialogClosedWithUpload = !dialog->isVisible();
    });
    chooseMarch5th();
    QTRY_COMPARE_WITH_TIMEOUT(entry.shown(), 1, UploadTimeoutMs);

    QCOMPARE(upload.shown(), 1);
    QCOMPARE(upload.leftOpen(), 0);
    QCOMPARE(failure, OutcomeText::of(OutcomeKind::ConnectFailed));
    QVERIFY(entryDialogClosedWithUpload);
    QCOMPARE(m_appDir->read(u"Diary/2004/03/05.dia"_s), QByteArray("not published\r\n"));
    QVERIFY(QFile::exists(dayPagePath(u"2004"_s, u"03"_s, u"05"_s)));
    QCOMPARE(m_server->commands(), (QStringList{u"USER diarist"_s, u"PASS wrong"_s}));
    QCOMPARE(
        QDir(m_server->homePath() + u"/www"_s).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList());
}

QTEST_MAIN(TestPublishFlow)
#include "TestPublishFlow.moc"

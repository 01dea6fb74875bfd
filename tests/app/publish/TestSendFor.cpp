// The progress window of a publish of many files, driven against a scripted server: a failure
// shown and retried with only what is still missing, a record that cannot be written told
// once, and Escape stopping the run at once.

#include "app/publish/SendFor.h"

#include "DayPages.h"
#include "ScriptedFault.h"
#include "WindowTestBed.h"

#include "diary/EntryStore.h"
#include "pages/PageGenerator.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class TestSendFor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void failureIsShownAndRetried_data();
    void failureIsShownAndRetried();
    void stopsOnEscape();

private:
    std::unique_ptr<WindowTestBed> m_bed;
};

void TestSendFor::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    for (const QString &day : {u"03"_s, u"17"_s}) {
        writeSavedDay(u"2004"_s, u"08"_s, day);
    }
}

void TestSendFor::cleanup()
{
    m_bed.reset();
}

void TestSendFor::failureIsShownAndRetried_data()
{
    QTest::addColumn<bool>("recordWritable");
    QTest::newRow("record written") << true;
    // The run goes on regardless, and the user hears of it once, not at every run.
    QTest::newRow("sent.json cannot be written") << false;
}

// A refused file shows its reason; the window tries again after its pause, and sends only
// what is still missing.
void TestSendFor::failureIsShownAndRetried()
{
    QFETCH(bool, recordWritable);
    ScriptedFtpServer server;
    server.script().addDirectory(u"/www"_s);
    server.queueReply("STOR", ScriptedReply::asUsual());
    server.queueReply("STOR", ScriptedReply::text("553 Not allowed\r\n"));
    writeScriptedSettings(server);
    SendFor window(SendFor::Scope::Unsent);
    if (!recordWritable)
        QVERIFY(QDir().mkpath(ServerRecord::filePath()));
    window.setMaxSessions(1);
    window.setRetryDelays(300ms, 300ms);
    QSignalSpy runs(&window, &SendFor::runFinished);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(runs.size(), 1, 10000);
    QCOMPARE(runs.at(0).at(0).value<PublishResult>(), PublishResult::Failed);
    QVERIFY2(window.StatusLab->text().contains(u"553"_s), qPrintable(window.StatusLab->text()));
    QVERIFY(window.isVisible());
    // Five pages and the front page, style sheet and latest.html the window put beside them,
    // as a site written before they were shipped lacks them: the refusal held up no other.
    QCOMPARE(window.CountLab->text(), u"7 / 8 ファイル"_s);

    QTRY_COMPARE_WITH_TIMEOUT(runs.size(), 2, 10000);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
    int stores = 0;
    for (const QByteArray &command : server.commands())
        stores += command.startsWith("STOR ");
    QCOMPARE(stores, 9); // eight files, the refused one twice
    QCOMPARE(m_bed->errors.size(), recordWritable ? 0 : 1);
    if (recordWritable)
        QVERIFY(unsentFiles(ServerRecord(destinationOf(readSettings()))).isEmpty());
    else
        QVERIFY(m_bed->errors.first().startsWith(u"送信の記録を保存できません: "_s));
}

void TestSendFor::stopsOnEscape()
{
    ScriptedFtpServer server;
    server.script().addDirectory(u"/www"_s);
    server.script().setTransfer(ScriptedFtpScript::Transfer::Stall);
    writeScriptedSettings(server);
    SendFor window(SendFor::Scope::Unsent);
    QSignalSpy runs(&window, &SendFor::runFinished);
    window.show();
    QTRY_VERIFY(server.script().waitForCommand("STOR", 0));
    QCOMPARE(window.focusWidget(), window.StopCom);
    QTest::keyClick(&window, Qt::Key_Escape);
    QTRY_VERIFY(!window.isVisible());
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.at(0).at(0).value<PublishResult>(), PublishResult::Cancelled);
    QCOMPARE(window.result(), int(QDialog::Rejected));
    QCOMPARE(ServerRecord(destinationOf(readSettings())).size(), 0);
}

QTEST_MAIN(TestSendFor)
#include "TestSendFor.moc"

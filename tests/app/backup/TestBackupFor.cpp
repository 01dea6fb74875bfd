#include "app/backup/BackupFor.h"
#include "backup/AutoBackup.h"
#include "backup/BackupFolder.h"

#include "ModalAnswerer.h"
#include "TestTree.h"
#include "WindowTestBed.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include <sys/stat.h>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestBackupFor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void textsFitAndEscapeCloses();
    void restoresDeletedDiaryFromTheWindow();
    void refusedFolderIsExplained();
    void restoreTakesTheConnectionOnlyWhenAsked_data();
    void restoreTakesTheConnectionOnlyWhenAsked();
    void namesWhatTheBackupLeftOut_data();
    void namesWhatTheBackupLeftOut();

private:
    std::unique_ptr<WindowTestBed> m_bed;
    std::unique_ptr<AutoBackup> m_backups;
    std::unique_ptr<BackupFor> m_window;
};

void TestBackupFor::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    m_bed->appDir.write(u"Diary/2024/03/05.dia"_s, "\x8D\xA1\x93\xFA\r\n");
    m_bed->appDir.write(u"Diary/2024/12/31.dia"_s, "last\r\n");
    m_backups = std::make_unique<AutoBackup>();
    m_window = std::make_unique<BackupFor>(m_backups.get());
}

void TestBackupFor::cleanup()
{
    m_window.reset();
    m_backups.reset();
    m_bed.reset();
}

void TestBackupFor::textsFitAndEscapeCloses()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    for (QWidget *widget : m_window->findChildren<QWidget *>()) {
        QString text;
        if (auto *label = qobject_cast<QLabel *>(widget))
            text = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            text = button->text();
        const int needed = QFontMetrics(widget->font()).horizontalAdvance(text.remove(u'&'));
        QVERIFY2(needed <= widget->contentsRect().width(), qPrintable(text));
    }
    QTest::keyClick(m_window->BackupList, Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
}

void TestBackupFor::restoresDeletedDiaryFromTheWindow()
{
    m_window->show();
    QSignalSpy ended(m_backups.get(), &AutoBackup::finished);
    m_window->BackupCom->setFocus();
    QTest::keyClick(m_window->BackupCom, Qt::Key_Space);
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().toBool(), true);
    QCOMPARE(m_window->BackupList->count(), 1);
    QVERIFY(m_window->LastLab->text().contains(m_window->BackupList->item(0)->text()));

    const QString diary = m_bed->appDir.filePath(u"Diary"_s);
    const Tree before = treeBelow(diary);
    QVERIFY(QDir(diary).removeRecursively());
    QString question;
    ModalAnswerer<QMessageBox> answer([&question](QMessageBox *box) {
        question = box->text();
        box->findChild<QPushButton *>(u"EverythingCom"_s)->click();
    });
    m_window->RestoreCom->setFocus();
    QTest::keyClick(m_window->RestoreCom, Qt::Key_Return);
    QVERIFY2(question.contains(u"2 日分の日記があります（2024/03/05～2024/12/31）"_s),
             qPrintable(question));
    QCOMPARE(treeBelow(diary), before);
    QCOMPARE(m_bed->errors, QStringList());
    // The backup before the restore is listed beside the one restored from.
    QCOMPARE(m_window->BackupList->count(), 2);
}

// A folder written into the settings by hand where backups may not go: the window says why
// backups fail, and the backup made from it fails without writing there.
void TestBackupFor::refusedFolderIsExplained()
{
    QVERIFY(IniWrite(BackupSection, BackupFolderKey, m_bed->appDir.filePath(u"HTML/backups"_s)));
    BackupFor window(m_backups.get());
    window.show();
    QCOMPARE(window.StatusLab->text(), backupFolderFaultText(BackupFolderFault::InHtml));
    QVERIFY(window.StatusLab->sizeHint().width() <= window.StatusLab->width());
    QSignalSpy ended(m_backups.get(), &AutoBackup::finished);
    QTest::mouseClick(window.BackupCom, Qt::LeftButton);
    QTRY_COMPARE(ended.size(), 1);
    QCOMPARE(ended.first().first().toBool(), false);
    QVERIFY(!QFileInfo::exists(m_bed->appDir.filePath(u"HTML/backups"_s)));
}

void TestBackupFor::restoreTakesTheConnectionOnlyWhenAsked_data()
{
    QTest::addColumn<bool>("asked"); // 復元でバックアップの接続設定も戻す checked
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("password");
    QTest::newRow("left unchecked: today's connection")
        << false << u"new.example.jp"_s << u"today-pw"_s;
    QTest::newRow("checked: the backup's server, without today's password")
        << true << u"old.example.com"_s << QString();
}

// A backup from before a change of provider: restored whole, the next upload still goes to
// today's server, and today's password never goes with the backup's server.
void TestBackupFor::restoreTakesTheConnectionOnlyWhenAsked()
{
    QFETCH(bool, asked);
    QFETCH(QString, server);
    QFETCH(QString, password);
    m_bed->appDir.write(u"Kakiva.ini"_s, "[FTP]\r\nServer=old.example.com\r\nName=me\r\n");
    m_window->show();
    QSignalSpy ended(m_backups.get(), &AutoBackup::finished);
    QTest::mouseClick(m_window->BackupCom, Qt::LeftButton);
    QTRY_COMPARE(ended.size(), 1);
    m_bed->appDir.write(u"Kakiva.ini"_s,
                        "[FTP]\r\nServer=new.example.jp\r\nName=me\r\nPassword=today-pw\r\n");

    QVERIFY(!m_window->ConnectionChk->isChecked());
    if (asked) {
        m_window->ConnectionChk->setFocus();
        QTest::keyClick(m_window->ConnectionChk, Qt::Key_Space);
    }
    ModalAnswerer<QMessageBox> answer([](QMessageBox *box) {
        box->findChild<QPushButton *>(u"EverythingCom"_s)->click();
    });
    QTest::mouseClick(m_window->RestoreCom, Qt::LeftButton);
    QCOMPARE(m_bed->errors, QStringList());
    QCOMPARE(IniRead(FtpSection, ServerKey), server);
    QCOMPARE(IniRead(FtpSection, PasswordKey), password);
}

void TestBackupFor::namesWhatTheBackupLeftOut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("pipe");
    QTest::newRow("sent.json is a pipe") << u"sent.json"_s << true;
    QTest::newRow("known_hosts is a folder") << u"known_hosts"_s << false;
}

void TestBackupFor::namesWhatTheBackupLeftOut()
{
    QFETCH(QString, name);
    QFETCH(bool, pipe);
    const QString path = m_bed->appDir.filePath(name);
    if (pipe)
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(QDir().mkpath(path + u"/inside"_s));
    m_window->show();
    QSignalSpy ended(m_backups.get(), &AutoBackup::finished);
    QTest::keyClick(m_window->BackupCom, Qt::Key_Space);
    QTRY_COMPARE(ended.size(), 1);
    // The rest was backed up; the window says what stayed out and why, in the user's words.
    QCOMPARE(ended.first().first().toBool(), true);
    QCOMPARE(m_window->BackupList->count(), 1);
    QCOMPARE(m_window->StatusLab->text(),
             u"バックアップしました。\n"_s + name + u": ファイルではないため除外しました"_s);
    QCOMPARE(m_bed->errors, QStringList());
}

QTEST_MAIN(TestBackupFor)
#include "TestBackupFor.moc"

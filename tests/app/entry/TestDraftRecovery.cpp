#include "app/calendar/MainFor.h"
#include "app/entry/DiaryInpFor.h"
#include "diary/EntryDrafts.h"
#include "platform/AppDir.h"

#include "EntryText.h"
#include "KeyboardInput.h"
#include "WindowTestBed.h"

#include <QCalendarWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextCharFormat>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

const QDate Day(2004, 3, 5);
// Blank first lines, characters the entries' code page cannot hold, and a reference
// typed as text: a draft gives back exactly what was typed.
const QString Typed = u"\n今日は晴れ😀\n¥100 〜 &#38; x"_s;

// The first start, in a process of its own: opens the entry dialog, types and runs on
// until it is killed.
int typeIn(const QString &directory)
{
    setApplicationDirectory(directory);
    DiaryInpFor dialog;
    dialog.YearStr = u"2004"_s;
    dialog.MonthStr = u"3"_s;
    dialog.DayStr = u"5"_s;
    QTimer::singleShot(0, &dialog, [&dialog] { typeText(dialog.DiaryTex, Typed); });
    return dialog.showModal();
}

} // namespace

class TestDraftRecovery : public QObject
{
    Q_OBJECT

private slots:
    void killedWhileTypingLosesNothing();
};

void TestDraftRecovery::killedWhileTypingLosesNothing()
{
    WindowTestBed bed;
    QProcess first;
    first.start(QCoreApplication::applicationFilePath(), {u"--type-in"_s, bed.appDir.path()});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(draftFilePath(paddedDateFields(Day))), 20000);
    first.kill();
    QVERIFY(first.waitForFinished());

    // Started again: told once, the day marked, and the text back through the question.
    QStringList told;
    ModalAnswerer<QMessageBox> boxes([&](QMessageBox *box) {
        told << box->text();
        QTest::keyClick(box->focusWidget(), Qt::Key_Space);
    });
    QString restored;
    ModalAnswerer<DiaryInpFor> dialogs([&](DiaryInpFor *dialog) {
        restored = dialog->DiaryTex->toPlainText();
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
    });
    MainFor window;
    window.showCentred();
    QTRY_COMPARE(told.size(), 1);
    window.DayCal->setSelectedDate(Day);
    QVERIFY(window.DayCal->dateTextFormat(Day).fontItalic());
    QTest::keyClick(window.DayCal->findChild<QTableView *>(), Qt::Key_Return);
    QTRY_COMPARE(dialogs.shown(), 1);

    QCOMPARE(told, (QStringList{u"保存されていない下書きがあります。\n2004/03/05\n"
                                u"その日を開くと、下書きを戻せます。"_s,
                                u"保存されていない下書きがあります。"_s}));
    QCOMPARE(restored, Typed);
    QCOMPARE(bed.appDir.read(u"Diary/2004/03/05.dia"_s), entryFileBytes(Typed));
    QVERIFY(!QFile::exists(draftFilePath(paddedDateFields(Day))));
    QVERIFY(!window.DayCal->dateTextFormat(Day).fontItalic());
    QVERIFY(bed.errors.isEmpty());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--type-in") == 0)
        return typeIn(QString::fromLocal8Bit(argv[2]));
    TestDraftRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "TestDraftRecovery.moc"

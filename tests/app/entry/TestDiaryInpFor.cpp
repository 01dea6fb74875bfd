#include "app/entry/DiaryInpFor.h"
#include "app/kit/ErrorMessage.h"
#include "diary/EntryDrafts.h"

#include "DayPages.h"
#include "EntryText.h"
#include "KeyboardInput.h"
#include "TestTree.h"
#include "WindowTestBed.h"
#include "WriteFault.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <optional>

using namespace Kakiva;
using namespace Qt::StringLiterals;

class TestDiaryInpFor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadPadsTheDate_data();
    void loadPadsTheDate();
    void loadShowsTheStoredEntry_data();
    void loadShowsTheStoredEntry();
    void okSavesAndRewritesThePages_data();
    void okSavesAndRewritesThePages();
    void leavingAndDrafts_data();
    void leavingAndDrafts();
    void draftGoesOnlyWithTheText_data();
    void draftGoesOnlyWithTheText();
    void failureKeepsTheDialogAndTheText_data();
    void failureKeepsTheDialogAndTheText();
    void failureIsShownInAWarningBox();
    void unreadableEntryIsReportedAndKept_data();
    void unreadableEntryIsReportedAndKept();

private:
    int showFor(const QString &month, const QString &day,
                ModalAnswerer<DiaryInpFor>::Answer answer);

    std::unique_ptr<WindowTestBed> m_bed;
    std::unique_ptr<DiaryInpFor> m_dialog;
};

namespace {

enum class Leave
{
    Ok,
    OkOnEmptyBox,
    Cancel,
    Escape,
    CloseWindow,
};

// How a question of the dialog is answered: by the button that has the focus, by Escape,
// or by clicking the other button.
enum class Answer
{
    None, // no question expected
    Focused,
    Escape,
    Discard,
    UseSaved,
};

const QString EntryPath = u"Diary/2004/03/05.dia"_s;

void answerBox(QMessageBox *box, Answer answer, QStringList &questions)
{
    questions << box->text();
    const auto button = [box](const QString &caption) {
        const QList<QAbstractButton *> buttons = box->buttons();
        return *std::ranges::find(buttons, caption, &QAbstractButton::text);
    };
    if (answer == Answer::Focused)
        QTest::keyClick(box->focusWidget(), Qt::Key_Space);
    else if (answer == Answer::Escape)
        QTest::keyClick(box, Qt::Key_Escape);
    else if (answer == Answer::Discard)
        QTest::mouseClick(button(u"破棄(&D)"_s), Qt::LeftButton);
    else if (answer == Answer::UseSaved)
        QTest::mouseClick(button(u"保存済みを使う(&S)"_s), Qt::LeftButton);
}

QStringList pagesOf0305()
{
    return pagesOfDay(u"2004"_s, u"03"_s, u"05"_s);
}

} // namespace

void TestDiaryInpFor::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    m_bed->setServer();
    m_dialog = std::make_unique<DiaryInpFor>();
}

void TestDiaryInpFor::cleanup()
{
    m_dialog.reset();
    m_bed.reset();
}

// Shows the dialog for a day of 2004, as the calendar hands it over.
int TestDiaryInpFor::showFor(const QString &month, const QString &day,
                             ModalAnswerer<DiaryInpFor>::Answer answer)
{
    m_dialog->YearStr = u"2004"_s;
    m_dialog->MonthStr = month;
    m_dialog->DayStr = day;
    return showAnswered(m_dialog.get(), std::move(answer));
}

void TestDiaryInpFor::loadPadsTheDate_data()
{
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("paddedMonth");
    QTest::addColumn<QString>("paddedDay");
    QTest::newRow("9 and 1 get a zero") << u"9"_s << u"1"_s << u"09"_s << u"01"_s;
    QTest::newRow("10 and 31 stay") << u"10"_s << u"31"_s << u"10"_s << u"31"_s;
    QTest::newRow("already padded stays two digits") << u"03"_s << u"05"_s << u"03"_s << u"05"_s;
}

void TestDiaryInpFor::loadPadsTheDate()
{
    QFETCH(QString, month);
    QFETCH(QString, day);
    QFETCH(QString, paddedMonth);
    QFETCH(QString, paddedDay);

    QStringList seen;
    showFor(month, day, [&](DiaryInpFor *dialog) {
        seen << dialog->YearStr << dialog->MonthStr << dialog->DayStr << dialog->windowTitle();
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(seen, (QStringList{u"2004"_s, paddedMonth, paddedDay,
                                u"日記-2004/"_s + paddedMonth + u'/' + paddedDay}));
}

void TestDiaryInpFor::loadShowsTheStoredEntry_data()
{
    QTest::addColumn<std::optional<QByteArray>>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("a day without an entry") << std::optional<QByteArray>() << QString();
    QTest::newRow("two lines") << std::optional(QByteArray("a\r\nb\r\n")) << u"a\nb"_s;
    QTest::newRow("a blank line in between")
        << std::optional(QByteArray("a\r\n\r\nb\r\n")) << u"a\n\nb"_s;
}

void TestDiaryInpFor::loadShowsTheStoredEntry()
{
    QFETCH(std::optional<QByteArray>, stored);
    QFETCH(QString, shown);
    if (stored)
        m_bed->appDir.write(EntryPath, *stored);

    QString text;
    bool focused = false;
    showFor(u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        text = dialog->DiaryTex->toPlainText();
        focused = QTest::qWaitFor([&] { return dialog->DiaryTex->hasFocus(); });
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(text, shown);
    QVERIFY(focused);
    QVERIFY(QFile::exists(m_bed->appDir.filePath(u"Diary"_s)) == stored.has_value());
}

void TestDiaryInpFor::okSavesAndRewritesThePages_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("okKey"); // 0: OK is clicked
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("one line, OK clicked")
        << QByteArray() << u"hello"_s << 0 << QByteArray("hello\r\n");
    QTest::newRow("Return starts a line, OK by Tab and Space")
        << QByteArray() << u"a\nb"_s << int(Qt::Key_Space) << QByteArray("a\r\nb\r\n");
    QTest::newRow("only blanks") << QByteArray() << u"   "_s << 0 << QByteArray("   \r\n");
    QTest::newRow("only line ends, OK by Tab and Return")
        << QByteArray() << u"\n\n"_s << int(Qt::Key_Return) << QByteArray("\r\n\r\n\r\n");
    QTest::newRow("Japanese") << QByteArray() << u"今日は晴れ\n散歩"_s << 0
                              << entryFileBytes(u"今日は晴れ\n散歩"_s);
    QTest::newRow("added to an existing entry")
        << QByteArray("old\r\n") << u" and new"_s << 0 << QByteArray("old and new\r\n");
}

void TestDiaryInpFor::okSavesAndRewritesThePages()
{
    QFETCH(QByteArray, existing);
    QFETCH(QString, typed);
    QFETCH(int, okKey);
    QFETCH(QByteArray, stored);
    if (!existing.isEmpty())
        m_bed->appDir.write(EntryPath, existing);

    const int result = showFor(u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        dialog->DiaryTex->moveCursor(QTextCursor::End);
        typeText(dialog->DiaryTex, typed);
        if (okKey) {
            // Keys go to the dialog's focus control, which Tab moves from the box to OK.
            QTest::keyClick(dialog->DiaryTex, Qt::Key_Tab);
            QCOMPARE(dialog->focusWidget(), dialog->OkCom);
            QTest::keyClick(dialog->focusWidget(), Qt::Key(okKey));
        } else {
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        }
    });

    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_bed->appDir.read(EntryPath), stored);
    QCOMPARE(existingOf(pagesOf0305()), pagesOf0305());
    const QByteArray firstLine = stored.left(stored.indexOf("\r\n"));
    QVERIFY(readWholeFile(pagesOf0305().first()).contains(firstLine + "<BR>"));
    QVERIFY(m_bed->errors.isEmpty());
    QCOMPARE(m_bed->uploads.shown(), 1);
}

void TestDiaryInpFor::leavingAndDrafts_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QString>("draft");
    QTest::addColumn<int>("draftAge"); // seconds the draft is newer than the entry
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Leave>("leave");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("closed");
    const QByteArray old("old\r\n");
    const QString drafted = u"書きかけ😀¥\n"_s;
    const QString discard = u"変更を破棄しますか？"_s;
    const QString restore = u"保存されていない下書きがあります。"_s;
    QTest::newRow("OK after emptying the entry")
        << old << QString() << 0 << QString() << Leave::OkOnEmptyBox << Answer::None << QString()
        << u"old"_s << true;
    QTest::newRow("Cancel, typed back to the entry")
        << old << QString() << 0 << u"x\b"_s << Leave::Cancel << Answer::None << QString()
        << u"old"_s << true;
    QTest::newRow("Cancel after typing, discarded")
        << old << QString() << 0 << u"x"_s << Leave::Cancel << Answer::Discard << discard
        << u"old"_s << true;
    QTest::newRow("Cancel after typing, focused いいえ")
        << old << QString() << 0 << u"x"_s << Leave::Cancel << Answer::Focused << discard
        << u"old"_s << false;
    QTest::newRow("frame after typing, Escape on the question")
        << old << QString() << 0 << u"x"_s << Leave::CloseWindow << Answer::Escape << discard
        << u"old"_s << false;
    QTest::newRow("Escape twice after typing") << old << QString() << 0 << u"x"_s << Leave::Escape
                                               << Answer::None << QString() << u"old"_s << false;
    QTest::newRow("draft, no entry: focused answer restores")
        << QByteArray() << drafted << 60 << QString() << Leave::Ok << Answer::Focused << restore
        << drafted << true;
    QTest::newRow("newer draft: Escape restores") << old << drafted << 60 << QString() << Leave::Ok
                                                  << Answer::Escape << restore << drafted << true;
    QTest::newRow("newer draft: saved entry chosen")
        << old << drafted << 60 << QString() << Leave::Ok << Answer::UseSaved << restore << u"old"_s
        << true;
    QTest::newRow("draft older than the entry: not offered")
        << old << drafted << -60 << QString() << Leave::Ok << Answer::None << QString() << u"old"_s
        << true;
    QTest::newRow("draft same as the entry: not offered")
        << old << u"old"_s << 60 << QString() << Leave::Ok << Answer::None << QString() << u"old"_s
        << true;
}

// A changed text is only thrown away when the user says so, and a draft only fills the
// box: nothing is saved until OK, and no draft outlives the dialog.
void TestDiaryInpFor::leavingAndDrafts()
{
    QFETCH(QByteArray, existing);
    QFETCH(QString, draft);
    QFETCH(int, draftAge);
    QFETCH(QString, typed);
    QFETCH(Leave, leave);
    QFETCH(Answer, answer);
    QFETCH(QString, asked);
    QFETCH(QString, shown);
    QFETCH(bool, closed);
    const DateFields day{u"2004"_s, u"03"_s, u"05"_s};
    if (!draft.isEmpty())
        QVERIFY(writeDraft(day, draft));
    if (!existing.isEmpty()) {
        QFile entry(m_bed->appDir.write(EntryPath, existing));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QDateTime drafted = QFileInfo(draftFilePath(day)).lastModified();
        if (!draft.isEmpty())
            QVERIFY(
                entry.setFileTime(drafted.addSecs(-draftAge), QFileDevice::FileModificationTime));
    }
    const Tree before = treeBelow(m_bed->appDir.path());
    const auto stored = [&] {
        const QString path = m_bed->appDir.filePath(EntryPath);
        return QFile::exists(path) ? readWholeFile(path) : QByteArray();
    };
    QStringList questions;
    ModalAnswerer<QMessageBox> boxes([&](QMessageBox *box) { answerBox(box, answer, questions); });

    QString loaded;
    QByteArray storedWhileOpen;
    bool closedByLeaving = false;
    QStringList askedWhileLeaving;
    const int result = showFor(u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        loaded = dialog->DiaryTex->toPlainText();
        storedWhileOpen = stored();
        dialog->DiaryTex->moveCursor(QTextCursor::End);
        typeText(dialog->DiaryTex, typed);
        switch (leave) {
        case Leave::OkOnEmptyBox:
            clearText(dialog->DiaryTex);
            [[fallthrough]];
        case Leave::Ok:
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
            break;
        case Leave::Cancel:
            QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
            break;
        case Leave::Escape:
            QTest::keyClick(dialog->DiaryTex, Qt::Key_Escape);
            QTest::keyClick(dialog->DiaryTex, Qt::Key_Escape);
            break;
        case Leave::CloseWindow:
            dialog->close();
            break;
        }
        closedByLeaving = !dialog->isVisible();
        askedWhileLeaving = questions;
        answer = Answer::Discard;
        if (dialog->isVisible())
            QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });

    QCOMPARE(loaded, shown);
    QCOMPARE(askedWhileLeaving, asked.isEmpty() ? QStringList() : QStringList{asked});
    QCOMPARE(closedByLeaving, closed);
    QCOMPARE(storedWhileOpen, existing);
    QCOMPARE(result, int(leave == Leave::Ok ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(stored(), leave == Leave::Ok ? entryFileBytes(shown) : existing);
    QVERIFY(!QFile::exists(draftFilePath(day)));
    if (leave != Leave::Ok)
        QCOMPARE(treeBelow(m_bed->appDir.path()), before);
    QVERIFY(m_bed->errors.isEmpty());
}

void TestDiaryInpFor::draftGoesOnlyWithTheText_data()
{
    QTest::addColumn<Leave>("leave");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("draftWhileOpen"); // after leaving, the dialog still open
    QTest::addColumn<bool>("draftAfter");     // once the dialog has closed
    // The entry is saved, the pages fail: the dialog stays open, and the draft has gone
    // with the save, before the dialog closes.
    QTest::newRow("OK, saved, pages failed") << Leave::Ok << Answer::None << false << false;
    QTest::newRow("Cancel, 破棄") << Leave::Cancel << Answer::Discard << false << false;
    // The question kept the dialog open: the draft stays until the text goes.
    QTest::newRow("Cancel, いいえ, then 破棄") << Leave::Cancel << Answer::Focused << true << false;
}

// The draft exists before the dialog is left, as it would after a pause in the typing: it
// goes exactly when the text it keeps is saved or thrown away, never before.
void TestDiaryInpFor::draftGoesOnlyWithTheText()
{
    QFETCH(Leave, leave);
    QFETCH(Answer, answer);
    QFETCH(bool, draftWhileOpen);
    QFETCH(bool, draftAfter);
    const DateFields day{u"2004"_s, u"03"_s, u"05"_s};
    if (leave == Leave::Ok)
        m_bed->appDir.write(u"HTML"_s, "in the way"); // the pages fail after the save
    QStringList questions;
    ModalAnswerer<QMessageBox> boxes([&](QMessageBox *box) { answerBox(box, answer, questions); });

    bool drafted = false;
    bool draftAfterLeaving = false;
    bool openAfterLeaving = false;
    showFor(u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"書きかけ"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(draftFilePath(day)), 20000);
        drafted = true;
        QTest::mouseClick(leave == Leave::Ok ? dialog->OkCom : dialog->CancelCom, Qt::LeftButton);
        openAfterLeaving = dialog->isVisible();
        draftAfterLeaving = QFile::exists(draftFilePath(day));
        answer = Answer::Discard;
        if (dialog->isVisible())
            QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });

    QVERIFY(drafted);
    QCOMPARE(openAfterLeaving, leave == Leave::Ok || draftWhileOpen);
    QCOMPARE(draftAfterLeaving, draftWhileOpen);
    QCOMPARE(QFile::exists(draftFilePath(day)), draftAfter);
}

void TestDiaryInpFor::failureKeepsTheDialogAndTheText_data()
{
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<bool>("diskFull");
    QTest::addColumn<QString>("failingPath");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("savedBeforeFailure");
    QTest::addColumn<bool>("tryAgain");

    const QString entryFailed = u"日記を保存できませんでした。"_s;
    const QString pagesFailed = u"ページを作成できませんでした。"_s;
    QTest::newRow("Diary is a file, then OK again")
        << u"Diary"_s << false << u"Diary"_s << entryFailed << false << true;
    QTest::newRow("Diary is a file, then Cancel")
        << u"Diary"_s << false << u"Diary"_s << entryFailed << false << false;
    QTest::newRow("disk full while saving, then OK again")
        << QString() << true << EntryPath << entryFailed << false << true;
    QTest::newRow("HTML is a file, then OK again")
        << u"HTML"_s << false << u"HTML"_s << pagesFailed << true << true;
    QTest::newRow("HTML is a file, then Cancel")
        << u"HTML"_s << false << u"HTML"_s << pagesFailed << true << false;
}

void TestDiaryInpFor::failureKeepsTheDialogAndTheText()
{
    QFETCH(QString, blocker);
    QFETCH(bool, diskFull);
    QFETCH(QString, failingPath);
    QFETCH(QString, what);
    QFETCH(bool, savedBeforeFailure);
    QFETCH(bool, tryAgain);
    if (!blocker.isEmpty())
        m_bed->appDir.write(blocker, "in the way");
    const QString typed = u"an entry longer than the disk allows"_s;
    // Cancel on the unsaved text asks first.
    QStringList questions;
    ModalAnswerer<QMessageBox> boxes(
        [&](QMessageBox *box) { answerBox(box, Answer::Discard, questions); });

    bool openAfterFailure = false;
    QString textAfterFailure;
    QStringList errorsAfterFailure;
    bool savedAfterFailure = false;
    int uploadsAfterFailure = -1;
    const int result = showFor(u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, typed);
        {
            const WriteFault inForce(diskFull ? WriteFault::DiskFull : WriteFault::None, {}, 8);
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        }
        openAfterFailure = dialog->isVisible();
        textAfterFailure = dialog->DiaryTex->toPlainText();
        errorsAfterFailure = m_bed->errors;
        savedAfterFailure = QFile::exists(m_bed->appDir.filePath(EntryPath));
        uploadsAfterFailure = m_bed->uploads.shown();
        if (tryAgain) {
            if (!blocker.isEmpty())
                QFile::remove(m_bed->appDir.filePath(blocker));
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        } else {
            QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
        }
    });

    QVERIFY(openAfterFailure);
    QCOMPARE(textAfterFailure, typed);
    QCOMPARE(errorsAfterFailure.size(), 1);
    QCOMPARE(uploadsAfterFailure, 0);
    QCOMPARE(m_bed->uploads.shown(), tryAgain ? 1 : 0);
    const QString &message = errorsAfterFailure.first();
    QVERIFY2(message.startsWith(what + u'\n'), qPrintable(message));
    const QString path = QDir::toNativeSeparators(m_bed->appDir.filePath(failingPath));
    // The path that failed (the blocker, or something below it) and the system's reason.
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY2(message.section(u": "_s, 1).size() > 0, qPrintable(message));
    QCOMPARE(savedAfterFailure, savedBeforeFailure);

    QCOMPARE(result, int(tryAgain ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(m_bed->errors.size(), 1);
    if (tryAgain) {
        QCOMPARE(m_bed->appDir.read(EntryPath), typed.toLatin1() + "\r\n");
        QCOMPARE(existingOf(pagesOf0305()), pagesOf0305());
    } else {
        QCOMPARE(QFile::exists(m_bed->appDir.filePath(EntryPath)), savedBeforeFailure);
        QCOMPARE(existingOf(pagesOf0305()), QStringList());
    }
}

void TestDiaryInpFor::failureIsShownInAWarningBox()
{
    setErrorPresenter({});
    m_bed->appDir.write(u"Diary"_s, "in the way");
    QString boxText;
    QString boxTitle;
    QWidget *boxOwner = nullptr;
    ModalAnswerer<QMessageBox> box([&](QMessageBox *shown) {
        boxText = shown->text();
        boxTitle = shown->windowTitle();
        boxOwner = shown->parentWidget();
        QTest::mouseClick(shown->button(QMessageBox::Ok), Qt::LeftButton);
    });
    bool openAfterBox = false;
    showFor(u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"text"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        openAfterBox = dialog->isVisible();
        clearText(dialog->DiaryTex);
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });

    QCOMPARE(box.shown(), 1);
    QCOMPARE(box.leftOpen(), 0);
    QVERIFY(openAfterBox);
    QCOMPARE(boxOwner, m_dialog.get());
    QCOMPARE(boxTitle, u"日記-2004/03/05"_s);
    QVERIFY2(boxText.startsWith(u"日記を保存できませんでした。\n"_s), qPrintable(boxText));
    QVERIFY2(boxText.contains(QDir::toNativeSeparators(m_bed->appDir.filePath(u"Diary"_s))),
             qPrintable(boxText));
}

void TestDiaryInpFor::unreadableEntryIsReportedAndKept_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("no read permission") << u"file"_s;
    QTest::newRow("named pipe") << u"pipe"_s;
    QTest::newRow("directory") << u"directory"_s;
}

void TestDiaryInpFor::unreadableEntryIsReportedAndKept()
{
    QFETCH(QString, kind);
    if (kind == u"file" && runsAsSuperuser())
        QSKIP("permissions do not stop the superuser");
    const QString entry = m_bed->appDir.filePath(EntryPath);
    QVERIFY(QDir().mkpath(QFileInfo(entry).path()));
    if (kind == u"file") {
        m_bed->appDir.write(EntryPath, "old\r\n");
        QVERIFY(QFile::setPermissions(entry, QFileDevice::WriteOwner));
    } else if (kind == u"pipe") {
        QCOMPARE(::mkfifo(QFile::encodeName(entry).constData(), 0600), 0);
    } else {
        QVERIFY(QDir().mkdir(entry));
    }

    bool locked = false;
    QString shownInBox;
    const int result = showFor(u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        locked = dialog->DiaryTex->isReadOnly() && !dialog->OkCom->isEnabled();
        shownInBox = dialog->DiaryTex->placeholderText();
        typeText(dialog->DiaryTex, u"new"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QFile::setPermissions(entry, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(locked);
    QCOMPARE(m_bed->errors.size(), 1);
    const QString named = QDir::toNativeSeparators(entry) + u": "_s;
    QVERIFY2(m_bed->errors.first().startsWith(u"日記を読み込めませんでした。\n"_s + named),
             qPrintable(m_bed->errors.first()));
    QVERIFY2(shownInBox.contains(named), qPrintable(shownInBox));
    const QFileInfo after(entry);
    QCOMPARE((QList<bool>{after.isFile(), after.isDir()}),
             (QList<bool>{kind == u"file", kind == u"directory"}));
    if (kind == u"file")
        QCOMPARE(m_bed->appDir.read(EntryPath), QByteArray("old\r\n"));
    QCOMPARE(existingOf(pagesOf0305()), QStringList());
}

QTEST_MAIN(TestDiaryInpFor)
#include "TestDiaryInpFor.moc"

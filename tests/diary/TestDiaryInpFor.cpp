#include "app/ErrorMessage.h"
#include "diary/DiaryInpFor.h"
#include "pages/PagePaths.h"
#include "publish/UpFor.h"
#include "platform/Cp932.h"

#include "FileSizeLimit.h"
#include "KeyboardInput.h"
#include "ModalAnswerer.h"
#include "TestAppDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

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
    void leavingWithoutTextChangesNothing_data();
    void leavingWithoutTextChangesNothing();
    void failureKeepsTheDialogAndTheText_data();
    void failureKeepsTheDialogAndTheText();
    void failureIsShownInAWarningBox();

private:
    int showFor(const QString &year, const QString &month, const QString &day,
                const std::function<void(DiaryInpFor *)> &answer);
    QByteArray entryBytes() const;

    std::unique_ptr<TestAppDir> m_appDir;
    std::unique_ptr<ModalAnswerer<UpFor>> m_uploads;
    std::unique_ptr<DiaryInpFor> m_dialog;
    QStringList m_errors;
};

namespace {

using Tree = QMap<QString, QByteArray>;

enum class Leave
{
    OkOnEmptyBox,
    Cancel,
    Escape,
    CloseWindow,
};

const QString EntryPath = u"Diary/2004/03/05.dia"_s;

// Every file below root with its bytes, so "nothing changed" can be checked whole.
Tree treeBelow(const QString &root)
{
    Tree tree;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        tree.insert(relative, it.fileInfo().isDir() ? QByteArray("<dir>") : readWholeFile(path));
    }
    return tree;
}

QStringList pagesOf0305()
{
    return {yearListPath(), monthListPath(u"2004"_s), dayListPath(u"2004"_s, u"03"_s),
            dayPagePath(u"2004"_s, u"03"_s, u"05"_s)};
}

bool allExist(const QStringList &paths)
{
    return std::all_of(paths.begin(), paths.end(),
                       [](const QString &path) { return QFile::exists(path); });
}

bool noneExists(const QStringList &paths)
{
    return std::none_of(paths.begin(), paths.end(),
                        [](const QString &path) { return QFile::exists(path); });
}

} // namespace

void TestDiaryInpFor::init()
{
    m_appDir = std::make_unique<TestAppDir>();
    m_errors.clear();
    setErrorPresenter([this](QWidget *, const QString &message) { m_errors << message; });
    // The user closes the upload window before it connects: these tests are about what
    // happens on disk; the upload has tests of its own.
    m_uploads = std::make_unique<ModalAnswerer<UpFor>>([](UpFor *window) { window->close(); });
    m_dialog = std::make_unique<DiaryInpFor>();
}

void TestDiaryInpFor::cleanup()
{
    m_dialog.reset();
    setErrorPresenter({});
    m_appDir.reset();
}

int TestDiaryInpFor::showFor(const QString &year, const QString &month, const QString &day,
                             const std::function<void(DiaryInpFor *)> &answer)
{
    ModalAnswerer<DiaryInpFor> answerer(answer);
    m_dialog->YearStr = year;
    m_dialog->MonthStr = month;
    m_dialog->DayStr = day;
    const int result = m_dialog->showModal();
    if (answerer.shown() != 1 || answerer.leftOpen() != 0)
        QTest::qFail(qPrintable(u"shown %1 times, left open %2 times"_s.arg(answerer.shown())
                                    .arg(answerer.leftOpen())),
                     __FILE__, __LINE__);
    return result;
}

QByteArray TestDiaryInpFor::entryBytes() const
{
    return readWholeFile(m_appDir->filePath(EntryPath));
}

void TestDiaryInpFor::loadPadsTheDate_data()
{
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QString>("paddedMonth");
    QTest::addColumn<QString>("paddedDay");
    QTest::newRow("9 and 1 get a zero") << u"9"_s << u"1"_s << u"09"_s << u"01"_s;
    QTest::newRow("10 and 31 stay") << u"10"_s << u"31"_s << u"10"_s << u"31"_s;
    QTest::newRow("12 stays, 5 gets a zero") << u"12"_s << u"5"_s << u"12"_s << u"05"_s;
    QTest::newRow("already padded stays two digits") << u"03"_s << u"05"_s << u"03"_s << u"05"_s;
}

void TestDiaryInpFor::loadPadsTheDate()
{
    QFETCH(QString, month);
    QFETCH(QString, day);
    QFETCH(QString, paddedMonth);
    QFETCH(QString, paddedDay);

    QStringList seen;
    showFor(u"2004"_s, month, day, [&](DiaryInpFor *dialog) {
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
    QTest::newRow("Japanese") << std::optional(toCp932(u"今日は晴れ") + "\r\n") << u"今日は晴れ"_s;
}

void TestDiaryInpFor::loadShowsTheStoredEntry()
{
    QFETCH(std::optional<QByteArray>, stored);
    QFETCH(QString, shown);
    if (stored)
        writeWholeFile(m_appDir->filePath(EntryPath), *stored);

    QString text;
    bool focused = false;
    showFor(u"2004"_s, u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        text = dialog->DiaryTex->toPlainText();
        focused = QTest::qWaitFor([&] { return dialog->DiaryTex->hasFocus(); });
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(text, shown);
    QVERIFY(focused);
    QVERIFY(QFile::exists(m_appDir->filePath(u"Diary"_s)) == stored.has_value());
}

void TestDiaryInpFor::okSavesAndRewritesThePages_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("okByKeyboard");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("one line, OK clicked")
        << QByteArray() << u"hello"_s << false << QByteArray("hello\r\n");
    QTest::newRow("Return starts a line, OK by Tab and Space")
        << QByteArray() << u"a\nb"_s << true << QByteArray("a\r\nb\r\n");
    QTest::newRow("only blanks") << QByteArray() << u"   "_s << false << QByteArray("   \r\n");
    QTest::newRow("only line ends")
        << QByteArray() << u"\n\n"_s << true << QByteArray("\r\n\r\n\r\n");
    QTest::newRow("Japanese") << QByteArray() << u"今日は晴れ\n散歩"_s << false
                              << toCp932(u"今日は晴れ") + "\r\n" + toCp932(u"散歩") + "\r\n";
    QTest::newRow("added to an existing entry")
        << QByteArray("old\r\n") << u" and new"_s << false << QByteArray("old and new\r\n");
}

void TestDiaryInpFor::okSavesAndRewritesThePages()
{
    QFETCH(QByteArray, existing);
    QFETCH(QString, typed);
    QFETCH(bool, okByKeyboard);
    QFETCH(QByteArray, stored);
    if (!existing.isEmpty())
        writeWholeFile(m_appDir->filePath(EntryPath), existing);

    const int result = showFor(u"2004"_s, u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        dialog->DiaryTex->moveCursor(QTextCursor::End);
        typeText(dialog->DiaryTex, typed);
        if (okByKeyboard) {
            // Keys go to the dialog's focus control, which Tab moves from the box to OK.
            QTest::keyClick(dialog->DiaryTex, Qt::Key_Tab);
            QCOMPARE(dialog->focusWidget(), dialog->OkCom);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Space);
        } else {
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        }
    });

    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(entryBytes(), stored);
    QVERIFY(allExist(pagesOf0305()));
    const QByteArray firstLine = stored.left(stored.indexOf("\r\n"));
    QVERIFY(readWholeFile(pagesOf0305().last()).contains(firstLine + "<BR>"));
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_uploads->shown(), 1);
}

void TestDiaryInpFor::leavingWithoutTextChangesNothing_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<Leave>("leave");
    QTest::newRow("OK on an empty box, no entry") << QByteArray() << Leave::OkOnEmptyBox;
    QTest::newRow("OK after emptying an existing entry")
        << QByteArray("kept\r\n") << Leave::OkOnEmptyBox;
    QTest::newRow("Cancel after typing") << QByteArray("kept\r\n") << Leave::Cancel;
    QTest::newRow("Escape after typing") << QByteArray("kept\r\n") << Leave::Escape;
    QTest::newRow("closing the window after typing")
        << QByteArray("kept\r\n") << Leave::CloseWindow;
}

void TestDiaryInpFor::leavingWithoutTextChangesNothing()
{
    QFETCH(QByteArray, existing);
    QFETCH(Leave, leave);
    if (!existing.isEmpty())
        writeWholeFile(m_appDir->filePath(EntryPath), existing);
    const Tree before = treeBelow(m_appDir->path());

    const int result = showFor(u"2004"_s, u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        switch (leave) {
        case Leave::OkOnEmptyBox:
            clearText(dialog->DiaryTex);
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
            break;
        case Leave::Cancel:
            typeText(dialog->DiaryTex, u"not saved"_s);
            QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
            break;
        case Leave::Escape:
            typeText(dialog->DiaryTex, u"not saved"_s);
            QTest::keyClick(dialog->DiaryTex, Qt::Key_Escape);
            break;
        case Leave::CloseWindow:
            typeText(dialog->DiaryTex, u"not saved"_s);
            dialog->close();
            break;
        }
    });

    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(treeBelow(m_appDir->path()), before);
    QVERIFY(m_errors.isEmpty());
    QCOMPARE(m_uploads->shown(), 0);
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
        writeWholeFile(m_appDir->filePath(blocker), "in the way");
    const QString typed = u"an entry longer than the disk allows"_s;

    bool openAfterFailure = false;
    QString textAfterFailure;
    QStringList errorsAfterFailure;
    bool savedAfterFailure = false;
    int uploadsAfterFailure = -1;
    const int result = showFor(u"2004"_s, u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, typed);
        {
            std::optional<FileSizeLimit> limit;
            if (diskFull)
                limit.emplace(8);
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        }
        openAfterFailure = dialog->isVisible();
        textAfterFailure = dialog->DiaryTex->toPlainText();
        errorsAfterFailure = m_errors;
        savedAfterFailure = QFile::exists(m_appDir->filePath(EntryPath));
        uploadsAfterFailure = m_uploads->shown();
        if (tryAgain) {
            if (!blocker.isEmpty())
                QFile::remove(m_appDir->filePath(blocker));
            QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        } else {
            QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
        }
    });

    QVERIFY(openAfterFailure);
    QCOMPARE(textAfterFailure, typed);
    QCOMPARE(errorsAfterFailure.size(), 1);
    QCOMPARE(uploadsAfterFailure, 0);
    QCOMPARE(m_uploads->shown(), tryAgain ? 1 : 0);
    const QString &message = errorsAfterFailure.first();
    QVERIFY2(message.startsWith(what + u'\n'), qPrintable(message));
    const QString path = QDir::toNativeSeparators(m_appDir->filePath(failingPath));
    // The path that failed (the blocker, or something below it) and the system's reason.
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY2(message.section(u": "_s, 1).size() > 0, qPrintable(message));
    QCOMPARE(savedAfterFailure, savedBeforeFailure);

    QCOMPARE(result, int(tryAgain ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(m_errors.size(), 1);
    if (tryAgain) {
        QCOMPARE(entryBytes(), typed.toLatin1() + "\r\n");
        QVERIFY(allExist(pagesOf0305()));
    } else {
        QCOMPARE(QFile::exists(m_appDir->filePath(EntryPath)), savedBeforeFailure);
        QVERIFY(noneExists(pagesOf0305()));
    }
}

void TestDiaryInpFor::failureIsShownInAWarningBox()
{
    setErrorPresenter({});
    writeWholeFile(m_appDir->filePath(u"Diary"_s), "in the way");
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
    showFor(u"2004"_s, u"3"_s, u"5"_s, [&](DiaryInpFor *dialog) {
        typeText(dialog->DiaryTex, u"text"_s);
        QTest::mouseClick(dialog->OkCom, Qt::LeftButton);
        openAfterBox = dialog->isVisible();
        QTest::mouseClick(dialog->CancelCom, Qt::LeftButton);
    });

    QCOMPARE(box.shown(), 1);
    QCOMPARE(box.leftOpen(), 0);
    QVERIFY(openAfterBox);
    QCOMPARE(boxOwner, m_dialog.get());
    QCOMPARE(boxTitle, u"日記-2004/03/05"_s);
    QVERIFY2(boxText.startsWith(u"日記を保存できませんでした。\n"_s), qPrintable(boxText));
    QVERIFY2(boxText.contains(QDir::toNativeSeparators(m_appDir->filePath(u"Diary"_s))),
             qPrintable(boxText));
}

QTEST_MAIN(TestDiaryInpFor)
#include "TestDiaryInpFor.moc"

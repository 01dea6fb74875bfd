// Pictures in the entry dialog, driven as a user drives it: the button fits beside OK, Ctrl+I
// takes a typed path, a dropped file and a pasted screenshot each put one line in at the
// cursor, a pasted text stays text, a bad file leaves the text as it was with a message,
// and OK pressed while a picture is still being made saves it once it is in.

#include "KeyboardInput.h"
#include "PictureFixtures.h"
#include "WindowTestBed.h"

#include "app/entry/DiaryInpFor.h"
#include "app/entry/PictureStrip.h"
#include "diary/DayPictureNames.h"
#include "diary/EntryStore.h"
#include "pictures/DayPictureStore.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

const DateFields Day{u"2004"_s, u"12"_s, u"05"_s};
const QString Typed = u"晴れ。\n猫が来た。"_s;

void dropFiles(QWidget *target, const QStringList &paths, QPoint at = QPoint())
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    QMimeData data;
    data.setUrls(urls);
    if (at.isNull())
        at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// Closes the dialog without a question when an answer stops at a failed check, so the
// failure is reported instead of the run waiting on a question box.
struct CloseAfter
{
    QDialog *dialog;
    ~CloseAfter()
    {
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
    }
};

// A picture the day already has, as an earlier insert left it.
bool storeDayPictureFixture(const DateFields &date)
{
    QString name;
    QString error;
    return storeDayPicture(date, makeWebPicture(quadrantScene(60, 40), 1600), &name, &error);
}

// Whether the widget lies wholly inside the dialog and shows its caption uncut.
bool fitsIn(const QWidget *widget, const QWidget *dialog)
{
    return dialog->rect().contains(widget->geometry());
}

} // namespace

class TestEntryPictures : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonFitsBesideOk();
    void insertedAtTheCursor_data();
    void insertedAtTheCursor();
    void pastedTextStaysText();
    void badFileChangesNothing_data();
    void badFileChangesNothing();
    void okWaitsForThePicture();
    void okWaitingIsCalledOffByAFailure();

private:
    int show(ModalAnswerer<DiaryInpFor>::Answer answer);

    std::unique_ptr<WindowTestBed> m_bed;
    std::unique_ptr<DiaryInpFor> m_dialog;
    QString m_photo;
};

void TestEntryPictures::init()
{
    m_bed = std::make_unique<WindowTestBed>();
    QVERIFY(DiaryWrite(Day.year, Day.month, Day.day, QString(Typed).replace(u'\n', u"\r\n"_s)) ==
            0);
    m_photo =
        m_bed->appDir.write(u"camera/IMG_0001.JPG"_s, jpegWithExif(quadrantScene(300, 200), 6));
    m_dialog = std::make_unique<DiaryInpFor>();
}

void TestEntryPictures::cleanup()
{
    m_dialog.reset();
    m_bed.reset();
}

int TestEntryPictures::show(ModalAnswerer<DiaryInpFor>::Answer answer)
{
    m_dialog->YearStr = Day.year;
    m_dialog->MonthStr = u"12"_s;
    m_dialog->DayStr = u"5"_s;
    return showAnswered(m_dialog.get(), std::move(answer));
}

void TestEntryPictures::buttonFitsBesideOk()
{
    QVERIFY(storeDayPictureFixture(Day));
    show([](DiaryInpFor *dialog) {
        const CloseAfter closer{dialog};
        QPushButton *insert = dialog->findChild<QPushButton *>(u"InsertCom"_s);
        QVERIFY(insert);
        QCOMPARE(insert->text(), u"画像を挿入(&I)..."_s);
        QVERIFY(insert->isVisible());
        QVERIFY(insert->width() >= insert->sizeHint().width());
        QVERIFY(fitsIn(insert, dialog));
        QVERIFY(!insert->geometry().intersects(dialog->OkCom->geometry()));
        // The day has a picture: the row shows under the text, the note above it.
        QTRY_COMPARE(dialog->PictureRow->count(), 1);
        QVERIFY(dialog->PictureRow->isVisible());
        QVERIFY(dialog->PictureNote->isVisible());
        QVERIFY(dialog->PictureNote->text().contains(u"位置情報"_s));
        for (QWidget *widget :
             {static_cast<QWidget *>(dialog->DiaryTex), static_cast<QWidget *>(dialog->PictureNote),
              static_cast<QWidget *>(dialog->PictureRow)})
            QVERIFY2(fitsIn(widget, dialog), widget->metaObject()->className());
        QVERIFY(!dialog->DiaryTex->geometry().intersects(dialog->PictureNote->geometry()));
        QVERIFY(!dialog->PictureNote->geometry().intersects(dialog->PictureRow->geometry()));
        QVERIFY(dialog->PictureRow->geometry().bottom() < insert->geometry().top());
        QVERIFY(dialog->PictureNote->fontMetrics().horizontalAdvance(dialog->PictureNote->text()) <=
                dialog->PictureNote->width());
        dialog->done(QDialog::Rejected);
    });
}

void TestEntryPictures::insertedAtTheCursor_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("Ctrl+I and a typed path") << u"chooser"_s << u"jpg"_s;
    QTest::newRow("file dropped on the text") << u"drop"_s << u"jpg"_s;
    QTest::newRow("screenshot pasted with Ctrl+V") << u"paste"_s << u"png"_s;
}

// The line goes in on a line of its own where the cursor was, the text around it stays,
// and OK saves the entry with it and publishes the picture beside the day's pages.
void TestEntryPictures::insertedAtTheCursor()
{
    QFETCH(QString, way);
    QFETCH(QString, suffix);
    const QString name = u"20041205-1."_s + suffix;
    const QString photo = m_photo;
    ModalAnswerer<QFileDialog> chooser([photo](QFileDialog *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
        QVERIFY(edit);
        // The whole path at once, as pasted into the name field: typed key by key, each
        // slash lets the field's completion step into a folder.
        edit->setText(photo);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    const int result = show([&](DiaryInpFor *dialog) {
        const CloseAfter closer{dialog};
        QTextCursor cursor = dialog->DiaryTex->textCursor();
        cursor.setPosition(3); // after 晴れ。
        dialog->DiaryTex->setTextCursor(cursor);
        if (way == u"chooser") {
            dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QTest::keyClick(dialog->DiaryTex, Qt::Key_I, Qt::ControlModifier);
        } else if (way == u"drop") {
            // Where it is dropped: the cursor's place.
            dropFiles(dialog->DiaryTex->viewport(), {photo},
                      dialog->DiaryTex->cursorRect().center());
        } else {
            QApplication::clipboard()->setImage(quadrantScene(2000, 1000));
            QTest::keyClick(dialog->DiaryTex, Qt::Key_V, Qt::ControlModifier);
        }
        const QString line = u"<img src=\"../"_s + name + u"\" width=\""_s;
        QTRY_VERIFY2(!m_bed->errors.isEmpty() || dialog->DiaryTex->toPlainText().contains(line),
                     qPrintable(m_bed->errors.join(u'|')));
        QTRY_VERIFY(dialog->DiaryTex->toPlainText().contains(line));
        const QStringList lines = dialog->DiaryTex->toPlainText().split(u'\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], u"晴れ。"_s);
        QVERIFY(lines[1].startsWith(line));
        QVERIFY(lines[1].endsWith(u"alt=\"\">"_s));
        QCOMPARE(lines[2], QString());
        QCOMPARE(lines[3], u"猫が来た。"_s);
        QTRY_COMPARE(dialog->PictureRow->count(), 1);
        dialog->OkCom->click();
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(way == u"chooser" ? chooser.shown() : 0, way == u"chooser" ? 1 : 0);
    QCOMPARE(m_bed->errors, QStringList());
    QCOMPARE(dayPictures(Day), QStringList{name});
    QVERIFY(m_bed->appDir.read(u"Diary/2004/12/05.dia"_s).contains(name.toLatin1()));
    QCOMPARE(m_bed->appDir.read(u"HTML/2004/"_s + name),
             m_bed->appDir.read(u"Diary/2004/12/"_s + name));
    const QSize expected = suffix == u"png" ? QSize(1600, 800) : QSize(200, 300);
    QCOMPARE(QImage(m_bed->appDir.filePath(u"HTML/2004/"_s + name)).size(), expected);
}

void TestEntryPictures::pastedTextStaysText()
{
    show([](DiaryInpFor *dialog) {
        const CloseAfter closer{dialog};
        dialog->DiaryTex->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setText(u"貼り付けた文"_s);
        QTest::keyClick(dialog->DiaryTex, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(dialog->DiaryTex->toPlainText(), Typed + u"貼り付けた文"_s);
        dialog->DiaryTex->setPlainText(Typed); // nothing to ask on leaving
        dialog->done(QDialog::Rejected);
    });
    QCOMPARE(dayPictures(Day), QStringList());
}

void TestEntryPictures::badFileChangesNothing_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes"); // empty: a folder
    QTest::addColumn<QString>("told");
    QTest::newRow("HEIC from a phone") << u"IMG_0002.HEIC"_s
                                       << QByteArray("\0\0\0\x18"
                                                     "ftypheic\0\0\0\0mif1heic",
                                                     24)
                                       << u"JPEG として保存"_s;
    QTest::newRow("a text file") << u"notes.txt"_s << QByteArray("memo\r\n")
                                 << u"画像のファイルではない"_s;
    QTest::newRow("a folder") << u"album"_s << QByteArray() << u"フォルダは挿入できません"_s;
    const QByteArray whole = jpegWithExif(quadrantScene(300, 200), 1);
    QTest::newRow("JPEG cut short")
        << u"cut.jpg"_s << whole.left(whole.size() / 2) << u"途中まで"_s;
}

void TestEntryPictures::badFileChangesNothing()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, told);
    QString path = m_bed->appDir.filePath(file);
    if (bytes.isEmpty())
        QVERIFY(QDir().mkpath(path));
    else
        path = m_bed->appDir.write(file, bytes);
    const QStringList before = QDir(m_bed->appDir.filePath(u"Diary/2004/12"_s)).entryList();
    show([&](DiaryInpFor *dialog) {
        const CloseAfter closer{dialog};
        dropFiles(dialog->DiaryTex->viewport(), {path});
        QTRY_COMPARE(m_bed->errors.size(), 1);
        QCOMPARE(dialog->DiaryTex->toPlainText(), Typed);
        QVERIFY(dialog->OkCom->isEnabled());
        dialog->done(QDialog::Rejected);
    });
    QVERIFY2(m_bed->errors.value(0).contains(told), qPrintable(m_bed->errors.value(0)));
    QVERIFY(m_bed->errors.value(0).contains(file));
    QCOMPARE(QDir(m_bed->appDir.filePath(u"Diary/2004/12"_s)).entryList(), before);
}

// OK right after the paste: the dialog stays live until the picture is in, then saves the
// text with its line.
void TestEntryPictures::okWaitsForThePicture()
{
    const int result = show([](DiaryInpFor *dialog) {
        const CloseAfter closer{dialog};
        dialog->DiaryTex->moveCursor(QTextCursor::End);
        QApplication::clipboard()->setImage(quadrantScene(6000, 4000));
        QTest::keyClick(dialog->DiaryTex, Qt::Key_V, Qt::ControlModifier);
        dialog->OkCom->click();
        // Still being made: the window stays, says what it waits for, and takes no second OK.
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->OkCom->isEnabled());
        QVERIFY(dialog->PictureNote->text().contains(u"待って"_s));
        QTRY_VERIFY(!dialog->isVisible());
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(
        m_bed->appDir.read(u"Diary/2004/12/05.dia"_s).contains("<img src=\"../20041205-1.png\""));
    QCOMPARE(dayPictures(Day), QStringList{u"20041205-1.png"_s});
}

// A picture that fails while OK waits for it: the message is shown and nothing is saved; the
// dialog stays for the user to decide.
void TestEntryPictures::okWaitingIsCalledOffByAFailure()
{
    const QString notes = m_bed->appDir.write(u"notes.jpg"_s, "memo\r\n");
    const QByteArray before = m_bed->appDir.read(u"Diary/2004/12/05.dia"_s);
    const int result = show([&](DiaryInpFor *dialog) {
        const CloseAfter closer{dialog};
        dialog->DiaryTex->moveCursor(QTextCursor::End);
        typeText(dialog->DiaryTex, u"x"_s);
        dropFiles(dialog->DiaryTex->viewport(), {notes});
        dialog->OkCom->click();
        QVERIFY(!dialog->OkCom->isEnabled());
        QTRY_COMPARE(m_bed->errors.size(), 1);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->OkCom->isEnabled());
        dialog->done(QDialog::Rejected);
    });
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(m_bed->appDir.read(u"Diary/2004/12/05.dia"_s), before);
}

QTEST_MAIN(TestEntryPictures)
#include "TestEntryPictures.moc"

// The site window as a user drives it: the public address checked as typed and written only
// on OK, and fresh starter copies that replace an edited file only when the user says so.

#include "app/site/SiteFor.h"
#include "pages/PagePaths.h"
#include "pages/StarterFiles.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include "KeyboardInput.h"
#include "WindowTestBed.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

using namespace Kakiva;
using namespace Qt::StringLiterals;

namespace {

// How the user answers the question before an edited starter is replaced.
enum class Answer
{
    Replace,
    Return, // the default button
    Escape,
};

QByteArray starterBytes(const QString &name)
{
    for (const StarterFile &starter : starterFiles()) {
        if (starter.name == name)
            return starter.bytes;
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestSiteFor : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_bed = std::make_unique<WindowTestBed>();
        m_window = std::make_unique<SiteFor>();
    }
    void cleanup()
    {
        m_window.reset();
        m_bed.reset();
    }

    void publicUrlIsCheckedAsTyped_data();
    void publicUrlIsCheckedAsTyped();
    void cancelWritesNothing();
    void returnInTheFieldTakesTheAddress();
    void freshStartersAskBeforeReplacingAnEditedFile_data();
    void freshStartersAskBeforeReplacingAnEditedFile();
    void keyboardReachesEveryControl();
    void pictureLongEdgeIsKept_data();
    void pictureLongEdgeIsKept();
    void textFitsItsControls();

private:
    std::unique_ptr<WindowTestBed> m_bed;
    std::unique_ptr<SiteFor> m_window;
};

void TestSiteFor::publicUrlIsCheckedAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("empty: no feed") << QString() << true;
    QTest::newRow("https with a path") << u"https://example.jp/diary/"_s << true;
    QTest::newRow("http, host only") << u"http://example.jp"_s << true;
    QTest::newRow("capital scheme, a port") << u"HTTPS://Example.jp:8443/d/"_s << true;
    QTest::newRow("a Japanese host name") << u"https://日記.example.jp/"_s << true;
    QTest::newRow("ftp") << u"ftp://example.jp/diary/"_s << false;
    QTest::newRow("no scheme") << u"example.jp/diary/"_s << false;
    QTest::newRow("no host") << u"https:///diary/"_s << false;
    QTest::newRow("a query") << u"https://example.jp/?page=1"_s << false;
    QTest::newRow("a fragment") << u"https://example.jp/#top"_s << false;
    QTest::newRow("a user name") << u"https://me@example.jp/"_s << false;
    QTest::newRow("a blank at the start") << u" https://example.jp/"_s << false;
    QTest::newRow("a blank inside") << u"https://example.jp/my diary/"_s << false;
}

// As typed, the note below the box says what is wrong; OK writes [Site] URL only when
// nothing is, and otherwise keeps the window open with the reason.
void TestSiteFor::publicUrlIsCheckedAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QVERIFY(IniWrite(SiteSection, SiteUrlKey, u"https://old.example.jp/"_s));
    QString hint;
    QString note;
    bool stillOpen = false;
    const int result = showAnswered(m_window.get(), [&](SiteFor *window) {
        hint = window->UrlNote->text();
        clearText(window->UrlTex);
        typeText(window->UrlTex, typed);
        note = window->UrlNote->text();
        QTest::mouseClick(window->OkCom, Qt::LeftButton);
        stillOpen = window->isVisible();
        if (stillOpen)
            QTest::mouseClick(window->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(result, int(accepted ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(stillOpen, !accepted);
    QCOMPARE(note == hint, accepted);
    QCOMPARE(IniRead(SiteSection, SiteUrlKey), accepted ? typed : u"https://old.example.jp/"_s);
    QCOMPARE(m_bed->errors.size(), accepted ? 0 : 1);
    if (!accepted)
        QVERIFY2(m_bed->errors.first().startsWith(u"公開URL: "_s + note),
                 qPrintable(m_bed->errors.first()));
}

// Return where the address is typed presses OK, never another button of the window (which
// would write the starters instead).
void TestSiteFor::returnInTheFieldTakesTheAddress()
{
    const int result = showAnswered(m_window.get(), [](SiteFor *window) {
        typeText(window->UrlTex, u"https://example.jp/"_s);
        QTest::keyClick(window->UrlTex, Qt::Key_Return);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(IniRead(SiteSection, SiteUrlKey), u"https://example.jp/"_s);
    QVERIFY(!QFileInfo::exists(htmlRootPath() + u"/index.html"_s));
}

void TestSiteFor::cancelWritesNothing()
{
    showAnswered(m_window.get(), [](SiteFor *window) {
        typeText(window->UrlTex, u"https://example.jp/"_s);
        QTest::keyClick(window, Qt::Key_Escape);
    });
    QCOMPARE(IniRead(SiteSection, SiteUrlKey), QString());
}

void TestSiteFor::freshStartersAskBeforeReplacingAnEditedFile_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("replace") << Answer::Replace << true;
    QTest::newRow("Return keeps it") << Answer::Return << false;
    QTest::newRow("Escape keeps it") << Answer::Escape << false;
}

// The style sheet is the user's and edited; the front page is missing. The front page is
// written without a question, the style sheet only after one the user agrees to.
void TestSiteFor::freshStartersAskBeforeReplacingAnEditedFile()
{
    QFETCH(Answer, answer);
    QFETCH(bool, replaced);
    const QByteArray edited = "body { color: teal; }\n";
    m_bed->appDir.write(u"HTML/kakiva.css"_s, edited);
    QStringList questions;
    ModalAnswerer<QMessageBox> answerer([&](QMessageBox *box) {
        questions << box->text();
        QVERIFY(box->defaultButton() != nullptr);
        QCOMPARE(box->defaultButton()->text(), u"置き換えない(&K)"_s);
        switch (answer) {
        case Answer::Replace:
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == u"置き換える(&R)"_s)
                    QTest::mouseClick(button, Qt::LeftButton);
            }
            break;
        case Answer::Return:
            QTest::keyClick(box, Qt::Key_Return);
            break;
        case Answer::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        }
    });
    QString told;
    showAnswered(m_window.get(), [&](SiteFor *window) {
        QTest::mouseClick(window->StarterCom, Qt::LeftButton);
        told = window->StarterNote->text();
        QTest::mouseClick(window->CancelCom, Qt::LeftButton);
    });
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions.first().contains(u"kakiva.css"_s), qPrintable(questions.first()));
    QCOMPARE(answerer.leftOpen(), 0);
    QCOMPARE(m_bed->appDir.read(u"HTML/index.html"_s), starterBytes(u"index.html"_s));
    QCOMPARE(m_bed->appDir.read(u"HTML/kakiva.css"_s),
             replaced ? starterBytes(u"kakiva.css"_s) : edited);
    QCOMPARE(told.contains(u"kakiva.css"_s), replaced);
    QVERIFY(told.contains(u"index.html"_s));
    QVERIFY(m_bed->errors.isEmpty());
}

void TestSiteFor::pictureLongEdgeIsKept_data()
{
    QTest::addColumn<QString>("stored"); // in Kakiva.ini before the window opens
    QTest::addColumn<QString>("typed");  // empty: left as shown
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("written");
    QTest::newRow("nothing set: the default") << QString() << QString() << 1600 << u"1600"_s;
    QTest::newRow("a value set before") << u"1200"_s << QString() << 1200 << u"1200"_s;
    QTest::newRow("not a number: the default") << u"big"_s << QString() << 1600 << u"1600"_s;
    QTest::newRow("typed") << QString() << u"800"_s << 1600 << u"800"_s;
}

// Alt+P reaches the long edge of pictures; OK writes it beside the address.
void TestSiteFor::pictureLongEdgeIsKept()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(int, shown);
    QFETCH(QString, written);
    if (!stored.isEmpty())
        QVERIFY(IniWrite(SiteSection, PictureLongEdgeKey, stored));
    const int result = showAnswered(m_window.get(), [&](SiteFor *window) {
        QCOMPARE(window->PictureEdgeSpin->value(), shown);
        QTRY_VERIFY(window->UrlTex->hasFocus());
        QTest::keyClick(window, Qt::Key_P, Qt::AltModifier);
        QVERIFY(window->PictureEdgeSpin->hasFocus());
        if (!typed.isEmpty()) {
            window->PictureEdgeSpin->selectAll();
            QTest::keyClicks(window->PictureEdgeSpin, typed);
        }
        QTest::mouseClick(window->OkCom, Qt::LeftButton);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(IniRead(SiteSection, PictureLongEdgeKey), written);
    QCOMPARE(readSettings().pictureLongEdge, written.toInt());
}

// Alt+U reaches the address, Alt+T the command; Tab goes round them and the buttons.
void TestSiteFor::keyboardReachesEveryControl()
{
    QList<QWidget *> visited;
    showAnswered(m_window.get(), [&](SiteFor *window) {
        QTRY_VERIFY(window->UrlTex->hasFocus());
        for (int i = 0; i < 5; ++i) {
            visited << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(window, Qt::Key_U, Qt::AltModifier);
        QVERIFY(window->UrlTex->hasFocus());
        QTest::keyClick(window, Qt::Key_Escape);
    });
    QCOMPARE(visited,
             (QList<QWidget *>{m_window->UrlTex, m_window->PictureEdgeSpin, m_window->StarterCom,
                               m_window->OkCom, m_window->CancelCom}));
}

// Every caption is shown whole, the longest note as well.
void TestSiteFor::textFitsItsControls()
{
    showAnswered(m_window.get(), [](SiteFor *window) {
        typeText(window->UrlTex, u"example"_s); // the longest note: no scheme
        QApplication::processEvents();
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (qobject_cast<QLabel *>(control) || qobject_cast<QPushButton *>(control)) {
                if (!control->isVisible())
                    continue;
                const auto *label = qobject_cast<QLabel *>(control);
                const int needed = label && label->wordWrap()
                                       ? label->heightForWidth(control->width())
                                       : control->sizeHint().height();
                QVERIFY2(control->height() >= needed, qPrintable(control->objectName()));
                if (!label || !label->wordWrap())
                    QVERIFY2(control->width() >= control->sizeHint().width(),
                             qPrintable(control->objectName()));
            }
        }
        QTest::keyClick(window, Qt::Key_Escape);
    });
}

QTEST_MAIN(TestSiteFor)
#include "TestSiteFor.moc"

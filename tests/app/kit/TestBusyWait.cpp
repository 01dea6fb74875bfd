#include "app/kit/BusyWait.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <functional>

using namespace Kakiva;

namespace {

// Runs act once the progress window of a wait is on the screen; the poll stops with the
// test's scope.
void whenProgressShown(QObject *context, std::function<void(QProgressDialog *)> act)
{
    auto *poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, act] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QProgressDialog *>(window);
            if (dialog && dialog->isVisible()) {
                poll->deleteLater();
                poll->stop();
                act(dialog);
                return;
            }
        }
    });
    poll->start(20);
}

// A job held until let go or cancelled, never longer than a minute, so a broken wait
// fails its test instead of hanging it.
struct HeldJob
{
    std::atomic_bool letGo{false};
    std::atomic_bool sawCancel{false};

    BackgroundJob::Job job()
    {
        return [this](JobProgress &progress) {
            for (int waited = 0; waited < 60000 && !letGo && !progress.cancelled(); ++waited)
                QThread::msleep(1);
            sawCancel = progress.cancelled();
        };
    }
};

class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestBusyWait : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowRepaintsButTakesNoInputWhileWaiting();
    void cancelReachesTheJob();
    void withoutCancelEscapeDoesNotEndTheWait();
    void messageOpenedDuringTheWaitStillAnswers();

private:
    QWidget *m_window = nullptr;
    QPushButton *m_button = nullptr;
    int m_clicks = 0;
};

void TestBusyWait::init()
{
    m_window = new QWidget;
    m_window->setWindowTitle(QStringLiteral("窓"));
    auto *layout = new QVBoxLayout(m_window);
    m_button = new QPushButton(QStringLiteral("押す"), m_window);
    layout->addWidget(m_button);
    m_clicks = 0;
    connect(m_button, &QPushButton::clicked, this, [this] { ++m_clicks; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestBusyWait::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void TestBusyWait::windowRepaintsButTakesNoInputWhileWaiting()
{
    HeldJob held;
    PaintCounter counter;
    m_button->installEventFilter(&counter);
    int paintsWhileWaiting = 0;
    QTimer::singleShot(50, this, [&] {
        QTest::mouseClick(m_button, Qt::LeftButton);
        m_button->setFocus();
        QTest::keyClick(m_button, Qt::Key_Space);
        counter.paints = 0;
        m_button->setText(QStringLiteral("押せない"));
        QTimer::singleShot(200, this, [&] {
            paintsWhileWaiting = counter.paints;
            held.letGo = true;
        });
    });
    runWhileBusy(m_window, QStringLiteral("作業中..."), held.job());
    QVERIFY(held.letGo);
    QVERIFY2(paintsWhileWaiting > 0, "the window was not repainted while the job ran");
    QCOMPARE(m_clicks, 0);
    // Once the job has returned, the window answers again.
    QTest::mouseClick(m_button, Qt::LeftButton);
    QCOMPARE(m_clicks, 1);
}

void TestBusyWait::cancelReachesTheJob()
{
    HeldJob held;
    QString buttonText;
    whenProgressShown(this, [&](QProgressDialog *dialog) {
        auto *cancel = dialog->findChild<QPushButton *>();
        QVERIFY(cancel);
        buttonText = cancel->text();
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    runWhileBusy(m_window, QStringLiteral("作業中..."), held.job(), BusyCancel::Offered);
    QVERIFY(held.sawCancel);
    QCOMPARE(buttonText, QStringLiteral("キャンセル"));
}

void TestBusyWait::withoutCancelEscapeDoesNotEndTheWait()
{
    HeldJob held;
    bool cancelButton = true;
    bool stillShownAfterEscape = false;
    whenProgressShown(this, [&](QProgressDialog *dialog) {
        cancelButton = dialog->findChild<QPushButton *>() != nullptr;
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTimer::singleShot(100, this, [&, dialog] {
            stillShownAfterEscape = dialog->isVisible();
            held.letGo = true;
        });
    });
    runWhileBusy(m_window, QStringLiteral("作業中..."), held.job());
    QVERIFY(!cancelButton);
    QVERIFY(stillShownAfterEscape);
    QVERIFY(!held.sawCancel);
}

void TestBusyWait::messageOpenedDuringTheWaitStillAnswers()
{
    HeldJob held;
    bool answered = false;
    QTimer::singleShot(50, this, [&] {
        auto *message = new QMessageBox(QMessageBox::Information, QStringLiteral("窓"),
                                        QStringLiteral("お知らせ"), QMessageBox::Ok);
        message->setAttribute(Qt::WA_DeleteOnClose);
        connect(message, &QMessageBox::finished, this, [&] {
            answered = true;
            held.letGo = true;
        });
        message->show();
        QTimer::singleShot(50, this, [message] {
            QTest::mouseClick(message->button(QMessageBox::Ok), Qt::LeftButton);
        });
    });
    runWhileBusy(m_window, QStringLiteral("作業中..."), held.job());
    QVERIFY(answered);
    QVERIFY(!held.sawCancel);
}

QTEST_MAIN(TestBusyWait)
#include "TestBusyWait.moc"

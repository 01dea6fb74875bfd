#include "app/publish/CheckFor.h"

#include "app/kit/DialogControls.h"
#include "app/publish/CheckReportText.h"
#include "app/publish/OutcomeText.h"
#include "publish/SiteInventory.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace Kakiva {

namespace {

constexpr int ListWidth = 440;
constexpr int ListRows = 12;

} // namespace

CheckFor::CheckFor(QWidget *parent)
    : PublishWindow(QStringLiteral("CheckTim"), readSettings(), parent), CheckTim(m_timer)
{
    setObjectName(QStringLiteral("CheckFor"));
    setWindowFlags(FixedDialogFlags);
    setWindowTitle(QStringLiteral("サーバーと照合"));
    buildControls();
    connect(CloseCom, &QPushButton::clicked, this, &CheckFor::close);
}

void CheckFor::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    StatusLab = new QLabel(this);
    StatusLab->setObjectName(QStringLiteral("StatusLab"));
    StatusLab->setTextFormat(Qt::PlainText);
    StatusLab->setWordWrap(true);
    StatusLab->setText(QStringLiteral("照合中"));
    layout->addWidget(StatusLab);

    CheckBar = new QProgressBar(this);
    CheckBar->setObjectName(QStringLiteral("CheckBar"));
    CheckBar->setRange(0, 0); // until the number of directories is known
    layout->addWidget(CheckBar);

    DiffList = new QListWidget(this);
    DiffList->setObjectName(QStringLiteral("DiffList"));
    DiffList->setSelectionMode(QAbstractItemView::NoSelection);
    DiffList->setFocusPolicy(Qt::NoFocus); // the button keeps Return, Space and Escape
    DiffList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    DiffList->setFixedSize(ListWidth, DiffList->fontMetrics().height() * ListRows);
    layout->addWidget(DiffList);

    CloseCom = new QPushButton(QStringLiteral("中止"), this);
    CloseCom->setObjectName(QStringLiteral("CloseCom"));
    CloseCom->setDefault(true);
    layout->addWidget(CloseCom, 0, Qt::AlignHCenter);
    CloseCom->setFocus();
}

PublishWindow::Job CheckFor::prepareRun()
{
    StatusLab->setText(QStringLiteral("照合中"));
    CloseCom->setText(QStringLiteral("中止"));
    DiffList->clear();
    return [this](PublishRequest request) {
        // The site's digests are read here, off the window's thread.
        SiteCheck check(std::move(request), siteFiles());
        check.setProgressSink([this](const SiteCheckProgress &progress) {
            QMetaObject::invokeMethod(
                this, [this, progress] { showProgress(progress); }, Qt::QueuedConnection);
        });
        const PublishOutcome outcome = check.run();
        m_report = check.report();
        return outcome;
    };
}

void CheckFor::showProgress(const SiteCheckProgress &progress)
{
    CheckBar->setRange(0, std::max(progress.directoriesTotal, 1));
    CheckBar->setValue(progress.directoriesDone);
    StatusLab->setText(CheckReportText::progressOf(progress));
}

void CheckFor::takeOutcome(const PublishOutcome &outcome)
{
    if (outcome.result != PublishResult::Succeeded)
        return;
    CheckBar->setRange(0, 1);
    CheckBar->setValue(1);
    DiffList->addItems(CheckReportText::linesOf(m_report));
}

void CheckFor::showEnd(const PublishOutcome &outcome,
                       std::optional<std::chrono::milliseconds> retryIn)
{
    if (outcome.result == PublishResult::Succeeded) {
        StatusLab->setText(CheckReportText::summaryOf(m_report));
        CloseCom->setText(QStringLiteral("閉じる"));
        return;
    }
    if (!retryIn) {
        StatusLab->setText(OutcomeText::of(outcome.failure));
        CloseCom->setText(QStringLiteral("閉じる"));
        return;
    }
    StatusLab->setText(
        OutcomeText::of(outcome.failure) +
        QStringLiteral("\n%1 秒後にもう一度照合します").arg((retryIn->count() + 999) / 1000));
}

bool askCheckAfterRestore(QWidget *window)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("復元"),
                    QStringLiteral("サーバーと照合しますか？"), QMessageBox::NoButton, window);
    box.setObjectName(QStringLiteral("CheckQuestion"));
    box.setInformativeText(
        QStringLiteral("サーバーにないページや内容が違うページを未送信にします。\n"
                       "サーバーのファイルは、Kakiva の一時ファイルのほかは削除しません。"));
    QPushButton *yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    yes->setObjectName(QStringLiteral("YesCom"));
    no->setObjectName(QStringLiteral("NoCom"));
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace Kakiva

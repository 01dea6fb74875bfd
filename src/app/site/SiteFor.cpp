#include "app/site/SiteFor.h"

#include "app/kit/DialogControls.h"
#include "app/kit/ErrorMessage.h"
#include "app/site/SiteUrlCheck.h"
#include "pages/PagePaths.h"
#include "pages/StarterFiles.h"
#include "pictures/WebPicture.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace Kakiva {

namespace {

const QString UrlHint = QStringLiteral("HTML フォルダが公開されているアドレスです。"
                                       "入力するとフィード（atom.xml）を作ります。");

} // namespace

SiteFor::SiteFor(QWidget *parent) : QDialog(parent, FixedDialogFlags)
{
    setObjectName(QStringLiteral("SiteFor"));
    setWindowTitle(QStringLiteral("サイト"));
    buildControls();
    connect(UrlTex, &QLineEdit::textChanged, this, &SiteFor::showUrlProblem);
    connect(StarterCom, &QPushButton::clicked, this, &SiteFor::writeStarters);
    connect(OkCom, &QPushButton::clicked, this, &SiteFor::save);
    connect(CancelCom, &QPushButton::clicked, this, &SiteFor::reject);
}

void SiteFor::buildControls()
{
    auto *label = new QLabel(QStringLiteral("公開URL(&U)"), this);
    UrlTex = new QLineEdit(this);
    UrlTex->setObjectName(QStringLiteral("UrlTex"));
    UrlTex->setPlaceholderText(QStringLiteral("https://example.jp/diary/"));
    UrlTex->setMinimumWidth(UrlTex->fontMetrics().horizontalAdvance(QLatin1Char('m')) * 36);
    label->setBuddy(UrlTex);
    UrlNote = new QLabel(UrlHint, this);
    UrlNote->setObjectName(QStringLiteral("UrlNote"));
    UrlNote->setWordWrap(true);
    auto *edgeLabel = new QLabel(QStringLiteral("画像の長辺(&P)"), this);
    PictureEdgeSpin = new QSpinBox(this);
    PictureEdgeSpin->setObjectName(QStringLiteral("PictureEdgeSpin"));
    PictureEdgeSpin->setRange(MinPictureLongEdge, MaxPictureLongEdge);
    PictureEdgeSpin->setSingleStep(100);
    PictureEdgeSpin->setSuffix(QStringLiteral(" px"));
    PictureEdgeSpin->setToolTip(QStringLiteral("日記に挿入する画像は、長い辺がこの大きさに"
                                               "収まるよう縮小します（拡大はしません）。"));
    edgeLabel->setBuddy(PictureEdgeSpin);
    StarterCom = makeDialogButton(QStringLiteral("StarterCom"),
                                  QStringLiteral("ひな形を書き出す(&T)"), QRect(), this);
    StarterNote = new QLabel(this);
    StarterNote->setObjectName(QStringLiteral("StarterNote"));
    StarterNote->setWordWrap(true);
    StarterCom->setToolTip(QStringLiteral("トップページ index.html とスタイルシート kakiva.css の"
                                          "ひな形を HTML フォルダに書き出します。"));
    OkCom = makeDialogButton(QStringLiteral("OkCom"), QStringLiteral("OK"), QRect(), this);
    // Return in the address field takes the address, as in any one-field dialog.
    OkCom->setDefault(true);
    CancelCom =
        makeDialogButton(QStringLiteral("CancelCom"), QStringLiteral("Cancel"), QRect(), this);

    auto *url = new QHBoxLayout;
    url->addWidget(label);
    url->addWidget(UrlTex, 1);
    auto *edge = new QHBoxLayout;
    edge->addWidget(edgeLabel);
    edge->addWidget(PictureEdgeSpin);
    edge->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(StarterCom);
    buttons->addStretch(1);
    buttons->addWidget(OkCom);
    buttons->addWidget(CancelCom);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(url);
    layout->addWidget(UrlNote);
    layout->addLayout(edge);
    layout->addWidget(StarterNote);
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(UrlTex, PictureEdgeSpin);
    setTabOrder(PictureEdgeSpin, StarterCom);
    setTabOrder(StarterCom, OkCom);
    setTabOrder(OkCom, CancelCom);
}

int SiteFor::showModal()
{
    QString error;
    UrlTex->setText(IniRead(SiteSection, SiteUrlKey, &error));
    PictureEdgeSpin->setValue(
        longEdgeOrDefault(IniRead(SiteSection, PictureLongEdgeKey, &error).toInt()));
    StarterNote->clear();
    showUrlProblem();
    UrlTex->setFocus();
    if (!error.isEmpty())
        QMetaObject::invokeMethod(
            this,
            [this, error] {
                showErrorMessage(this, QStringLiteral("設定を読み込めませんでした。\n") + error);
            },
            Qt::QueuedConnection);
    return exec();
}

void SiteFor::showUrlProblem()
{
    const QString problem = siteUrlProblem(UrlTex->text());
    UrlNote->setText(problem.isEmpty() ? UrlHint : problem);
}

void SiteFor::save()
{
    const QString url = UrlTex->text();
    QString problem = siteUrlProblem(url);
    if (problem.isEmpty() && settingValueFault(url) != SettingValueFault::None)
        problem = QStringLiteral("このアドレスは設定ファイルに保存できません。");
    if (!problem.isEmpty()) {
        showErrorMessage(this, QStringLiteral("公開URL: ") + problem);
        UrlTex->setFocus();
        return;
    }
    QString error;
    if (!IniWrite(SiteSection, SiteUrlKey, url, &error) ||
        !IniWrite(SiteSection, PictureLongEdgeKey, QString::number(PictureEdgeSpin->value()),
                  &error)) {
        showErrorMessage(this, QStringLiteral("設定を保存できませんでした。\n") + error);
        return;
    }
    accept();
}

bool SiteFor::replaceEdited(const QString &name)
{
    QMessageBox question(QMessageBox::Question, windowTitle(),
                         QStringLiteral("%1 は編集されています。ひな形で置き換えますか？\n"
                                        "置き換えると、編集した内容は失われます。")
                             .arg(name),
                         QMessageBox::NoButton, this);
    QPushButton *replace =
        question.addButton(QStringLiteral("置き換える(&R)"), QMessageBox::DestructiveRole);
    QPushButton *keep =
        question.addButton(QStringLiteral("置き換えない(&K)"), QMessageBox::RejectRole);
    question.setDefaultButton(keep);
    question.setEscapeButton(keep);
    question.exec();
    return question.clickedButton() == replace;
}

void SiteFor::writeStarters()
{
    QStringList written;
    QString error;
    const bool done =
        QDir().mkpath(htmlRootPath()) &&
        writeFreshStarterFiles([this](const QString &name) { return replaceEdited(name); },
                               &written, &error);
    if (!done) {
        showErrorMessage(this, QStringLiteral("ひな形を書き出せませんでした。\n") + error);
        return;
    }
    StarterNote->setText(written.isEmpty() ? QStringLiteral("書き出したひな形はありません。")
                                           : QStringLiteral("書き出しました: ") +
                                                 written.join(QStringLiteral(", ")));
}

} // namespace Kakiva

#include "app/publish/TrustDialog.h"

#include "app/kit/DialogControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Kakiva {

TrustDialog::TrustDialog(const TrustDialogTexts &texts, QWidget *parent) : QDialog(parent)
{
    setObjectName(texts.objectName);
    setWindowTitle(texts.title);
    setWindowFlags(FixedDialogFlags);
    setModal(true);

    WarnLab = new QLabel(texts.warning, this);
    WarnLab->setObjectName(QStringLiteral("WarnLab"));
    WarnLab->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    WarnLab->setVisible(texts.changed);

    auto *intro = new QLabel(texts.intro, this);

    m_details = new QLabel(texts.details, this);
    m_details->setObjectName(texts.detailsName);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);

    TrustCom =
        makeDialogButton(QStringLiteral("TrustCom"), QStringLiteral("信頼する(&T)"), QRect(), this);
    DistrustCom = makeDialogButton(QStringLiteral("DistrustCom"), QStringLiteral("信頼しない"),
                                   QRect(), this);
    connect(TrustCom, &QPushButton::clicked, this, &QDialog::accept);
    connect(DistrustCom, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(TrustCom);
    buttons->addWidget(DistrustCom);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(WarnLab);
    layout->addWidget(intro);
    layout->addWidget(m_details);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(DistrustCom, TrustCom);
    DistrustCom->setFocus();
}

} // namespace Kakiva

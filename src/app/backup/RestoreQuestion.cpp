#include "app/backup/RestoreQuestion.h"

#include "app/kit/JapaneseFont.h"
#include "backup/BackupInspect.h"
#include "diary/DateStrings.h"

#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMessageBox>
#include <QPushButton>

namespace Kakiva {

namespace {

QString holdingText(const QString &backupName, const BackupSummary &summary)
{
    if (summary.days == 0)
        return QStringLiteral("%1 のバックアップには日記がありません。").arg(backupName);
    return QStringLiteral("%1 のバックアップには %2 日分の日記があります（%3～%4）。")
        .arg(backupName)
        .arg(summary.days)
        .arg(slashedDate(summary.first), slashedDate(summary.last));
}

} // namespace

RestoreChoice askRestore(QWidget *window, const QString &backupName, const BackupSummary &summary)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("復元"), holdingText(backupName, summary),
                    QMessageBox::NoButton, window);
    box.setObjectName(QStringLiteral("RestoreQuestion"));
    box.setInformativeText(QStringLiteral(
        "復元する前に、今の状態をバックアップします（元に戻せます）。\n"
        "すべて復元すると、バックアップにある日記とページで今のものを置き換えます。"));
    QPushButton *everything =
        box.addButton(QStringLiteral("すべて復元(&A)"), QMessageBox::AcceptRole);
    QPushButton *oneDay =
        box.addButton(QStringLiteral("1日だけ復元(&O)..."), QMessageBox::ActionRole);
    QPushButton *cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    everything->setObjectName(QStringLiteral("EverythingCom"));
    oneDay->setObjectName(QStringLiteral("OneDayCom"));
    cancel->setObjectName(QStringLiteral("CancelCom"));
    everything->setEnabled(summary.files > 0);
    oneDay->setEnabled(summary.days > 0);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == everything)
        return RestoreChoice::Everything;
    if (box.clickedButton() == oneDay)
        return RestoreChoice::OneDay;
    return RestoreChoice::Cancel;
}

std::optional<QDate> askRestoreDay(QWidget *window, const BackupSummary &summary)
{
    QDialog dialog(window);
    dialog.setObjectName(QStringLiteral("RestoreDayFor"));
    dialog.setWindowTitle(QStringLiteral("1日だけ復元"));
    dialog.setFont(japaneseGothicFont(10.5));
    auto *layout = new QFormLayout(&dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *day = new QDateEdit(summary.last, &dialog);
    day->setObjectName(QStringLiteral("DayTex"));
    day->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    day->setDateRange(summary.first, summary.last);
    day->setCalendarPopup(true);
    layout->addRow(QStringLiteral("復元する日(&D):"), day);
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *restore =
        buttons->addButton(QStringLiteral("復元(&R)"), QDialogButtonBox::AcceptRole);
    restore->setObjectName(QStringLiteral("RestoreDayCom"));
    restore->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    day->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return day->date();
}

} // namespace Kakiva

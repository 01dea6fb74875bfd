#include "app/backup/BackupFor.h"

#include "app/backup/RestoreQuestion.h"
#include "app/kit/BusyWait.h"
#include "app/kit/DialogControls.h"
#include "app/kit/ErrorMessage.h"
#include "app/kit/JapaneseFont.h"
#include "backup/AutoBackup.h"
#include "backup/BackupFolder.h"
#include "backup/BackupInspect.h"
#include "backup/BackupRestore.h"
#include "journal/DayRestore.h"
#include "platform/AppDir.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace Kakiva {

namespace {

constexpr qreal PointSize = 10.5;

bool restoredDay(const QString &path, const QDate &date, QString *error)
{
    const journal::SiteChange change = journal::restoreDay(path, date, readSettings().siteUrl);
    *error = change.error;
    return change.ok();
}

QString backupText(const BackupFile &backup)
{
    return QStringLiteral("%1  %2").arg(
        backup.taken.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
        QLocale(QLocale::Japanese)
            .formattedDataSize(backup.size, 1, QLocale::DataSizeTraditionalFormat));
}

QPushButton *addButton(QHBoxLayout *row, const QString &name, const QString &caption,
                       QWidget *parent)
{
    QPushButton *button = makeDialogButton(name, caption, QRect(), parent);
    row->addWidget(button);
    return button;
}

QString leftOutReason(LeftOutReason reason)
{
    switch (reason) {
    case LeftOutReason::NotAFile:
        return QStringLiteral("ファイルではないため除外しました");
    case LeftOutReason::Unreadable:
        break;
    }
    return QStringLiteral("読み取れないため除外しました");
}

// The files a backup had to leave out, one line each, for the status under the list.
QString leftOutText(const QList<LeftOutFile> &leftOut)
{
    QString text;
    for (const LeftOutFile &file : leftOut)
        text += QStringLiteral("\n%1: %2").arg(file.name, leftOutReason(file.reason));
    return text;
}

} // namespace

BackupFor::BackupFor(AutoBackup *backups, QWidget *parent)
    : QDialog(parent, FixedDialogFlags), m_backups(backups)
{
    setObjectName(QStringLiteral("BackupFor"));
    setWindowTitle(QStringLiteral("バックアップ"));
    setFont(japaneseGothicFont(PointSize));
    buildControls();
    connect(FolderCom, &QPushButton::clicked, this, &BackupFor::chooseFolder);
    connect(BackupCom, &QPushButton::clicked, this, &BackupFor::backUpNow);
    connect(RestoreCom, &QPushButton::clicked, this, &BackupFor::restoreChosen);
    connect(CloseCom, &QPushButton::clicked, this, &BackupFor::reject);
    connect(m_backups, &AutoBackup::finished, this, [this](bool written) { backupEnded(written); });
    showBackups();
    // A folder set by hand where no backup may go: every backup fails, and here is why.
    setBusy(m_backups->isRunning(),
            backupFolderFaultText(backupFolderFault(backupFolder(), applicationDirectory())));
}

void BackupFor::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto *folderRow = new QHBoxLayout;
    auto *folderLab = new QLabel(QStringLiteral("保存先(&F):"), this);
    FolderTex = new QLineEdit(this);
    FolderTex->setObjectName(QStringLiteral("FolderTex"));
    FolderTex->setReadOnly(true);
    FolderTex->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    folderLab->setBuddy(FolderTex);
    folderRow->addWidget(folderLab);
    folderRow->addWidget(FolderTex, 1);
    FolderCom =
        addButton(folderRow, QStringLiteral("FolderCom"), QStringLiteral("変更(&C)..."), this);
    layout->addLayout(folderRow);

    LastLab = new QLabel(this);
    LastLab->setObjectName(QStringLiteral("LastLab"));
    layout->addWidget(LastLab);

    auto *listLab = new QLabel(QStringLiteral("バックアップの一覧(&L):"), this);
    BackupList = new QListWidget(this);
    BackupList->setObjectName(QStringLiteral("BackupList"));
    listLab->setBuddy(BackupList);
    layout->addWidget(listLab);
    layout->addWidget(BackupList);

    StatusLab = new QLabel(this);
    StatusLab->setObjectName(QStringLiteral("StatusLab"));
    layout->addWidget(StatusLab);

    ConnectionChk = new QCheckBox(QStringLiteral("復元でバックアップの接続設定も戻す(&K)"), this);
    ConnectionChk->setObjectName(QStringLiteral("ConnectionChk"));
    layout->addWidget(ConnectionChk);

    auto *buttonRow = new QHBoxLayout;
    BackupCom = addButton(buttonRow, QStringLiteral("BackupCom"),
                          QStringLiteral("今すぐバックアップ(&B)"), this);
    RestoreCom =
        addButton(buttonRow, QStringLiteral("RestoreCom"), QStringLiteral("復元(&R)..."), this);
    buttonRow->addStretch(1);
    CloseCom = addButton(buttonRow, QStringLiteral("CloseCom"), QStringLiteral("閉じる"), this);
    layout->addLayout(buttonRow);

    BackupList->setFocus();
}

void BackupFor::showBackups()
{
    const QString folder = backupFolder();
    FolderTex->setText(QDir::toNativeSeparators(folder));
    const QList<BackupFile> backups = listBackups(folder);
    BackupList->clear();
    for (const BackupFile &backup : backups) {
        auto *item = new QListWidgetItem(backupText(backup), BackupList);
        item->setData(Qt::UserRole, backup.path);
    }
    BackupList->setCurrentRow(0);
    LastLab->setText(backups.isEmpty()
                         ? QStringLiteral("前回のバックアップ: まだありません")
                         : QStringLiteral("前回のバックアップ: ") + backupText(backups.first()));
    RestoreCom->setEnabled(!backups.isEmpty() && !m_backups->isRunning());
}

void BackupFor::setBusy(bool busy, const QString &status)
{
    BackupCom->setEnabled(!busy);
    FolderCom->setEnabled(!busy);
    RestoreCom->setEnabled(!busy && BackupList->count() > 0);
    StatusLab->setText(busy ? QStringLiteral("バックアップ中...") : status);
}

void BackupFor::chooseFolder()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("バックアップの保存先"), backupFolder());
    if (chosen.isEmpty())
        return;
    QString error;
    if (!setBackupFolder(chosen, &error)) {
        showErrorMessage(this, QStringLiteral("保存先を変更できませんでした。\n") + error);
        return;
    }
    showBackups();
}

void BackupFor::backUpNow()
{
    m_backups->start();
    setBusy(true, {});
}

void BackupFor::backupEnded(bool written)
{
    showBackups();
    // A failure is told by the calendar window, which hears of every backup.
    setBusy(false,
            written ? QStringLiteral("バックアップしました。") + leftOutText(m_backups->leftOut())
                    : QStringLiteral("バックアップできませんでした。"));
}

RestoredConnection BackupFor::chosenConnection() const
{
    return ConnectionChk->isChecked() ? RestoredConnection::FromBackup
                                      : RestoredConnection::Current;
}

void BackupFor::restoreChosen()
{
    const QListWidgetItem *item = BackupList->currentItem();
    if (!item)
        return;
    const QString path = item->data(Qt::UserRole).toString();
    BackupSummary summary;
    QString error;
    bool readable = false;
    runWhileBusy(this, QStringLiteral("バックアップを調べています..."),
                 [&](JobProgress &) { readable = inspectBackup(path, &summary, &error); });
    if (!readable) {
        showErrorMessage(this, QStringLiteral("このバックアップは読めないため、復元しません。\n") +
                                   error);
        return;
    }
    const RestoreChoice choice =
        askRestore(this, item->text().section(QLatin1Char(' '), 0, 1), summary);
    std::optional<QDate> day;
    if (choice == RestoreChoice::OneDay && !(day = askRestoreDay(this, summary)))
        return;
    if (choice == RestoreChoice::Cancel)
        return;
    bool restored = false;
    bool cancelled = false;
    const auto connection = chosenConnection();
    // The whole diary may take a while: it can be cancelled up to the moment it is written.
    runWhileBusy(
        this, QStringLiteral("復元しています..."),
        [&](JobProgress &job) {
            job.setTotal(3);
            const auto step = [&job](RestoreStep next) {
                job.setDone(static_cast<int>(next));
                return !job.cancelled();
            };
            restored = day ? restoredDay(path, *day, &error)
                           : restoreBackup(path, &error, connection, step);
            cancelled = !restored && job.cancelled();
        },
        day ? BusyCancel::No : BusyCancel::Offered);
    showBackups();
    if (cancelled) {
        StatusLab->setText(QStringLiteral("復元を取り消しました。"));
        return;
    }
    if (!restored) {
        showErrorMessage(this, QStringLiteral("復元できませんでした。\n") + error);
        return;
    }
    m_restored = true;
    StatusLab->setText(QStringLiteral("復元しました。"));
}

} // namespace Kakiva

#pragma once

#include "settings/RestoredSettings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Kakiva {

class AutoBackup;

// The backup window: where the backups go, when the last one was written and how large it
// is, every backup there, a backup written on request, and a restore of a chosen backup,
// whole or one day. Nothing here is left unsaved, so Escape simply closes it.
class BackupFor : public QDialog
{
    Q_OBJECT

public:
    BackupFor(AutoBackup *backups, QWidget *parent = nullptr);

    // Whether anything was restored while the window was open.
    bool restoredAny() const { return m_restored; }

    QLineEdit *FolderTex = nullptr;
    QPushButton *FolderCom = nullptr;
    QLabel *LastLab = nullptr;
    QListWidget *BackupList = nullptr;
    QLabel *StatusLab = nullptr;
    QPushButton *BackupCom = nullptr;
    QPushButton *RestoreCom = nullptr;
    // Unchecked, a whole restore keeps today's server, user, directory and password.
    QCheckBox *ConnectionChk = nullptr;
    QPushButton *CloseCom = nullptr;

private:
    void buildControls();
    void showBackups();
    void chooseFolder();
    void backUpNow();
    void backupEnded(bool written);
    void restoreChosen();
    RestoredConnection chosenConnection() const;
    void setBusy(bool busy, const QString &status);

    AutoBackup *m_backups;
    bool m_restored = false;
};

} // namespace Kakiva

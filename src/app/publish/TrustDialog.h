#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace Kakiva {

// What a window asking whether to trust a server's identity says.
struct TrustDialogTexts
{
    QString objectName;
    QString title;
    QString warning; // shown only when the identity has changed since it was trusted
    QString intro;
    QString detailsName; // objectName of the label holding the details
    QString details;
    bool changed = false;
};

// The layout the trust windows share: the warning, an introduction, the details and the
// buttons "信頼する(&T)" and "信頼しない". The focus starts on "信頼しない", which is also what
// Escape and the frame mean; Alt+T trusts.
class TrustDialog : public QDialog
{
    Q_OBJECT

public:
    QLabel *WarnLab;
    QPushButton *TrustCom;
    QPushButton *DistrustCom;

protected:
    TrustDialog(const TrustDialogTexts &texts, QWidget *parent);

    QLabel *detailsLabel() const { return m_details; }

private:
    QLabel *m_details;
};

} // namespace Kakiva

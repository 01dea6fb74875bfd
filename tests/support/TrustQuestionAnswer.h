#pragma once

#include "app/publish/TrustDialog.h"

#include <QApplication>
#include <QLabel>
#include <QMetaType>
#include <QPushButton>
#include <QTest>

// How a test answers a trust window ("証明書の確認", "ホスト鍵の確認").
enum class TrustAnswer
{
    None, // the window must not be asked
    AltT,
    Escape,
    Frame,
};
Q_DECLARE_METATYPE(TrustAnswer)

// What the trust window showed when it was asked.
struct TrustAsked
{
    QString title;
    bool focusOnRefusal = false;
    bool warned = false; // the warning that the identity has changed
    bool closedByAltT = false;
};

// Answers dialog by keyboard or frame as a user would, after noting what it showed.
inline TrustAsked answerTrustQuestion(Kakiva::TrustDialog *dialog, TrustAnswer answer)
{
    TrustAsked asked;
    dialog->activateWindow();
    asked.focusOnRefusal =
        QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }, 5000) &&
        QApplication::focusWidget() == dialog->DistrustCom;
    asked.warned = dialog->WarnLab->isVisible();
    asked.title = dialog->windowTitle();
    if (answer == TrustAnswer::AltT) {
        QTest::keyClick(dialog, Qt::Key_T, Qt::AltModifier);
        // A mnemonic clicks after a short animation; a window left open is counted.
        asked.closedByAltT = QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000);
    } else if (answer == TrustAnswer::Escape)
        QTest::keyClick(dialog, Qt::Key_Escape);
    else
        dialog->close();
    return asked;
}

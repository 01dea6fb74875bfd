#include "app/entry/EntryQuestions.h"

#include <QMessageBox>
#include <QPushButton>

namespace Kakiva {

namespace {

// Asks text with two buttons; true when the user chose yes. The answer that loses nothing
// has the focus and stands for Escape and the frame, so a stray key changes nothing.
bool ask(QWidget *window, const QString &title, const QString &text, const QString &yes,
         const QString &no, bool yesIsSafe)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, window);
    QPushButton *yesButton = box.addButton(yes, QMessageBox::AcceptRole);
    QPushButton *noButton = box.addButton(no, QMessageBox::RejectRole);
    QPushButton *safe = yesIsSafe ? yesButton : noButton;
    box.setDefaultButton(safe);
    box.setEscapeButton(safe);
    box.exec();
    return box.clickedButton() == yesButton;
}

} // namespace

bool askRestoreDraft(QWidget *window, const QString &title)
{
    return ask(window, title, QStringLiteral("保存されていない下書きがあります。"),
               QStringLiteral("下書きを戻す(&R)"), QStringLiteral("保存済みを使う(&S)"), true);
}

bool askDiscardChanges(QWidget *window)
{
    return ask(window, window ? window->windowTitle() : QString(),
               QStringLiteral("変更を破棄しますか？"), QStringLiteral("破棄(&D)"),
               QStringLiteral("いいえ"), false);
}

} // namespace Kakiva

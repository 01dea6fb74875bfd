#include "app/kit/DialogControls.h"

#include <QKeyEvent>
#include <QPushButton>

namespace Kakiva {

namespace {

// Return and Enter press the button that has the focus, as Space does. The buttons are no
// default buttons, so without this Return would press nothing at all.
class ReturnPressesFocusedButton : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        static_cast<QPushButton *>(watched)->click();
        return true;
    }
};

} // namespace

QPushButton *makeDialogButton(const QString &name, const QString &caption, const QRect &geometry,
                              QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->installEventFilter(new ReturnPressesFocusedButton(button));
    return button;
}

} // namespace Kakiva

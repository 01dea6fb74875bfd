#include "app/DialogControls.h"

#include <QPushButton>

namespace Kakiva {

QPushButton *makeDialogButton(const QString &name, const QString &caption, const QRect &geometry,
                              QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace Kakiva

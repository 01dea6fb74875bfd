#pragma once

#include <QRect>
#include <QString>
#include <Qt>

class QPushButton;
class QWidget;

namespace Kakiva {

// The dialogs' frame: a caption and a close button, fixed size, no minimise or maximise.
inline constexpr Qt::WindowFlags FixedDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                                    Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                                    Qt::WindowCloseButtonHint;

// A push button named for tests, placed at geometry. It is never a default button, so
// Return in a text box presses nothing (in the entry dialog Return belongs to the text);
// Return, Enter and Space press the button itself when it has the focus.
QPushButton *makeDialogButton(const QString &name, const QString &caption, const QRect &geometry,
                              QWidget *parent);

} // namespace Kakiva

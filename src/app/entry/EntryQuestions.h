#pragma once

#include <QString>

class QWidget;

namespace Kakiva {

// The entry dialog's two questions. Each puts the focus, and Escape, on the answer that
// loses nothing.

// A draft newer than the saved entry was found: true to put it back in the box.
bool askRestoreDraft(QWidget *window, const QString &title);

// The text differs from what was loaded and the user leaves: true to throw it away.
bool askDiscardChanges(QWidget *window);

} // namespace Kakiva

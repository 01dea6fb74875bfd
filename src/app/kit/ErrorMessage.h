#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace Kakiva {

// How a window tells the user that something it tried failed. The default is a warning
// box over the window, titled with the window's caption.
using ErrorPresenter = std::function<void(QWidget *window, const QString &message)>;

void showErrorMessage(QWidget *window, const QString &message);

// Replaces the presenter for the rest of the run (tests answer without a modal box);
// an empty function brings back the warning box.
void setErrorPresenter(ErrorPresenter presenter);

} // namespace Kakiva

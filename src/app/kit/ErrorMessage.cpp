#include "app/kit/ErrorMessage.h"

#include <QMessageBox>
#include <QWidget>

namespace Kakiva {

namespace {

ErrorPresenter &currentPresenter()
{
    static ErrorPresenter presenter;
    return presenter;
}

void showWarningBox(QWidget *window, const QString &message)
{
    QMessageBox::warning(window, window ? window->windowTitle() : QString(), message);
}

} // namespace

void showErrorMessage(QWidget *window, const QString &message)
{
    const ErrorPresenter &presenter = currentPresenter();
    if (presenter)
        presenter(window, message);
    else
        showWarningBox(window, message);
}

void setErrorPresenter(ErrorPresenter presenter)
{
    currentPresenter() = std::move(presenter);
}

} // namespace Kakiva

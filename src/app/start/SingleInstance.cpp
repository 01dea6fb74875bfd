#include "app/start/SingleInstance.h"

#include "app/kit/ErrorMessage.h"
#include "platform/AppDir.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace Kakiva {

namespace {

constexpr QByteArrayView Shown{"shown\n"};
constexpr int AnswerWaitMs = 3000;

// The running program's address, the same for every start on one directory.
QString serverNameFor(const QString &directory)
{
    const QString canonical = QFileInfo(directory).canonicalFilePath();
    const QByteArray digest =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("Kakiva-") + QString::fromLatin1(digest.left(24));
}

void raiseWindow(QWidget *window)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent), m_serverName(serverNameFor(directory)),
      m_lock(QDir(directory).filePath(LockFileName)), m_bell(m_serverName, Shown.toByteArray())
{
    connect(&m_bell, &LocalBell::rung, this, &SingleInstance::activationRequested);
}

bool SingleInstance::claim()
{
    const ProcessLock::Outcome outcome = m_lock.tryLock();
    if (outcome == ProcessLock::Outcome::Taken) {
        // We hold the lock, so a socket left behind is a crashed run's.
        m_bell.listen();
        return true;
    }
    // A directory where no lock can be made cannot be saved into either; there is
    // nothing for two starts to lose.
    if (outcome == ProcessLock::Outcome::Failed)
        return true;
    if (!askRunningToShow())
        showErrorMessage(nullptr, QStringLiteral("Kakiva は既に起動しています。"));
    return false;
}

void SingleInstance::bringToFrontOnRequest(QWidget *window)
{
    connect(this, &SingleInstance::activationRequested, window, [window] {
        // The open dialogs stay above the window, each above the one that opened it.
        QList<QWidget *> stack;
        for (QWidget *dialog = QApplication::activeModalWidget(); dialog && dialog != window;
             dialog = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr)
            stack.prepend(dialog);
        raiseWindow(window);
        for (QWidget *dialog : std::as_const(stack))
            raiseWindow(dialog);
    });
}

bool SingleInstance::askRunningToShow() const
{
    return LocalBell::ring(m_serverName, Shown.toByteArray(), AnswerWaitMs);
}

} // namespace Kakiva

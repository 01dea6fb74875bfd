#include "app/calendar/MainFor.h"
#include "app/start/CommandLine.h"
#include "app/start/SingleInstance.h"
#include "platform/AppDir.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Names the per-user data directory used when the program's own one is read-only.
    QApplication::setApplicationName(QStringLiteral("Kakiva"));
    QApplication::setApplicationVersion(QStringLiteral(KAKIVA_VERSION));
    if (const std::optional<int> exitCode = Kakiva::answerCommandLine(argc, argv))
        return *exitCode;
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.kakiva.Kakiva"));
    Kakiva::SingleInstance instance(Kakiva::applicationDirectory());
    if (!instance.claim())
        return 0;
    Kakiva::MainFor window;
    instance.bringToFrontOnRequest(&window);
    window.showCentred();
    return app.exec();
}

#include "app/AppIcon.h"
#include "app/MainFor.h"
#include "app/SingleInstance.h"
#include "platform/AppDir.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Names the per-user data directory used when the program's own one is read-only.
    QApplication::setApplicationName(QStringLiteral("Kakiva"));
    QApplication app(argc, argv);
    Kakiva::SingleInstance instance(Kakiva::applicationDirectory());
    if (!instance.claim())
        return 0;
    QApplication::setWindowIcon(Kakiva::appIcon());
    Kakiva::MainFor window;
    instance.bringToFrontOnRequest(&window);
    window.showCentred();
    return app.exec();
}

#include "app/AppIcon.h"
#include "app/MainFor.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Names the per-user data directory used when the program's own one is read-only.
    QApplication::setApplicationName(QStringLiteral("Kakiva"));
    QApplication app(argc, argv);
    QApplication::setWindowIcon(Kakiva::appIcon());
    Kakiva::MainFor window;
    window.showCentred();
    return app.exec();
}

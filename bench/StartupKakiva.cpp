// The program's start-up as main.cpp runs it, ending once the calendar window is shown.

#include "ExposeProbe.h"

#include "app/calendar/MainFor.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("Kakiva"));
    QApplication app(argc, argv);
    Kakiva::MainFor window;
    ExposeProbe probe(&window);
    window.showCentred();
    return app.exec();
}

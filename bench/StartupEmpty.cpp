// The floor for start-up: a Qt Widgets program with nothing but one month calendar in a
// fixed-size window of the calendar window's size, ending once the window is shown.

#include "ExposeProbe.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QScreen>
#include <QStyle>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(288, 202);
    QCalendarWidget calendar(&window);
    calendar.setGeometry(-8, 0, 305, 209);
    ExposeProbe probe(&window);
    window.setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window.size(),
                                           window.screen()->availableGeometry()));
    window.show();
    return app.exec();
}

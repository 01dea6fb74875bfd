// The module's entry point, the one name it exports; the program finds it by name.
#include "app/module/WindowRooms.h"

extern "C" __attribute__((visibility("default"))) Kakiva::Rooms *kakiva_make_rooms(QWidget *window)
{
    return new Kakiva::WindowRooms(window);
}

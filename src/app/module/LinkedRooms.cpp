// For programs that link the rooms in rather than load them (the tests): offered before
// main() runs, so every calendar window finds them.
#include "app/calendar/RoomsLoader.h"
#include "app/module/WindowRooms.h"

namespace {

Kakiva::Rooms *makeLinkedRooms(QWidget *window)
{
    return new Kakiva::WindowRooms(window);
}

[[maybe_unused]] const bool offered = (Kakiva::offerLinkedRooms(&makeLinkedRooms), true);

} // namespace

#pragma once

#include "app/rooms/Rooms.h"

#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

namespace Kakiva {

// The module's file, and where it is looked for: beside the program (a portable folder or
// the build), then the package's private library folder beside the program's bin folder.
inline constexpr char RoomsModuleFile[] = "libkakiva-rooms.so";
QStringList roomsModulePaths(const QString &programDirectory);

// A program that links the rooms in (the tests) offers them here, and no file is loaded.
void offerLinkedRooms(MakeRooms make);

// Loads the rooms of one calendar window once, on the first call that needs them.
class RoomsLoader
{
public:
    RoomsLoader(QWidget *window, QStringList candidates);
    ~RoomsLoader();

    // The rooms, or null when the module cannot be found or loaded; error() says why.
    Rooms *rooms();
    QString error() const { return m_error; }

private:
    MakeRooms findEntry();

    QWidget *m_window;
    QStringList m_candidates;
    std::unique_ptr<Rooms> m_rooms;
    QString m_error;
};

} // namespace Kakiva

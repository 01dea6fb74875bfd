#include "app/calendar/RoomsLoader.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace Kakiva {

namespace {

MakeRooms linkedRooms = nullptr;

} // namespace

QStringList roomsModulePaths(const QString &programDirectory)
{
    const QDir program(programDirectory);
    return {program.filePath(QLatin1String(RoomsModuleFile)),
            QDir::cleanPath(program.filePath(QStringLiteral("../lib/kakiva/")) +
                            QLatin1Char('/') + QLatin1String(RoomsModuleFile))};
}

void offerLinkedRooms(MakeRooms make)
{
    linkedRooms = make;
}

RoomsLoader::RoomsLoader(QWidget *window, QStringList candidates)
    : m_window(window), m_candidates(std::move(candidates))
{
}

RoomsLoader::~RoomsLoader() = default;

Rooms *RoomsLoader::rooms()
{
    if (m_rooms)
        return m_rooms.get();
    if (const MakeRooms make = findEntry())
        m_rooms.reset(make(m_window));
    return m_rooms.get();
}

// The library stays loaded for the rest of the run: the windows it made live as long.
MakeRooms RoomsLoader::findEntry()
{
    if (linkedRooms)
        return linkedRooms;
    QStringList faults;
    for (const QString &path : std::as_const(m_candidates)) {
        if (!QFileInfo::exists(path))
            continue;
        QLibrary library(path);
        if (!library.load()) {
            faults << library.errorString();
            continue;
        }
        if (const auto make = reinterpret_cast<MakeRooms>(library.resolve(RoomsEntryName)))
            return make;
        faults << path + QStringLiteral(": ") + library.errorString();
    }
    if (faults.isEmpty())
        faults << QStringLiteral("%1 が次の場所にありません。\n%2")
                      .arg(QLatin1String(RoomsModuleFile), m_candidates.join(QLatin1Char('\n')));
    m_error = QStringLiteral("Kakiva の部品を読み込めませんでした。インストールし直してください。\n") +
              faults.join(QLatin1Char('\n'));
    return nullptr;
}

} // namespace Kakiva

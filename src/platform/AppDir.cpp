#include "platform/AppDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>

namespace Kakiva {

namespace {

// The upload's worker thread asks for the directory too.
QMutex directoryLock;

QString &fixedDirectory()
{
    static QString directory;
    return directory;
}

bool isWritableDirectory(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

QString defaultDirectory()
{
    const QString besideExecutable = QCoreApplication::applicationDirPath();
    if (!isSystemProgramFolder(besideExecutable) && isWritableDirectory(besideExecutable))
        return besideExecutable;
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(perUser);
    return perUser;
}

} // namespace

bool isSystemProgramFolder(const QString &path)
{
    // Installed from a package, the program shares its folder with every other program;
    // the superuser could write there, but a diary must never land in /usr/bin.
    static const QStringList systemFolders{
        QStringLiteral("/bin"),
        QStringLiteral("/sbin"),
        QStringLiteral("/usr/bin"),
        QStringLiteral("/usr/sbin"),
        QStringLiteral("/usr/games"),
        QStringLiteral("/usr/local/bin"),
        QStringLiteral("/usr/local/sbin"),
        QStringLiteral("/usr/local/games"),
    };
    return systemFolders.contains(QDir::cleanPath(path));
}

QString applicationDirectory()
{
    const QMutexLocker locker(&directoryLock);
    QString &directory = fixedDirectory();
    if (directory.isEmpty())
        directory = defaultDirectory();
    return directory;
}

void setApplicationDirectory(const QString &directory)
{
    const QMutexLocker locker(&directoryLock);
    fixedDirectory() = QDir::cleanPath(directory);
    if (directory.isEmpty())
        fixedDirectory().clear();
}

QString applicationPath(const QString &relative)
{
    return applicationDirectory() + QLatin1Char('/') + relative;
}

} // namespace Kakiva

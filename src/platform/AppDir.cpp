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
    if (isWritableDirectory(besideExecutable))
        return besideExecutable;
    const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(perUser);
    return perUser;
}

} // namespace

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

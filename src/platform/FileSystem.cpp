#include "FileSystem.h"

#include "SafeWrite.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Kakiva {

bool FolderExists(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool makeDirectoryPath(const QString &path, QString *error)
{
    errno = 0;
    if (QDir().mkpath(path))
        return true;
    if (error) {
        const int code = errno;
        *error = fileErrorMessage(path, code ? QString::fromLocal8Bit(std::strerror(code))
                                             : QStringLiteral("cannot create the directory"));
    }
    return false;
}

namespace {

bool byNameIgnoringCase(const DirEntry &a, const DirEntry &b)
{
    const int order = a.name.compare(b.name, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.name < b.name;
}

} // namespace

QList<DirEntry> listDirectory(const QString &path, QString *error)
{
    const QDir directory(path);
    if (!directory.exists() || !directory.isReadable()) {
        if (error)
            *error = fileErrorMessage(path, QStringLiteral("cannot read the directory"));
        return {};
    }
    QList<DirEntry> entries;
    const auto infos =
        directory.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    entries.reserve(infos.size() + 2);
    for (const QFileInfo &info : infos)
        entries.append({info.fileName(), info.isDir()});
    std::sort(entries.begin(), entries.end(), byNameIgnoringCase);
    entries.prepend({QStringLiteral(".."), true});
    entries.prepend({QStringLiteral("."), true});
    return entries;
}

} // namespace Kakiva

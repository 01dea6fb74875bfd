#include "platform/FileSystem.h"

#include "platform/WholeFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace Kakiva {

qint32 DirMake(const QString &path, QString *error)
{
    errno = 0;
    if (QDir().mkpath(path))
        return 1;
    if (error) {
        const int code = errno;
        *error = fileErrorMessage(path, code ? QString::fromLocal8Bit(std::strerror(code))
                                             : QStringLiteral("cannot create the directory"));
    }
    return 0;
}

namespace {

bool byNameIgnoringCase(const DirEntry &a, const DirEntry &b)
{
    const int order = a.name.compare(b.name, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.name < b.name;
}

} // namespace

std::optional<QList<DirEntry>> listDirectory(const QString &path, QString *error)
{
    const QDir directory(path);
    if (!directory.exists() || !directory.isReadable()) {
        if (error)
            *error = fileErrorMessage(path, QStringLiteral("cannot read the directory"));
        return std::nullopt;
    }
    QList<DirEntry> entries;
    // QDir::entryInfoList() would sort by a rule of its own first; the iterator yields the
    // names as listed, each with the directory bit the listing already carries.
    QDirIterator it(path, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        entries.append({info.fileName(), info.isDir()});
    }
    std::sort(entries.begin(), entries.end(), byNameIgnoringCase);
    return entries;
}

bool removeFile(const QString &path, QString *error)
{
    QFile file(path);
    if (file.remove() || !QFileInfo::exists(path))
        return true;
    if (error)
        *error = fileErrorMessage(path, file.errorString());
    return false;
}

bool removeEmptyDirectory(const QString &path)
{
    // rmdir refuses a directory that still holds anything, a draft or a file of the user's.
    return QDir().rmdir(path) || !QFileInfo::exists(path);
}

} // namespace Kakiva

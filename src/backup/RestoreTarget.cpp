#include "backup/RestoreTarget.h"

#include "backup/BackupLayout.h"
#include "platform/AppDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Kakiva {

namespace {

// Where path ends up once the links of its existing part are followed.
QString resolvedPath(const QString &path)
{
    QString existing = path;
    QString rest;
    while (!QFileInfo::exists(existing) && existing.contains(QLatin1Char('/'))) {
        const qsizetype slash = existing.lastIndexOf(QLatin1Char('/'));
        rest = existing.sliced(slash) + rest;
        existing = existing.first(slash);
    }
    return QFileInfo(existing).canonicalFilePath() + rest;
}

bool isProgramFile(const QString &resolved)
{
    const QString lock = QFileInfo(applicationPath(LockFileName)).canonicalFilePath();
    const QString program =
        QCoreApplication::instance()
            ? QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath()
            : QString();
    return (!lock.isEmpty() && resolved == lock) || (!program.isEmpty() && resolved == program) ||
           QFileInfo(resolved).fileName() == LockFileName;
}

// The first of the member's folders that exists as something else, or nothing.
QString blockedFolder(const QString &name)
{
    qsizetype slash = name.indexOf(QLatin1Char('/'));
    for (; slash > 0; slash = name.indexOf(QLatin1Char('/'), slash + 1)) {
        const QFileInfo folder(applicationPath(name.first(slash)));
        if (folder.exists() && !folder.isDir())
            return name.first(slash);
    }
    return {};
}

} // namespace

QString restoreTargetFault(const QString &name)
{
    if (!isBackupMemberName(name))
        return name + QStringLiteral(": not part of a Kakiva backup");
    if (const QString folder = blockedFolder(name); !folder.isEmpty())
        return folder + QStringLiteral(": a file in the data folder where the backup has a folder");
    const QString path = applicationPath(name);
    const QFileInfo target(path);
    if (target.exists() && !target.isFile())
        return name + QStringLiteral(": not a file in the data folder");
    if (isProgramFile(resolvedPath(path)))
        return name + QStringLiteral(": leads to the program's own files");
    return {};
}

} // namespace Kakiva

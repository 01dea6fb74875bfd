#pragma once

#include "publish/SiteInventory.h"

#include <QStringList>

// The remote paths of files, in their order, so that a list of files compares whole.
inline QStringList remotePathsOf(const QList<Kakiva::SiteFile> &files)
{
    QStringList paths;
    for (const Kakiva::SiteFile &file : files)
        paths.append(file.remotePath);
    return paths;
}

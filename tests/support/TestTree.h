#pragma once

#include <QString>
#include <QStringList>

// Creates each of paths below root, with missing parents: a path ending in '/' becomes a
// directory, any other path a small file.
void createTree(const QString &root, const QStringList &paths);

#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Creates each of paths below root, with missing parents: a path ending in '/' becomes a
// directory, any other path a small file.
void createTree(const QString &root, const QStringList &paths);

// Every file and directory below root with its bytes ("<dir>" for a directory), so that
// "nothing changed" can be checked whole.
using Tree = QMap<QString, QByteArray>;
Tree treeBelow(const QString &root);

// Those of paths that exist, in their order.
QStringList existingOf(const QStringList &paths);

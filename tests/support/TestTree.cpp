#include "TestTree.h"

#include "TestAppDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

void createTree(const QString &root, const QStringList &paths)
{
    for (const QString &path : paths) {
        if (path.endsWith(QLatin1Char('/')))
            QVERIFY2(QDir(root).mkpath(path), qPrintable(path));
        else
            writeWholeFile(root + QLatin1Char('/') + path, "x");
    }
}

Tree treeBelow(const QString &root)
{
    Tree tree;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        tree.insert(QDir(root).relativeFilePath(path),
                    it.fileInfo().isDir() ? QByteArray("<dir>") : readWholeFile(path));
    }
    return tree;
}

QStringList existingOf(const QStringList &paths)
{
    QStringList existing;
    for (const QString &path : paths) {
        if (QFile::exists(path))
            existing.append(path);
    }
    return existing;
}

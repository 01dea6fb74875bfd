#include "TestTree.h"

#include "TestAppDir.h"

#include <QDir>
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

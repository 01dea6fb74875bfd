#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh application directory for one test: created in the fixture, made the
// program's application directory, removed afterwards.
class TestAppDir
{
public:
    TestAppDir();
    ~TestAppDir();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
};

// The whole content of a file, or an empty array with the failure flagged by QTest.
QByteArray readWholeFile(const QString &path);
void writeWholeFile(const QString &path, const QByteArray &bytes);

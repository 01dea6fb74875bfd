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
    QByteArray read(const QString &relative) const;
    // Writes the file and returns its full path.
    QString write(const QString &relative, const QByteArray &bytes) const;

private:
    QTemporaryDir m_dir;
};

// The whole content of a file, or an empty array with the failure flagged by QTest.
QByteArray readWholeFile(const QString &path);
void writeWholeFile(const QString &path, const QByteArray &bytes);

// Flags in QTest an error that does not begin with path in native form, ": " and a reason;
// given errorNumber, the reason must be the system's text for it.
void verifyErrorNames(const QString &error, const QString &path, int errorNumber = 0);

// Writes the four keys of the FTP section of the settings file; a failure is flagged by QTest.
void writeFtpSettings(const QString &server, const QString &user, const QString &password,
                      const QString &directory);

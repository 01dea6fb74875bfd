#include "TestAppDir.h"

#include "platform/AppDir.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cstring>

TestAppDir::TestAppDir()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    Kakiva::setApplicationDirectory(m_dir.path());
}

TestAppDir::~TestAppDir()
{
    Kakiva::setApplicationDirectory(QString());
}

QByteArray TestAppDir::read(const QString &relative) const
{
    return readWholeFile(filePath(relative));
}

QString TestAppDir::write(const QString &relative, const QByteArray &bytes) const
{
    const QString path = filePath(relative);
    writeWholeFile(path, bytes);
    return path;
}

QByteArray readWholeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(path + QStringLiteral(": ") + file.errorString()), __FILE__,
                     __LINE__);
        return {};
    }
    return file.readAll();
}

void writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

void verifyErrorNames(const QString &error, const QString &path, int errorNumber)
{
    const QString start = QDir::toNativeSeparators(path) + QStringLiteral(": ");
    QVERIFY2(error.startsWith(start) && error.size() > start.size(), qPrintable(error));
    if (errorNumber != 0)
        QCOMPARE(error.sliced(start.size()), QString::fromLocal8Bit(std::strerror(errorNumber)));
}

void writeFtpSettings(const QString &server, const QString &user, const QString &password,
                      const QString &directory)
{
    using namespace Kakiva;
    QString error;
    for (const auto &[key, value] : {std::pair{ServerKey, server},
                                     {NameKey, user},
                                     {PasswordKey, password},
                                     {DirectoryKey, directory}})
        QVERIFY2(IniWrite(FtpSection, key, value, &error), qPrintable(error));
}

#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The keyring a test runs beside, when with_keyring.sh started one, seen through the
// Secret Service's own command-line tool rather than through the code under test.
namespace TestKeyring {

inline bool running()
{
    return qEnvironmentVariableIsSet("KAKIVA_TEST_KEYRING");
}

// The secret-tool attributes of an entry of the service "Kakiva".
inline QStringList attributes(const QString &key)
{
    return {QStringLiteral("server"), QStringLiteral("Kakiva"), QStringLiteral("user"), key};
}

inline QString lookup(const QString &key)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               QStringList{QStringLiteral("lookup")} + attributes(key));
    tool.waitForFinished();
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// Deletes the entry behind the program's back, as a user in a keyring manager does.
inline bool clear(const QString &key)
{
    return QProcess::execute(QStringLiteral("secret-tool"),
                             QStringList{QStringLiteral("clear")} + attributes(key)) == 0;
}

} // namespace TestKeyring

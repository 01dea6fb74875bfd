#pragma once

#include <QString>
#include <QTemporaryDir>

// Certificates made at test time with the openssl program, all for 127.0.0.1 and localhost:
// one signed by a test certificate authority, a self-signed one, and a second self-signed
// one with another key (a server whose certificate has changed).
class TestCertificates
{
public:
    struct Files
    {
        QString certificate;
        QString key;
    };

    TestCertificates();
    bool isReady() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    Files signedByCa() const { return files(QStringLiteral("signed")); }
    Files selfSigned() const { return files(QStringLiteral("self")); }
    Files otherSelfSigned() const { return files(QStringLiteral("other")); }
    QString authority() const { return m_dir.filePath(QStringLiteral("ca.crt")); }

    // From now on every TLS connection of this process trusts the test authority, as it
    // trusts the system's store.
    void trustAuthority() const;

private:
    Files files(const QString &name) const;
    bool openssl(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_error;
};

#include "TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace {

constexpr int OpensslTimeoutMs = 30000;
const QString Names = QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost");

} // namespace

TestCertificates::TestCertificates()
{
    const auto path = [this](const QString &name) { return m_dir.filePath(name); };
    const auto selfSigned = [&](const QString &name, const QString &subject,
                                const QStringList &extensions) {
        QStringList arguments{"req",
                              "-x509",
                              "-newkey",
                              "rsa:2048",
                              "-nodes",
                              "-days",
                              "2",
                              "-subj",
                              "/CN=" + subject,
                              "-keyout",
                              path(name + ".key"),
                              "-out",
                              path(name + ".crt")};
        for (const QString &extension : extensions)
            arguments << QStringLiteral("-addext") << extension;
        return openssl(arguments);
    };
    const QString extensions = path(QStringLiteral("signed.ext"));
    QFile ext(extensions);
    if (!m_dir.isValid() || !ext.open(QIODevice::WriteOnly) || ext.write(Names.toLatin1()) <= 0) {
        m_error = QStringLiteral("cannot write the test certificates");
        return;
    }
    ext.close();
    const QStringList constraints{QStringLiteral("basicConstraints=critical,CA:TRUE"),
                                  QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")};
    selfSigned(QStringLiteral("ca"), QStringLiteral("Kakiva Test CA"), constraints) &&
        selfSigned(QStringLiteral("self"), QStringLiteral("127.0.0.1"), {Names}) &&
        selfSigned(QStringLiteral("other"), QStringLiteral("127.0.0.1"), {Names}) &&
        openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                 path("signed.key"), "-out", path("signed.csr")}) &&
        openssl({"x509", "-req", "-in", path("signed.csr"), "-CA", path("ca.crt"), "-CAkey",
                 path("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", extensions, "-out",
                 path("signed.crt")});
}

bool TestCertificates::openssl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (process.waitForFinished(OpensslTimeoutMs) && process.exitCode() == 0)
        return true;
    m_error = QStringLiteral("openssl %1: %2 %3")
                  .arg(arguments.first(), process.errorString(),
                       QString::fromLocal8Bit(process.readAllStandardError()));
    return false;
}

TestCertificates::Files TestCertificates::files(const QString &name) const
{
    return {m_dir.filePath(name + ".crt"), m_dir.filePath(name + ".key")};
}

void TestCertificates::trustAuthority() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(QSslCertificate::fromPath(authority()));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

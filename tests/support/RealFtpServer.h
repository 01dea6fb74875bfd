#pragma once

#include "PyFtpServer.h"
#include "VsftpdServer.h"

#include <memory>

// Either real server behind one face, for steps that run the same against both.
class RealFtpServer
{
public:
    explicit RealFtpServer(std::unique_ptr<PyFtpServer> server) : m_py(std::move(server)) {}
    explicit RealFtpServer(std::unique_ptr<VsftpdServer> server) : m_vsftpd(std::move(server)) {}

    bool isRunning() const { return m_py ? m_py->isRunning() : m_vsftpd->isRunning(); }
    QString errorString() const { return m_py ? m_py->errorString() : m_vsftpd->errorString(); }
    quint16 port() const { return m_py ? m_py->port() : m_vsftpd->port(); }
    QString serverString() const { return m_py ? m_py->serverString() : m_vsftpd->serverString(); }
    QString user() const { return m_py ? m_py->user() : m_vsftpd->user(); }
    QString password() const { return m_py ? m_py->password() : m_vsftpd->password(); }
    QString homePath() const { return m_py ? m_py->homePath() : m_vsftpd->homePath(); }
    QByteArray remoteFile(const QString &path) const
    {
        return m_py ? m_py->remoteFile(path) : m_vsftpd->remoteFile(path);
    }
    QStringList commands() const { return m_py ? m_py->commands() : m_vsftpd->commands(); }

private:
    std::unique_ptr<PyFtpServer> m_py;
    std::unique_ptr<VsftpdServer> m_vsftpd;
};

#include "ScriptedFtpServer.h"

#include "ScriptedFtpSession.h"
#include "TlsReadyServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

ScriptedFtpServer::ScriptedFtpServer(const QHostAddress &address)
    : m_address(address), m_thread(new QThread), m_root(new QObject)
{
    m_root->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_root, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_root,
        [this] {
            auto *listener = new TlsReadyServer(m_root);
            if (!listener->listen(m_address, 0))
                return;
            QObject::connect(listener, &QTcpServer::newConnection, m_root, [this, listener] {
                while (QTcpSocket *socket = listener->nextPendingConnection())
                    new ScriptedFtpSession(socket, m_script, m_address, m_root);
            });
            m_port = listener->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

QString ScriptedFtpServer::serverString() const
{
    const QString host = m_address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + m_address.toString() + QLatin1Char(']')
                             : m_address.toString();
    return host + QLatin1Char(':') + QString::number(m_port);
}

quint16 refusedLoopbackPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const quint16 port = server.serverPort();
    server.close();
    return port;
}

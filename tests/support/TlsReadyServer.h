#pragma once

#include <QSslSocket>
#include <QTcpServer>

// A listener whose connections are QSslSockets, plain until the server starts TLS on one.
class TlsReadyServer : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};

#include "LatencyFtpRelay.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

using Rewrite = std::function<QByteArray(const QByteArray &line)>;

class Relay
{
public:
    Relay(QObject *root, std::chrono::milliseconds delay, bool repliesToo,
          std::shared_ptr<std::atomic_int> turns)
        : m_root(root), m_delay(delay), m_repliesToo(repliesToo), m_turns(std::move(turns))
    {
    }

    // Listens on loopback and carries every connection on to serverPort; 0 when it cannot.
    quint16 listen(quint16 serverPort, bool control)
    {
        auto *listener = new QTcpServer(m_root);
        if (!listener->listen(QHostAddress::LocalHost, 0))
            return 0;
        QObject::connect(listener, &QTcpServer::newConnection, m_root,
                         [this, listener, serverPort, control] {
                             while (QTcpSocket *client = listener->nextPendingConnection())
                                 carry(client, serverPort, control);
                             if (!control)
                                 listener->close(); // a data port serves one connection
                         });
        return listener->serverPort();
    }

private:
    void carry(QTcpSocket *client, quint16 serverPort, bool control)
    {
        client->setParent(m_root);
        auto *server = new QTcpSocket(m_root);
        if (control)
            countTurns(client, server);
        forward(client, server, m_delay, {});
        // Without held replies the passive ones stay as they are: data goes straight there.
        forward(server, client, m_repliesToo ? m_delay : std::chrono::milliseconds(0),
                control && m_repliesToo
                    ? Rewrite([this](const QByteArray &line) { return passive(line); })
                    : Rewrite());
        server->connectToHost(QHostAddress::LocalHost, serverPort);
    }

    // Bytes from `from` reach `to` after the delay (at once without one), in order; a close
    // follows the same way. With a rewrite, whole lines go through it first.
    void forward(QTcpSocket *from, QTcpSocket *to, std::chrono::milliseconds delay, Rewrite rewrite)
    {
        auto pending = std::make_shared<QByteArray>();
        const auto later = [delay, to](const std::function<void()> &action) {
            if (delay.count() == 0)
                action();
            else
                QTimer::singleShot(delay, Qt::PreciseTimer, to, action);
        };
        QObject::connect(from, &QTcpSocket::readyRead, to, [=] {
            QByteArray bytes = from->readAll();
            if (rewrite) {
                pending->append(bytes);
                bytes.clear();
                qsizetype end;
                while ((end = pending->indexOf('\n')) >= 0) {
                    bytes += rewrite(pending->left(end + 1));
                    pending->remove(0, end + 1);
                }
            }
            if (!bytes.isEmpty())
                later([to, bytes] { to->write(bytes); });
        });
        QObject::connect(from, &QTcpSocket::disconnected, to,
                         [=] { later([to] { to->disconnectFromHost(); }); });
    }

    void countTurns(QTcpSocket *client, QTcpSocket *server)
    {
        auto serverSpoke = std::make_shared<bool>(true);
        QObject::connect(server, &QTcpSocket::readyRead, client,
                         [serverSpoke] { *serverSpoke = true; });
        QObject::connect(client, &QTcpSocket::readyRead, server, [this, serverSpoke] {
            if (*serverSpoke)
                ++*m_turns;
            *serverSpoke = false;
        });
    }

    // "227 ... (h1,h2,h3,h4,p1,p2)" and "229 ... (|||port|)" name a port of the relay's.
    QByteArray passive(const QByteArray &line)
    {
        static const QRegularExpression classic(
            QStringLiteral("^227 [^(]*\\((\\d+,\\d+,\\d+,\\d+),(\\d+),(\\d+)\\)"));
        static const QRegularExpression extended(
            QStringLiteral("^229 [^(]*\\(\\|\\|\\|(\\d+)\\|\\)"));
        const QString text = QString::fromLatin1(line);
        if (const auto m = classic.match(text); m.hasMatch()) {
            const quint16 port =
                listen(m.captured(2).toUShort() * 256 + m.captured(3).toUShort(), false);
            return QStringLiteral("227 Entering passive mode (127,0,0,1,%1,%2).\r\n")
                .arg(port / 256)
                .arg(port % 256)
                .toLatin1();
        }
        if (const auto m = extended.match(text); m.hasMatch()) {
            const quint16 port = listen(m.captured(1).toUShort(), false);
            return QStringLiteral("229 Entering extended passive mode (|||%1|).\r\n")
                .arg(port)
                .toLatin1();
        }
        return line;
    }

    QObject *m_root;
    std::chrono::milliseconds m_delay;
    bool m_repliesToo;
    std::shared_ptr<std::atomic_int> m_turns;
};

} // namespace

LatencyFtpRelay::LatencyFtpRelay(quint16 serverPort, std::chrono::milliseconds delay, Held held)
    : m_thread(new QThread), m_root(new QObject)
{
    m_root->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_root, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_root,
        [this, serverPort, delay, held] {
            auto *relay = new Relay(m_root, delay, held == Held::Everything, m_roundTrips);
            QObject::connect(m_root, &QObject::destroyed, [relay] { delete relay; });
            m_port = relay->listen(serverPort, true);
        },
        Qt::BlockingQueuedConnection);
}

LatencyFtpRelay::~LatencyFtpRelay()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

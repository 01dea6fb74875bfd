#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

class QObject;
class QThread;

// Stands between an FTP client and a server on loopback and holds bytes back for a while.
// Runs in a thread of its own.
class LatencyFtpRelay
{
public:
    enum class Held
    {
        // Every byte in each direction, as a distant server would: the control connection, and
        // the data connections too, since the relay answers the server's passive replies (227
        // and 229) with ports of its own and carries what arrives there on to the server's.
        Everything,
        // Only what the client says on the control connection, as a lost and resent segment
        // would: replies pass at once and data connections go straight to the server, so the
        // data of a STOR gets there before the command does.
        Commands,
    };

    LatencyFtpRelay(quint16 serverPort, std::chrono::milliseconds delay,
                    Held held = Held::Everything);
    ~LatencyFtpRelay();
    LatencyFtpRelay(const LatencyFtpRelay &) = delete;
    LatencyFtpRelay &operator=(const LatencyFtpRelay &) = delete;

    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString serverString() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    // Round trips on the control connections so far, whichever client: each time the client
    // speaks after the server has, or first; commands sent together count once.
    int roundTrips() const { return *m_roundTrips; }

private:
    QThread *m_thread;
    QObject *m_root; // lives in m_thread; owns listeners and sockets
    quint16 m_port = 0;
    std::shared_ptr<std::atomic_int> m_roundTrips = std::make_shared<std::atomic_int>(0);
};

#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <thread>

// A loopback TCP relay in front of a server, one connection at a time, that can hold back
// what the client sends past a number of bytes (to catch a transfer in the middle) and can
// delay every chunk in each direction (to make round trips visible in wall time).
class TcpRelay
{
public:
    explicit TcpRelay(quint16 targetPort,
                      std::chrono::milliseconds delayEachWay = std::chrono::milliseconds(0));
    ~TcpRelay();
    TcpRelay(const TcpRelay &) = delete;
    TcpRelay &operator=(const TcpRelay &) = delete;

    bool isListening() const { return m_listener >= 0; }
    quint16 port() const { return m_port; }

    // Passes on at most bytes more from the client, then holds the rest back.
    void holdClientAfter(qint64 bytes) { m_holdAfter = m_fromClients + bytes; }
    // The client has reached the limit and is being held.
    bool isHolding() const { return m_holding; }
    // Bytes taken from clients, and passed on to them, over all connections so far.
    qint64 bytesFromClients() const { return m_fromClients; }
    qint64 bytesToClients() const { return m_toClients; }

private:
    void serve();
    void relay(int client, int server);

    quint16 m_targetPort;
    std::chrono::milliseconds m_delay;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<qint64> m_holdAfter{-1};
    std::atomic_bool m_holding{false};
    std::atomic_bool m_stop{false};
    std::atomic<qint64> m_fromClients{0};
    std::atomic<qint64> m_toClients{0};
    std::thread m_thread;
};

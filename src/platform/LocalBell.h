#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace Kakiva {

// A bell one process rings for another on the same machine: a Unix-domain socket only its
// user may reach. The process that listens hears every ring and answers it with a fixed
// reply, so the one that rang knows it was heard. Plain sockets, not Qt Network, so a
// program that only listens loads no network library for it.
class LocalBell : public QObject
{
    Q_OBJECT

public:
    // The socket's file: the name in the temporary folder.
    LocalBell(const QString &name, QByteArray reply, QObject *parent = nullptr);
    ~LocalBell() override;

    // Listens, taking the place of a socket left behind. False when it cannot.
    bool listen();

    // True when a listener on name answered with reply within waitMs.
    static bool ring(const QString &name, const QByteArray &reply, int waitMs);

signals:
    void rung();

private:
    void answer();

    QByteArray m_path;
    QByteArray m_reply;
    int m_socket = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace Kakiva

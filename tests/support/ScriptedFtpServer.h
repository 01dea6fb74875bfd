#pragma once

#include "ScriptedFtpScript.h"

#include <QHostAddress>
#include <QString>

class QObject;
class QThread;

// An FTP server on loopback whose answers a test scripts, for the faults a real server will
// not produce on demand. It runs in a thread of its own, so a test can drive a synchronous
// client from its own thread (or from any worker) while the server keeps answering.
//
// Without a script it behaves as a small well-mannered server: USER, PASS, TYPE, NOOP,
// PWD, CWD and MKD over a directory tree that starts with "/" (add more with
// script().addDirectory), EPSV and PASV, STOR into memory, QUIT. Every command line is
// recorded as received; stored files are kept by their full remote path.
class ScriptedFtpServer
{
public:
    // Listens on a free port of address (loopback unless said otherwise).
    explicit ScriptedFtpServer(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    ~ScriptedFtpServer();
    ScriptedFtpServer(const ScriptedFtpServer &) = delete;
    ScriptedFtpServer &operator=(const ScriptedFtpServer &) = delete;

    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    // The server setting that reaches it: "127.0.0.1:port" or "[::1]:port".
    QString serverString() const;

    ScriptedFtpScript &script() { return m_script; }

    // Shorthands for the script calls nearly every test makes.
    void setGreeting(const ScriptedReply &reply) { m_script.setGreeting(reply); }
    void setReply(const QByteArray &verb, const ScriptedReply &reply)
    {
        m_script.setReply(verb, reply);
    }
    void queueReply(const QByteArray &verb, const ScriptedReply &reply)
    {
        m_script.queueReply(verb, reply);
    }
    QList<QByteArray> commands() const { return m_script.commands(); }
    QByteArray file(const QString &path) const { return m_script.files().value(path); }
    bool hasFile(const QString &path) const { return m_script.files().contains(path); }

private:
    QHostAddress m_address;
    ScriptedFtpScript m_script;
    QThread *m_thread = nullptr;
    QObject *m_root = nullptr; // lives in m_thread; owns the listener and the sessions
    quint16 m_port = 0;
};

// A port on loopback where nothing listens, for connections that must be refused.
quint16 refusedLoopbackPort();

#pragma once

#include "ScriptedFtpScript.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// One control connection of the scripted server, living in the server's thread. Commands
// are answered in order, one at a time: while a reply is still being written piece by piece,
// or a file is being received, later command lines wait their turn.
class ScriptedFtpSession : public QObject
{
    Q_OBJECT

public:
    ScriptedFtpSession(QTcpSocket *control, ScriptedFtpScript &script, const QHostAddress &address,
                       QObject *parent);
    ~ScriptedFtpSession() override;

private:
    void readCommands();
    void answerPending();
    void answer(const QByteArray &line);
    void answerBuiltIn(const QByteArray &verb, const QByteArray &argument);
    void reply(const ScriptedReply &reply);
    void reply(const QByteArray &text) { reply(ScriptedReply::text(text)); }
    void writePiece(const ScriptedReply &reply, int index);

    void changeDirectory(const QByteArray &argument);
    void makeDirectory(const QByteArray &argument);
    void openPassive(bool extended);
    void answerSize(const QByteArray &argument);
    void answerHash(const QByteArray &argument);
    void answerRenameFrom(const QByteArray &argument);
    void answerRenameTo(const QByteArray &argument);
    void answerDelete(const QByteArray &argument);
    void acceptDataConnection();
    void takeStoreLate(const QByteArray &argument);
    void startStore(const QByteArray &argument);
    bool dropEarlyData();
    void readData();
    void finishStore();
    void startListing();
    void sendListing();
    void closeData();
    void startTls(QTcpSocket *socket);
    void endTlsInPlace(const QByteArray &inClear);
    void cutShort(ScriptedFtpScript::Transfer transfer);
    QString resolve(const QByteArray &argument) const;
    bool idle() const { return !m_writing && m_storePath.isEmpty() && !m_listingDue; }

    QTcpSocket *m_control;
    ScriptedFtpScript &m_script;
    QHostAddress m_address;
    QByteArray m_input;
    QList<QByteArray> m_pending;
    bool m_writing = false;
    QString m_cwd = QStringLiteral("/");
    bool m_protectData = false;
    int m_heldOpen = -1; // a copy of the control connection's descriptor, once TLS has ended
    int m_dataCopy = -1; // a copy of the data connection's, to reset it after Qt has closed it

    QTcpServer *m_passive = nullptr;
    QTcpSocket *m_data = nullptr;
    QByteArray m_received;
    bool m_dataEnded = false;
    bool m_earlyDataDropped = false; // the next STOR is left waiting
    QString m_storePath;             // set while a STOR is receiving
    QString m_renameFrom;            // after an accepted RNFR
    bool m_listingDue = false;       // a listing waits for its data connection
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QSet>
#include <QSslConfiguration>
#include <QString>
#include <QWaitCondition>

#include <optional>

// What a scripted server says in place of its built-in answer.
struct ScriptedReply
{
    // Written one after another with a pause between, so that each arrives in a read of its
    // own: a reply split across segments.
    QList<QByteArray> pieces;
    // Close the control connection once the pieces are out.
    bool closeAfter = false;
    // Answer as the server would without a script; queued, it lets a fault hit the
    // second or third command of a kind.
    bool usual = false;
    // Under TLS: end TLS with the close alert once the pieces are out, keep the connection
    // open, and write these bytes after the alert in clear.
    std::optional<QByteArray> afterCloseAlert = std::nullopt;

    static ScriptedReply text(const QByteArray &bytes) { return {{bytes}, false}; }
    static ScriptedReply split(const QList<QByteArray> &pieces) { return {pieces, false}; }
    static ScriptedReply closing(const QByteArray &bytes = {})
    {
        return {bytes.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{bytes}, true};
    }
    // No answer at all: the server goes quiet.
    static ScriptedReply silence() { return {}; }
    static ScriptedReply asUsual() { return {{}, false, true}; }
    static ScriptedReply endingTls(const QByteArray &bytes, const QByteArray &inClear)
    {
        ScriptedReply reply = text(bytes);
        reply.afterCloseAlert = inClear;
        return reply;
    }

    // The transfer goes on after this reply only if its last reply is preliminary (1xx).
    bool endsPreliminary() const;
};

// The script and the records of a scripted server, shared by the test thread (which writes
// the script and reads the records) and the server thread (which does the opposite).
class ScriptedFtpScript
{
public:
    // What happens to the bytes of a STOR.
    enum class Transfer
    {
        Store,     // read to the end, keep the file, answer the transfer reply
        DropAfter, // abort the data connection after dropAfterBytes and answer 426
        Stall,     // read nothing and answer nothing
        // Keep only the first dropAfterBytes and answer the transfer reply as if all were well,
        // having reset the data connection at the client's end instead of closing it, or
        // having ended it (under TLS without the close alert) once those bytes came.
        ResetAfter,
        EndAfter,
        // Read every byte and end cleanly, but keep only the first dropAfterBytes, and answer
        // the transfer reply: a server whose disk filled up and that says nothing of it.
        KeepPart,
        // Read every byte and end cleanly, keep as many as came but the last one changed, and
        // answer the transfer reply: damage that leaves the size as sent.
        ChangeLast,
    };

    // Takes AUTH TLS (then PBSZ and PROT) with this certificate and key.
    void setTls(const QString &certificatePath, const QString &keyPath);
    // Null when no TLS was set.
    QSslConfiguration tlsConfiguration() const;

    void setGreeting(const ScriptedReply &reply);
    ScriptedReply greeting() const;

    // setReply answers every command with that verb; queueReply answers the next one only,
    // before any setReply or built-in answer.
    void setReply(const QByteArray &verb, const ScriptedReply &reply);
    void queueReply(const QByteArray &verb, const ScriptedReply &reply);
    std::optional<ScriptedReply> takeReply(const QByteArray &verb);

    // The reply after a stored file's last byte; "226 Transfer complete" unless set.
    void setTransferReply(const ScriptedReply &reply);
    ScriptedReply transferReply() const;

    void setTransfer(Transfer transfer, qint64 dropAfterBytes = 0);
    Transfer transfer() const;
    qint64 dropAfterBytes() const;

    // What a server that reads a data connection only once it has taken STOR does with bytes
    // that reach it before. Either way the STOR is then answered 150 and left waiting for a
    // data connection that never comes, and STOR is taken a moment late, so that data sent
    // right behind it always gets there first.
    enum class EarlyData
    {
        Taken, // no such trouble: the data waits for its STOR
        Reset, // the data connection is reset
        // The bytes are read and thrown away, and the data connection is closed cleanly once
        // the client has ended it: from the client's side, a transfer as any other.
        Closed,
    };
    void setEarlyData(EarlyData early);
    EarlyData earlyData() const;
    int earlyDataDrops() const;
    void recordEarlyDataDrop();

    // The host a PASV reply names, as "h1,h2,h3,h4"; empty names the listening address.
    void setPasvHost(const QByteArray &commaSeparated);
    QByteArray pasvHost() const;

    // Renames: RNTO over an existing file refused with 553 (as some servers do), or RNFR
    // refused with 550 altogether (an upload-only account). Stores under a name starting
    // with a dot refused with 553.
    void setRenameOverFileRefused(bool refused);
    bool renameOverFileRefused() const;
    void setRenamesRefused(bool refused);
    bool renamesRefused() const;
    void setHiddenNamesRefused(bool refused);
    bool hiddenNamesRefused() const;
    // Commands that came in one read are answered one only, the rest thrown away: a server
    // that takes one command at a time.
    void setOneCommandAtATime(bool one);
    bool oneCommandAtATime() const;
    // Renames that came in one read are answered (and made) last first: a server that
    // answers pipelined commands out of order.
    void setRenamesOutOfOrder(bool outOfOrder);
    bool renamesOutOfOrder() const;
    // HASH with SHA-256, listed by FEAT as the algorithm chosen and answered with the digest
    // of the file held, worded as some servers do; without it FEAT, OPTS and HASH are not
    // implemented.
    enum class Digests
    {
        None,
        Draft,   // "213 SHA-256 0-<size> <hex> <name>"
        BareHex, // "213 <hex>"
    };
    void setDigests(Digests digests);
    Digests digests() const;
    void removeFile(const QString &path);
    void renameFile(const QString &from, const QString &to);
    // What MLSD and LIST send on the data connection, whatever directory they name; without
    // it both are refused as not implemented.
    void setListing(const QByteArray &bytes);
    std::optional<QByteArray> listing() const;

    void addDirectory(const QString &path);
    bool hasDirectory(const QString &path) const;

    // Records.
    void recordCommand(const QByteArray &line);
    QList<QByteArray> commands() const;
    void storeFile(const QString &path, const QByteArray &bytes);
    QMap<QString, QByteArray> files() const;
    void recordConnection();
    int connections() const;
    void recordDisconnection();
    int disconnections() const;
    void recordDataPeer(const QHostAddress &peer);
    QList<QHostAddress> dataPeers() const;

    // Block the calling thread (never the server's) until the server has seen a command
    // line starting with prefix, or count connections; false when timeoutMs passed first.
    bool waitForCommand(const QByteArray &prefix, int timeoutMs) const;
    bool waitForConnections(int count, int timeoutMs) const;

private:
    template <typename Condition> bool waitUntil(Condition condition, int timeoutMs) const;

    mutable QMutex m_mutex;
    mutable QWaitCondition m_recorded;
    ScriptedReply m_greeting = ScriptedReply::text("220 Scripted server ready\r\n");
    QHash<QByteArray, ScriptedReply> m_replies;
    QHash<QByteArray, QList<ScriptedReply>> m_queued;
    std::optional<ScriptedReply> m_transferReply;
    Transfer m_transfer = Transfer::Store;
    qint64 m_dropAfterBytes = 0;
    EarlyData m_earlyData = EarlyData::Taken;
    int m_earlyDataDrops = 0;
    QByteArray m_pasvHost;
    std::optional<QByteArray> m_listing;
    QSslConfiguration m_tls;
    QSet<QString> m_directories{QStringLiteral("/")};
    bool m_renameOverFileRefused = false;
    bool m_renamesRefused = false;
    bool m_hiddenNamesRefused = false;
    bool m_oneCommandAtATime = false;
    bool m_renamesOutOfOrder = false;
    Digests m_digests = Digests::None;

    QList<QByteArray> m_commands;
    QMap<QString, QByteArray> m_files;
    int m_connections = 0;
    int m_disconnections = 0;
    QList<QHostAddress> m_dataPeers;
};

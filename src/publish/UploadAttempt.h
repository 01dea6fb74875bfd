#pragma once

#include "publish/PublishResult.h"
#include "publish/ServerIdentityTrust.h"

#include <QString>

#include <functional>

namespace Kakiva {

class PublishClient;
class ServerRecord;

// The date whose four pages are sent: year as given, month and day as two digits.
struct UploadDate
{
    QString year;
    QString month;
    QString day;
};

// One upload attempt: connect with the stored FTP settings, change to the configured
// remote directory, send the year list, enter (or make) the year directory and send its
// month list, enter (or make) the month directory and send the day list and the day
// page. Each stage reports its status text as it happens. The data of a store goes right
// behind its STOR unless the record of the destination says the server cannot take that;
// a server that fails such a store is recorded so, for the next attempt.
//
// Before connecting, the password is resolved once (destinationPassword): a keyring that
// gives none ends the attempt with its status and NoPassword, before anything is sent.
//
// The client speaks FTP or SFTP, as the server setting says (makePublishClient). A TLS
// certificate that does not verify is accepted when it is the one pinned for the server; an
// SSH host key when a known-hosts file holds it. Otherwise the user is asked, and what the
// user trusts is remembered. A refusal ends the attempt with "証明書エラー" or "ホスト鍵エラー".
class UploadAttempt
{
public:
    using Result = PublishResult;
    using StatusSink = std::function<void(const QString &status)>;
    using CancelCheck = std::function<bool()>;
    // Ask the user whether to trust a certificate or a host key; true trusts it. Unset:
    // never trusted.
    using TrustQuestions = ServerIdentityTrust::Questions;

    UploadAttempt(PublishClient &client, StatusSink status, CancelCheck cancelled);

    void setTrustQuestions(TrustQuestions ask) { m_ask = std::move(ask); }

    Result run(const UploadDate &date);

private:
    bool connect(const QString &server, const QString &name, const QString &password);
    bool enterRemoteRoot(const QString &directory);
    bool enterDirectory(const QString &name);
    bool send(const QString &localPath, bool last = false);
    bool fail(const QString &status);

    PublishClient &m_client;
    StatusSink m_status;
    CancelCheck m_cancelled;
    ServerRecord *m_record = nullptr;       // what the server confirmed, kept as it confirms it
    ServerIdentityTrust *m_trust = nullptr; // the pins, and the user's answers this attempt
    TrustQuestions m_ask;
};

} // namespace Kakiva

#pragma once

#include "publish/CertificateTrust.h"

#include <QString>

#include <functional>

namespace Kakiva {

class FtpClient;
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
// A TLS certificate that does not verify is accepted when it is the one pinned for the
// server; otherwise the user is asked, and a certificate the user trusts is pinned. One the
// user refuses ends the attempt with "証明書エラー".
class UploadAttempt
{
public:
    enum class Result
    {
        Succeeded,
        Failed,
        Cancelled,
        CertificateRefused // asking again at once would only get the same answer
    };
    using StatusSink = std::function<void(const QString &status)>;
    using CancelCheck = std::function<bool()>;
    // Asks the user whether to trust a certificate; true trusts it. Unset: never trusted.
    using TrustQuestion = CertificateTrust::Question;

    UploadAttempt(FtpClient &client, StatusSink status, CancelCheck cancelled);

    void setTrustQuestion(TrustQuestion ask) { m_ask = std::move(ask); }

    Result run(const UploadDate &date);

private:
    bool connect(const QString &server, const QString &name, const QString &password);
    bool enterRemoteRoot(const QString &directory);
    bool enterDirectory(const QString &name);
    bool send(const QString &localPath, bool last = false);
    bool fail(const QString &status);

    FtpClient &m_client;
    StatusSink m_status;
    CancelCheck m_cancelled;
    ServerRecord *m_record = nullptr;    // what the server confirmed, kept as it confirms it
    CertificateTrust *m_trust = nullptr; // the pins, and the user's answers this attempt
    TrustQuestion m_ask;
};

} // namespace Kakiva

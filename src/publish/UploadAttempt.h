#pragma once

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
// page. Each stage reports its status text as it happens.
class UploadAttempt
{
public:
    enum class Result
    {
        Succeeded,
        Failed,
        Cancelled
    };
    using StatusSink = std::function<void(const QString &status)>;
    using CancelCheck = std::function<bool()>;

    UploadAttempt(FtpClient &client, StatusSink status, CancelCheck cancelled);

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
    ServerRecord *m_record = nullptr; // what the server confirmed, kept as it confirms it
};

} // namespace Kakiva

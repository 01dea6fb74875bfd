#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

namespace Kakiva {

// The FTP component the upload drives: synchronous, command level, one instance per
// upload attempt. Every call returns within its time-out, or within a fraction of a
// second once the cancel flag is raised. Results are 16-bit, as the upload reads them.
class FtpClient
{
public:
    FtpClient();
    ~FtpClient();
    FtpClient(const FtpClient &) = delete;
    FtpClient &operator=(const FtpClient &) = delete;

    // Appends one time-stamped line per command and reply to the log at path.
    qint16 OpenLog(const QString &path, qint16 mode);

    // 0 connected and logged in; 1-5 the server refused (greeting, USER, PASS, ...);
    // -1 the socket could not be opened; -2 time-out; 10000 and more a socket error.
    // server is a host name, an IPv4 or IPv6 address, optionally with ":port".
    qint16 Connect(const QString &server, const QString &user, const QString &password);

    // Sends one command line (no line end) and returns the first digit of the reply code,
    // or a negative value when no reply came or the line was refused before sending.
    qint16 Command(const QString &line);

    // Stores a local file in the current remote directory, under remoteName or, when that
    // is empty, under the local file's own name. 1 or more sent; 0 the local file does
    // not exist (nothing was sent); negative any other failure.
    qint16 PutFile(const QString &localPath, const QString &remoteName);

    void Close();
    void CloseLog();

    // Raised from another thread to abandon whatever call is running.
    void setCancelFlag(const std::atomic_bool *cancel);
    // The limit on connecting, on each reply and on the data connection.
    void setTimeout(std::chrono::milliseconds timeout);

    // What the session cost on the wire so far.
    struct WireStats
    {
        int commandsSent = 0;
        int roundTrips = 0; // waits for the server
    };
    WireStats wireStats() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Kakiva

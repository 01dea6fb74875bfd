#include "publish/UploadAttempt.h"

#include "pages/PagePaths.h"
#include "platform/AppDir.h"
#include "publish/DestinationPassword.h"
#include "publish/ServerRecord.h"
#include "publish/SiteInventory.h"
#include "publish/UploadStatus.h"
#include "publish/client/PublishClient.h"

namespace Kakiva {

namespace {

constexpr qint16 CommandSucceeded = 2;

} // namespace

UploadAttempt::UploadAttempt(PublishClient &client, StatusSink status, CancelCheck cancelled)
    : m_client(client), m_status(std::move(status)), m_cancelled(std::move(cancelled))
{
}

UploadAttempt::Result UploadAttempt::run(const UploadDate &date)
{
    // The settings are read at each attempt, so a corrected password takes effect at
    // the next retry without reopening the window.
    const PublishDestination destination = configuredDestination();
    const DestinationPassword password = destinationPassword(destination, m_cancelled);
    if (m_cancelled())
        return Result::Cancelled;
    if (!password.failure.isEmpty()) {
        m_status(password.failure);
        return Result::NoPassword;
    }
    m_client.OpenLog(applicationPath(FtpLogFileName), 1);
    ServerIdentityTrust trust(m_ask, m_cancelled);
    m_trust = &trust;
    m_client.setServerTrust(trust.decisions());
    ServerRecord record(destination);
    m_record = &record;
    m_client.setPipelining(record.pipelining());
    const bool sent = connect(destination.server, destination.user, password.password) &&
                      enterRemoteRoot(destination.directory) && enterDirectory(date.year) &&
                      send(monthListPath(date.year)) && enterDirectory(date.month) &&
                      send(dayListPath(date.year, date.month)) &&
                      send(dayPagePath(date.year, date.month, date.day), true);
    if (m_client.fellBackToClassic() && record.pipelining())
        record.useClassicOrder(); // unrecorded, the next attempt only learns it again
    m_record = nullptr;
    m_trust = nullptr;
    m_client.setServerTrust({});
    if (m_cancelled())
        return Result::Cancelled;
    switch (trust.refusal()) {
    case ServerIdentityTrust::Refusal::Certificate:
        return Result::CertificateRefused;
    case ServerIdentityTrust::Refusal::HostKey:
        return Result::HostKeyRefused;
    case ServerIdentityTrust::Refusal::None:
        break;
    }
    if (!sent)
        return Result::Failed;
    m_client.Close();
    m_client.CloseLog();
    return Result::Succeeded;
}

bool UploadAttempt::connect(const QString &server, const QString &name, const QString &password)
{
    const qint16 result = m_client.Connect(server, name, password);
    // A connection abandoned because the window closes reads as a time-out, which it is not.
    if (m_cancelled())
        return false;
    if (const QString refused = refusalStatus(m_trust->refusal()); !refused.isEmpty())
        return fail(refused);
    const ConnectOutcome outcome = classifyConnectResult(result);
    if (!outcome.status.isEmpty())
        m_status(outcome.status);
    return !outcome.failed;
}

bool UploadAttempt::enterRemoteRoot(const QString &directory)
{
    // An empty setting means the login directory itself. A directory that cannot be
    // entered is a failure: building the site elsewhere would publish into the wrong place.
    if (!directory.isEmpty()) {
        if (m_client.Command(QStringLiteral("CWD ") + directory) != CommandSucceeded)
            return fail(UploadStatus::Error);
        m_status(UploadStatus::DirectoryChanged);
    }
    return send(yearListPath());
}

bool UploadAttempt::enterDirectory(const QString &name)
{
    if (m_client.Command(QStringLiteral("CWD ") + name) == CommandSucceeded) {
        m_status(UploadStatus::DirectoryChanged);
        return true;
    }
    if (m_cancelled())
        return false;
    m_client.Command(QStringLiteral("MKD ") + name);
    // Sending into whatever directory we are still in would overwrite that
    // directory's index.html, so a directory we cannot enter ends the attempt.
    if (m_client.Command(QStringLiteral("CWD ") + name) != CommandSucceeded)
        return fail(UploadStatus::Error);
    return true;
}

// "アップ成功" only once the last page is confirmed: seen earlier, it would invite closing
// the window, which cancels the pages still on their way.
bool UploadAttempt::send(const QString &localPath, bool last)
{
    // Taken before sending: a page rewritten meanwhile then reads as unsent, never as sent.
    const QByteArray digest = fileDigest(localPath);
    const qint16 result = m_client.PutFile(localPath, QString());
    if (m_cancelled())
        return false;
    if (result >= 1) {
        // Unrecorded, the page only counts as unsent and goes again later: no failure.
        m_record->confirm(remotePathOf(localPath), digest);
        m_status(last ? UploadStatus::Sent : UploadStatus::Uploading);
        return true;
    }
    return fail(result == 0 ? UploadStatus::NoSuchFile : UploadStatus::Error);
}

bool UploadAttempt::fail(const QString &status)
{
    if (!m_cancelled())
        m_status(status);
    return false;
}

} // namespace Kakiva

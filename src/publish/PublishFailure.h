#pragma once

#include "publish/OutcomeKind.h"

#include <QString>

namespace Kakiva {

// Why a publishing run stopped: a kind, and beside it what the kind concerns. The windows
// make the sentence (OutcomeText).
struct PublishFailure
{
    PublishFailure() = default;
    explicit PublishFailure(OutcomeKind kind) : kind(kind) {}
    PublishFailure(OutcomeKind kind, QString remotePath, int serverCode = 0)
        : kind(kind), concernsPath(true), remotePath(std::move(remotePath)), serverCode(serverCode)
    {
    }

    OutcomeKind kind = OutcomeKind::None;
    bool concernsPath = false; // a file or directory, below the site ("" for its top)
    QString remotePath;
    int serverCode = 0; // ServerRefused: the server's refusing reply code

    bool isFailure() const { return kind != OutcomeKind::None; }
    bool operator==(const PublishFailure &) const = default;

    // A Connect result that ended the login; one outside the classed values is a failed
    // connection all the same.
    static PublishFailure ofConnect(qint16 result);
    // A "CWD " that could not reach the remote directory path.
    static PublishFailure ofDirectory(const QString &path);
    // A PutFile, RemoveFile or Command result that failed for remotePath.
    static PublishFailure ofStore(const QString &remotePath, qint16 result);
};

} // namespace Kakiva

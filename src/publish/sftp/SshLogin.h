#pragma once

#include "publish/sftp/SshWait.h"

#include <QList>
#include <QString>

struct ssh_session_struct;

namespace Kakiva {

class SessionLog;

// How a login ended: a Connect result (SftpResult.h), 0 when logged in, and what failed.
struct SshLoginResult
{
    qint16 result = 0;
    QString what;
    SshWait::Outcome outcome = SshWait::Outcome::Go;
};

// Logs in on a session whose host key is settled. With a password: plain password
// authentication, or keyboard-interactive when the server takes only that, answering the
// one prompt that asks for the password and nothing else. Without one: the keys of the
// user's SSH agent and default key files.
SshLoginResult sshLogIn(ssh_session_struct *session, const QString &password, SshWait &wait,
                        SessionLog &log);

// Whether a keyboard-interactive prompt asks for the login password: hidden as it is typed,
// and worded so ("Password:", "パスワード:"), not for a one-time code or a new password.
bool isPasswordPrompt(const QString &prompt, bool echoed);

// One prompt of a keyboard-interactive round.
struct LoginPrompt
{
    QString text;
    bool echoed = false;
};

// Whether a round of prompts gets the password: only a round of one prompt, and only when
// that prompt asks for the password (isPasswordPrompt). A round of no prompts gets nothing
// and is no refusal; any other round is a question the program cannot answer.
bool answersWithPassword(const QList<LoginPrompt> &round);

} // namespace Kakiva

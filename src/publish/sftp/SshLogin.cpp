#include "publish/sftp/SshLogin.h"

#include "publish/client/SessionLog.h"
#include "publish/sftp/SftpResult.h"

#include <QStringList>

#include <libssh/libssh.h>

#include <algorithm>

namespace Kakiva {

namespace {

using Outcome = SshWait::Outcome;

// Words of prompts that look like the password's but want something else.
const QStringList OtherSecrets{
    QStringLiteral("one-time"),     QStringLiteral("one time"), QStringLiteral("otp"),
    QStringLiteral("code"),         QStringLiteral("token"),    QStringLiteral("verification"),
    QStringLiteral("new password"), QStringLiteral("again"),    QStringLiteral("retype"),
    QStringLiteral("ワンタイム"),   QStringLiteral("確認"),     QStringLiteral("新しい")};

QString methodNames(int methods)
{
    QStringList names;
    if (methods & SSH_AUTH_METHOD_PASSWORD)
        names << QStringLiteral("password");
    if (methods & SSH_AUTH_METHOD_INTERACTIVE)
        names << QStringLiteral("keyboard-interactive");
    if (methods & SSH_AUTH_METHOD_PUBLICKEY)
        names << QStringLiteral("publickey");
    if (methods & SSH_AUTH_METHOD_HOSTBASED)
        names << QStringLiteral("hostbased");
    return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1Char(','));
}

class Login
{
public:
    Login(ssh_session session, SshWait &wait, SessionLog &log)
        : m_session(session), m_wait(wait), m_log(log)
    {
    }

    SshLoginResult withPassword(const QByteArray &secret)
    {
        m_log.note(QStringLiteral("authenticating with the password"));
        const int rc = step([&] { return ssh_userauth_password(m_session, nullptr, secret); });
        if (rc != SSH_AUTH_DENIED && rc != SSH_AUTH_PARTIAL)
            return ended(rc, SftpResult::Connect::PasswordRefused);
        // The refusal names the methods the server takes: no probe is needed to learn them.
        const int methods = serverMethods();
        if (!(methods & SSH_AUTH_METHOD_PASSWORD) && (methods & SSH_AUTH_METHOD_INTERACTIVE))
            return keyboardInteractive(secret);
        if (methods & SSH_AUTH_METHOD_PASSWORD)
            return {SftpResult::Connect::PasswordRefused, QStringLiteral("password refused")};
        return {SftpResult::Connect::NoUsableLogin,
                QStringLiteral("no login method the program can use")};
    }

    SshLoginResult withKeys()
    {
        m_log.note(QStringLiteral("authenticating with the agent's and default keys"));
        const int rc =
            step([&] { return ssh_userauth_publickey_auto(m_session, nullptr, nullptr); });
        if (rc != SSH_AUTH_DENIED && rc != SSH_AUTH_PARTIAL)
            return ended(rc, SftpResult::Connect::PasswordRefused);
        if (serverMethods() & SSH_AUTH_METHOD_PUBLICKEY)
            return {SftpResult::Connect::PasswordRefused, QStringLiteral("every key refused")};
        return {SftpResult::Connect::NoUsableLogin, QStringLiteral("no key login offered")};
    }

private:
    // The password goes to the first round of prompts only, and only when it is asked for;
    // prompts after it mean the password was wrong or a second factor is wanted.
    SshLoginResult keyboardInteractive(const QByteArray &secret)
    {
        m_log.note(QStringLiteral("authenticating keyboard-interactive"));
        int rc = kbdintStep();
        bool answered = false;
        while (rc == SSH_AUTH_INFO) {
            const QList<LoginPrompt> round = promptsOfRound();
            if (!round.isEmpty()) {
                if (!answersWithPassword(round))
                    return {SftpResult::Connect::SecondFactorAsked,
                            QStringLiteral("the server asks for more than the password; "
                                           "it was not given")};
                if (answered)
                    return {SftpResult::Connect::PasswordRefused,
                            QStringLiteral("password asked again")};
                if (ssh_userauth_kbdint_setanswer(m_session, 0, secret.constData()) < 0)
                    return {SftpResult::Connect::NoUsableLogin, QStringLiteral("answer not taken")};
                answered = true;
            }
            rc = kbdintStep();
        }
        if (rc == SSH_AUTH_DENIED || rc == SSH_AUTH_PARTIAL)
            return {SftpResult::Connect::PasswordRefused,
                    QStringLiteral("keyboard-interactive refused")};
        return ended(rc, SftpResult::Connect::PasswordRefused);
    }

    QList<LoginPrompt> promptsOfRound()
    {
        QList<LoginPrompt> round;
        const int prompts = ssh_userauth_kbdint_getnprompts(m_session);
        for (int i = 0; i < prompts; ++i) {
            char echo = 0;
            const QString text =
                QString::fromUtf8(ssh_userauth_kbdint_getprompt(m_session, i, &echo));
            m_log.received(QStringLiteral("prompt: ") + text);
            round.append({text, echo != 0});
        }
        return round;
    }

    int kbdintStep()
    {
        return step([&] { return ssh_userauth_kbdint(m_session, nullptr, nullptr); });
    }

    template <typename Call> int step(Call call)
    {
        return m_wait.repeat(m_session, SSH_AUTH_AGAIN, &m_outcome, call);
    }

    int serverMethods()
    {
        const int methods = ssh_userauth_list(m_session, nullptr);
        m_log.received(QStringLiteral("login methods: ") + methodNames(methods));
        return methods;
    }

    // Success, or a wait or connection that ended.
    SshLoginResult ended(int rc, qint16 otherwise)
    {
        if (rc == SSH_AUTH_SUCCESS) {
            m_log.note(QStringLiteral("authenticated"));
            return {};
        }
        const bool closed =
            (ssh_get_status(m_session) & SSH_CLOSED) || !ssh_is_connected(m_session);
        return {closed ? SftpResult::Connect::ClosedByServer : otherwise,
                QStringLiteral("authentication"), m_outcome};
    }

    ssh_session m_session;
    SshWait &m_wait;
    SessionLog &m_log;
    Outcome m_outcome = Outcome::Go;
};

} // namespace

bool isPasswordPrompt(const QString &prompt, bool echoed)
{
    const QString text = prompt.toLower();
    if (echoed || !(text.contains(QLatin1String("password")) || text.contains(u"パスワード")))
        return false;
    return std::none_of(OtherSecrets.begin(), OtherSecrets.end(),
                        [&text](const QString &word) { return text.contains(word); });
}

bool answersWithPassword(const QList<LoginPrompt> &round)
{
    return round.size() == 1 && isPasswordPrompt(round.first().text, round.first().echoed);
}

SshLoginResult sshLogIn(ssh_session session, const QString &password, SshWait &wait,
                        SessionLog &log)
{
    Login login(session, wait, log);
    return password.isEmpty() ? login.withKeys() : login.withPassword(password.toUtf8());
}

} // namespace Kakiva

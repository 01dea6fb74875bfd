#include "publish/sftp/SshHostKeys.h"

#include "platform/AppDir.h"
#include "platform/WholeFile.h"
#include "publish/sftp/KnownHostLines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <libssh/libssh.h>

#include <algorithm>
#include <memory>

namespace Kakiva {

namespace {

constexpr QLatin1StringView OwnKnownHostsName{"known_hosts"};
constexpr QLatin1StringView DamagedSuffix{".damaged"};
// Stands for "no file": read, it ends at once.
constexpr char NoFile[] = "/dev/null";

struct KeyFree
{
    void operator()(ssh_key key) const { ssh_key_free(key); }
};
using KeyHandle = std::unique_ptr<ssh_key_struct, KeyFree>;

QString sha256Fingerprint(ssh_key key)
{
    unsigned char *hash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &length) != SSH_OK)
        return {};
    char *text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, length);
    ssh_clean_pubkey_hash(&hash);
    const QString fingerprint = QString::fromLatin1(text);
    ssh_string_free_char(text);
    return fingerprint;
}

// "<hosts> <type>", the part of a line that says which key it is.
QByteArray hostsAndType(const QByteArray &line)
{
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 2 || fields.first().startsWith('#') || fields.first().startsWith('@'))
        return {};
    return fields.at(0) + ' ' + fields.at(1);
}

QByteArray publicKeyBase64(ssh_key key)
{
    char *text = nullptr;
    if (ssh_pki_export_pubkey_base64(key, &text) != SSH_OK)
        return {};
    const QByteArray base64(text);
    ssh_string_free_char(text);
    return base64;
}

// What the files say together, read past damaged lines, as the library merges them: the key
// pinned in either is known, a different key of its type in either is a change.
KnownHostMatch matchInFiles(const KnownHostsFiles &files, const HostKeyQuestion &question,
                            ssh_key key)
{
    const QByteArray base64 = publicKeyBase64(key);
    KnownHostMatch found = KnownHostMatch::Unknown;
    for (const QString &path : {files.own, files.user}) {
        QByteArray bytes;
        if (base64.isEmpty() || readFileWhole(path, &bytes) != FileRead::Done)
            continue; // missing, unreadable, or no regular file: as the library has it
        const KnownHostMatch match = matchKnownHost(bytes, question.host, question.port,
                                                    question.keyType.toLatin1(), base64);
        if (match == KnownHostMatch::Known)
            return match;
        if (match == KnownHostMatch::Changed || found == KnownHostMatch::Unknown)
            found = match;
    }
    return found;
}

} // namespace

KnownHostsFiles defaultKnownHostsFiles()
{
    return {QDir::homePath() + QStringLiteral("/.ssh/known_hosts"),
            applicationPath(OwnKnownHostsName)};
}

QStringList useKnownHostsFiles(ssh_session session, const KnownHostsFiles &files)
{
    QStringList skipped;
    const auto usable = [&skipped](const QString &path) {
        const QFileInfo info(path); // a stat, which never waits on a pipe
        if (!info.exists() || info.isFile())
            return QFile::encodeName(path);
        skipped << path;
        return QByteArray(NoFile);
    };
    // The program's own file is the one the library reads first; the user's file stands in
    // the place of the system-wide one, which is never written.
    ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, usable(files.own).constData());
    ssh_options_set(session, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, usable(files.user).constData());
    return skipped;
}

std::optional<HostKeyCheck> checkHostKey(ssh_session session, const QString &host, quint16 port,
                                         const KnownHostsFiles &files)
{
    ssh_key raw = nullptr;
    if (ssh_get_server_publickey(session, &raw) != SSH_OK || !raw)
        return std::nullopt;
    const KeyHandle key(raw);
    HostKeyCheck check;
    check.question.host = host;
    check.question.port = port;
    check.question.keyType = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key.get())));
    check.question.fingerprint = sha256Fingerprint(key.get());
    switch (ssh_session_is_known_server(session)) {
    case SSH_KNOWN_HOSTS_OK:
        check.known = true;
        break;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: // known under another key type: not to be taken silently
        check.question.changed = true;
        break;
    default: // unknown, no file yet, or a file the library could not read to its end
        switch (matchInFiles(files, check.question, key.get())) {
        case KnownHostMatch::Known:
            check.known = true;
            break;
        case KnownHostMatch::Changed:
        case KnownHostMatch::OtherType:
            check.question.changed = true;
            break;
        case KnownHostMatch::Unknown: // ask
            break;
        }
    }
    return check;
}

bool isReadableKnownHostLine(const QByteArray &line)
{
    const bool control = std::any_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r') || byte == 0x7f;
    });
    if (control)
        return false;
    const QByteArray text = line.simplified();
    return text.isEmpty() || text.startsWith('#') || text.count(' ') >= 2;
}

QByteArray withKnownHostEntry(const QByteArray &file, const QByteArray &entry)
{
    const QByteArray key = hostsAndType(entry);
    QByteArray result;
    for (const QByteArray &line : file.split('\n')) {
        if (line.trimmed().isEmpty() || !isReadableKnownHostLine(line) ||
            (!key.isEmpty() && hostsAndType(line) == key))
            continue;
        result += line + '\n';
    }
    return result + entry.trimmed() + '\n';
}

bool pinHostKey(ssh_session session, const QString &ownFile, bool *damaged, QString *error)
{
    char *entry = nullptr;
    if (ssh_session_export_known_hosts_entry(session, &entry) != SSH_OK) {
        *error = QString::fromUtf8(ssh_get_error(session));
        return false;
    }
    const QByteArray line(entry);
    ssh_string_free_char(entry);
    QByteArray current;
    if (readFileWhole(ownFile, &current, error) == FileRead::Failed)
        return false;
    const QList<QByteArray> lines = current.split('\n');
    *damaged = !std::all_of(lines.begin(), lines.end(), isReadableKnownHostLine);
    if (*damaged && !writeFileWhole(ownFile + DamagedSuffix, current, error))
        return false;
    return writeFileWhole(ownFile, withKnownHostEntry(current, line), error);
}

} // namespace Kakiva

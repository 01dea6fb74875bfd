#pragma once

#include "publish/client/HostKeyQuestion.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

struct ssh_session_struct;

namespace Kakiva {

// Where known host keys are looked up: the user's own OpenSSH file, only ever read, and the
// program's file, to which trusted keys are added.
struct KnownHostsFiles
{
    QString user;
    QString own;
};

// ~/.ssh/known_hosts and "known_hosts" in the application directory.
KnownHostsFiles defaultKnownHostsFiles();

// Points the session at the files; before connecting, so the key types already known for
// the host are preferred in the handshake. A path that is there but is no regular file (a
// named pipe would block the library for good) is handed over as no file at all; those
// paths are returned.
QStringList useKnownHostsFiles(ssh_session_struct *session, const KnownHostsFiles &files);

struct HostKeyCheck
{
    bool known = false;
    HostKeyQuestion question;
};

// Compares the key the server showed in the handshake with both files. The library stops
// reading a file at a damaged line, so where it finds no pin the files are read again past
// such lines (matchKnownHost): a key pinned after one is known, or shown as changed. Nothing
// when the session holds no server key.
std::optional<HostKeyCheck> checkHostKey(ssh_session_struct *session, const QString &host,
                                         quint16 port, const KnownHostsFiles &files);

// Adds the session's server key to the program's file, replacing what the file held for
// the host under the same key type. Lines the library cannot read hide every line after
// them from it, so they are left out; the damaged file is kept beside it first, as
// "<file>.damaged", and *damaged says so.
bool pinHostKey(ssh_session_struct *session, const QString &ownFile, bool *damaged, QString *error);

// A line the library reads as an entry or a comment: no control bytes (a NUL ends its
// reading of the whole file) and, unless blank or a comment, hosts, type and key.
bool isReadableKnownHostLine(const QByteArray &line);

// The known-hosts text with entry ("<hosts> <type> <key>") in place of any line for the same
// hosts and key type and without unreadable lines; other lines stay as they were.
QByteArray withKnownHostEntry(const QByteArray &file, const QByteArray &entry);

} // namespace Kakiva

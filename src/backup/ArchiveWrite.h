#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

namespace Kakiva {

// One file of a backup: its name inside the archive ('/' separated, UTF-8 in the
// archive) and where its bytes come from: the file at sourcePath, or bytes when there
// is no source (the settings without the password).
struct ArchiveMember
{
    QString name;
    QString sourcePath;
    QByteArray bytes;
    qint64 modified = 0; // seconds since the epoch
};

struct WrittenMember
{
    QString name;
    qint64 size = 0;
};

// Writes members to device as a zip archive (stored), the format every desktop opens
// without Kakiva. A source file that is gone by the time it is read (a day deleted
// meanwhile) is left out; *written lists what went in. False when a file could not be
// read or the device refused the bytes; then *error says which and why.
bool writeZipArchive(QIODevice &device, const QList<ArchiveMember> &members,
                     QList<WrittenMember> *written, QString *error);

} // namespace Kakiva

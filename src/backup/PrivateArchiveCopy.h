#pragma once

#include <QString>

namespace Kakiva {

// A copy of a backup archive in a hidden place of the data folder, which only this
// program writes: a restore checks and writes from the copy, so an archive replaced in
// the backup folder while the restore runs (while the backup before it is written, say)
// is never the one written. The copy goes with this object.
class PrivateArchiveCopy
{
public:
    PrivateArchiveCopy() = default;
    ~PrivateArchiveCopy();
    PrivateArchiveCopy(const PrivateArchiveCopy &) = delete;
    PrivateArchiveCopy &operator=(const PrivateArchiveCopy &) = delete;

    // Copies the archive at source, read through one open of a regular file. False with
    // *error (naming source) when it cannot be read or the copy cannot be written.
    bool take(const QString &source, QString *error);

    // The copy; its name ends like the source's, so it is read in the same format.
    QString path() const { return m_path; }

    // error with the copy's path told as the source's, for the user's eyes.
    QString asSource(QString error) const;

private:
    QString m_source;
    QString m_path;
};

} // namespace Kakiva

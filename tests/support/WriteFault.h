#pragma once

#include "FileSizeLimit.h"

#include <QFile>
#include <QString>
#include <QTest>

#include <unistd.h>

// A fault in force for as long as it lives, for tests of how a write fails: a directory
// made read-only (writable again afterwards), or a disk that fills up once a file holds
// diskBytes.
class WriteFault
{
public:
    enum Kind
    {
        None,
        ReadOnlyDirectory,
        DiskFull,
    };

    WriteFault(Kind kind, const QString &directory, rlim_t diskBytes)
        : m_limit(kind == DiskFull ? diskBytes : RLIM_INFINITY)
    {
        if (kind != ReadOnlyDirectory)
            return;
        m_readOnlyDirectory = directory;
        QVERIFY(QFile::setPermissions(directory, QFile::ReadOwner | QFile::ExeOwner));
    }
    ~WriteFault()
    {
        if (!m_readOnlyDirectory.isEmpty())
            QFile::setPermissions(m_readOnlyDirectory,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    WriteFault(const WriteFault &) = delete;
    WriteFault &operator=(const WriteFault &) = delete;

private:
    QString m_readOnlyDirectory;
    FileSizeLimit m_limit;
};

// Permissions do not stop the superuser, so a read-only test has nothing to show under it.
inline bool runsAsSuperuser()
{
    return geteuid() == 0;
}

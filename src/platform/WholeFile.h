#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace Kakiva {

// Every file the program keeps is read and written whole.

enum class FileRead
{
    Done,
    Missing, // no file at the path: for an entry or the settings, nothing written yet
    Failed,
};

// Reads the whole file into *bytes. On Failed *error names the path and the reason; on
// Missing too, for callers to whom a missing file is a fault.
FileRead readFileWhole(const QString &path, QByteArray *bytes, QString *error = nullptr);

// Writes the whole file or nothing: the bytes go to a temporary file beside the target
// which replaces it only once everything was written, so a crash or a full disk leaves
// the previous version in place. On failure *error names the path and the reason.
// ownerOnly creates the file readable by its owner alone (it may hold a password).
bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error,
                    bool ownerOnly = false);

// "<native path>: <reason>", the one form every failure message takes.
QString fileErrorMessage(const QString &path, const QString &reason);

} // namespace Kakiva

#include "backup/ArchivePlacement.h"

#include "backup/ArchiveRead.h"
#include "platform/WholeFile.h"

#include <QDir>
#include <QFile>

namespace Kakiva {

namespace {

// What was written must read back whole, member for member.
bool readsBack(const QString &temporary, const QString &path, const QList<WrittenMember> &written,
               QString *error)
{
    qsizetype index = 0;
    const auto compare = [&](const QString &name, const QByteArray &bytes, QString *fault) {
        if (index >= written.size() || written[index].name != name ||
            written[index].size != bytes.size() || written[index].digest != memberDigest(bytes)) {
            *fault = QStringLiteral("reads back other than written");
            return false;
        }
        ++index;
        return true;
    };
    // The temporary's name ends like the backup's, so it is read in the same format. The
    // user hears of the backup by its own name.
    if (!readBackupArchive(temporary, compare, error)) {
        error->replace(QDir::toNativeSeparators(temporary), QDir::toNativeSeparators(path));
        return false;
    }
    if (index != written.size()) {
        *error = fileErrorMessage(path, QStringLiteral("reads back shorter than written"));
        return false;
    }
    return true;
}

} // namespace

bool placeCheckedArchive(const QString &temporary, const QString &path,
                         const QList<WrittenMember> &written, QString *error)
{
    if (!readsBack(temporary, path, written, error)) {
        QFile::remove(temporary);
        return false;
    }
    QFile moved(temporary);
    if (!moved.rename(path)) {
        *error = fileErrorMessage(path, moved.errorString());
        QFile::remove(temporary);
        return false;
    }
    return true;
}

} // namespace Kakiva

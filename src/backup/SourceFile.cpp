#include "backup/SourceFile.h"

#include "platform/RegularFile.h"

namespace Kakiva {

SourceRead readSourceFile(const QString &path, const QString &name, QByteArray *bytes,
                          qint64 *modified, LeftOutFile *leftOut)
{
    QString reason;
    switch (readRegularFileWhole(path, bytes, modified, &reason)) {
    case RegularRead::Done:
        return SourceRead::Read;
    case RegularRead::Missing:
        return SourceRead::Gone;
    case RegularRead::NotRegular:
        *leftOut = {name, LeftOutReason::NotAFile, reason};
        return SourceRead::LeftOut;
    case RegularRead::Failed:
        break;
    }
    *leftOut = {name, LeftOutReason::Unreadable, reason};
    return SourceRead::LeftOut;
}

} // namespace Kakiva

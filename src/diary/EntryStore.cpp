#include "diary/EntryStore.h"

#include "platform/AppDir.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/TextLines.h"
#include "platform/WholeFile.h"

namespace Kakiva {

namespace {

QString entryFolderPath(const QString &year, const QString &month)
{
    return applicationPath(DiaryDirName) + QLatin1Char('/') + year + QLatin1Char('/') + month;
}

void appendEntryLines(QByteArrayView stored, QString &text)
{
    const QList<QByteArrayView> lines = splitLines(stored);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // The first line starts an empty text even when it is blank, so blank lines at the
        // top of an entry survive opening and saving it again.
        if (i > 0 || !text.isEmpty())
            text += QLatin1StringView(LineEnd);
        text += restoreCharacterReferences(fromCp932(lines[i]));
    }
}

} // namespace

QString entryFilePath(const QString &year, const QString &month, const QString &day)
{
    return entryFolderPath(year, month) + QLatin1Char('/') + day + QLatin1String(".dia");
}

qint16 DiaryWrite(const QString &year, const QString &month, const QString &day,
                  const QString &text, QString *error)
{
    const QString path = entryFilePath(year, month, day);
    // An entry that exists but cannot be read was never shown, so it must not be replaced.
    QByteArray previous;
    QString readError;
    if (readFileWhole(path, &previous, &readError) == FileRead::Failed) {
        if (error)
            *error = readError;
        return -1;
    }
    if (!DirMake(entryFolderPath(year, month), error))
        return -1;
    if (!writeFileWhole(path, toCp932(text) + LineEnd, error))
        return -1;
    return 0;
}

bool DiaryDelete(const QString &year, const QString &month, const QString &day, QString *error)
{
    if (!removeFile(entryFilePath(year, month, day), error))
        return false;
    if (removeEmptyDirectory(entryFolderPath(year, month)))
        removeEmptyDirectory(applicationPath(DiaryDirName) + QLatin1Char('/') + year);
    return true;
}

bool readEntryBytes(const QString &year, const QString &month, const QString &day,
                    QByteArray &bytes, QString *error)
{
    return readFileWhole(entryFilePath(year, month, day), &bytes, error) == FileRead::Done;
}

qint16 DiaryRead(const QString &year, const QString &month, const QString &day, QString &text,
                 QString *error)
{
    QByteArray stored;
    switch (readFileWhole(entryFilePath(year, month, day), &stored, error)) {
    case FileRead::Done:
        appendEntryLines(stored, text);
        return 0;
    case FileRead::Missing:
        return EntryMissing;
    case FileRead::Failed:
        break;
    }
    return EntryUnreadable;
}

} // namespace Kakiva

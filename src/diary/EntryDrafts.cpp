#include "diary/EntryDrafts.h"

#include "diary/EntryStore.h"
#include "platform/AppDir.h"
#include "platform/FileSystem.h"
#include "platform/WholeFile.h"

#include <QFile>
#include <QFileInfo>

namespace Kakiva {

namespace {

constexpr QLatin1StringView DraftSuffix{".txt"};

QString draftFolderPath()
{
    return applicationPath(DiaryDirName) + QStringLiteral("/.drafts");
}

// A draft counts only when it was written after the entry: a draft that outlived a save
// (its removal failed) holds nothing the entry lacks.
bool isNewerThanEntry(const QFileInfo &draft, const DateFields &day)
{
    const QFileInfo entry(entryFilePath(day.year, day.month, day.day));
    return !entry.exists() || draft.lastModified() > entry.lastModified();
}

QString draftFileName(const DateFields &day)
{
    return day.year + day.month + day.day + DraftSuffix;
}

// The day a draft's file name stands for; an invalid date for anything else (a
// leftover of an interrupted write, a file the user put there).
QDate dayOfDraftFile(const QString &fileName)
{
    if (!fileName.endsWith(DraftSuffix))
        return {};
    const QDate date =
        QDate::fromString(fileName.chopped(DraftSuffix.size()), QStringLiteral("yyyyMMdd"));
    return date.isValid() && draftFileName(paddedDateFields(date)) == fileName ? date : QDate();
}

} // namespace

QString draftFilePath(const DateFields &day)
{
    return draftFolderPath() + QLatin1Char('/') + draftFileName(day);
}

bool writeDraft(const DateFields &day, const QString &text, QString *error)
{
    return DirMake(draftFolderPath(), error) &&
           writeFileWhole(draftFilePath(day), text.toUtf8(), error);
}

std::optional<QString> pendingDraft(const DateFields &day)
{
    const QString path = draftFilePath(day);
    QByteArray bytes;
    if (!isNewerThanEntry(QFileInfo(path), day) || readFileWhole(path, &bytes) != FileRead::Done)
        return std::nullopt;
    return QString::fromUtf8(bytes);
}

bool removeDraft(const DateFields &day, QString *error)
{
    QFile draft(draftFilePath(day));
    if (!draft.exists() || draft.remove())
        return true;
    if (error)
        *error = fileErrorMessage(draft.fileName(), draft.errorString());
    return false;
}

QList<QDate> pendingDraftDays()
{
    QList<QDate> days;
    const QString folder = draftFolderPath();
    for (const DirEntry &entry : listDirectory(folder).value_or(QList<DirEntry>{})) {
        const QDate date = entry.isDirectory ? QDate() : dayOfDraftFile(entry.name);
        if (date.isValid() && isNewerThanEntry(QFileInfo(folder + QLatin1Char('/') + entry.name),
                                               paddedDateFields(date)))
            days.append(date);
    }
    return days;
}

} // namespace Kakiva

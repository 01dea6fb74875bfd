#pragma once

#include <QObject>
#include <QString>

namespace Kakiva {

// Whoever keeps something read from the entries (the search index) hears here of every
// entry written, so it can read that one day again instead of the whole diary.
class EntrySaveNotice : public QObject
{
    Q_OBJECT

public:
    static EntrySaveNotice &instance();

signals:
    void saved(const QString &year, const QString &month, const QString &day);
};

// Called by whoever has just written an entry with DiaryWrite.
void noteEntrySaved(const QString &year, const QString &month, const QString &day);

} // namespace Kakiva

#pragma once

#include <QString>

#include <functional>

namespace Kakiva {

// Writes a backup of the whole diary and returns once it is safely on disk; false, with
// *error saying why, when it could not be written.
using BackUpFirst = std::function<bool(QString *error)>;

// Takes one day back. A backup is written first, so the day can be restored from it;
// nothing changes when it fails. Then the entry goes, its day page, and the lists, month
// and year folders left empty (HtmlUnmake, DiaryDelete); each removed page that a server
// holds is remembered in that server's record, so the next publish there removes it too.
// False at the first step that failed, with *error saying why; what went before stays done.
bool deleteDay(const QString &year, const QString &month, const QString &day,
               const BackUpFirst &backUpFirst, QString *error = nullptr);

} // namespace Kakiva

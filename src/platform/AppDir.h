#pragma once

#include <QLatin1StringView>
#include <QString>

namespace Kakiva {

// Everything the program keeps lives below one directory. The page tree is named
// "HTML"; the upload side once spelled it "Html", so both go through this constant.
inline constexpr QLatin1StringView DiaryDirName{"Diary"};
inline constexpr QLatin1StringView HtmlDirName{"HTML"};
inline constexpr QLatin1StringView SettingsFileName{"Kakiva.ini"};
inline constexpr QLatin1StringView FtpLogFileName{"ftp.log"};
// Held while the program runs; nothing else may ever write it.
inline constexpr QLatin1StringView LockFileName{".Kakiva.lock"};

// The directory of the running executable, without a trailing separator. When that
// directory cannot be written or is a system program folder (a system-wide install) the
// per-user application data location is used instead, with the same layout below it.
QString applicationDirectory();

// True for the folders packages install programs into (/usr/bin and the like).
bool isSystemProgramFolder(const QString &path);

// Fixes the application directory for the rest of the run (tests use a temporary one).
// An empty string returns to the default.
void setApplicationDirectory(const QString &directory);

// applicationDirectory() joined with a relative path written with '/'.
QString applicationPath(const QString &relative);

} // namespace Kakiva

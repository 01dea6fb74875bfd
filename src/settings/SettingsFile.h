#pragma once

#include <QLatin1StringView>
#include <QString>

namespace Kakiva {

inline constexpr QLatin1StringView FtpSection{"FTP"};
inline constexpr QLatin1StringView ServerKey{"Server"};
inline constexpr QLatin1StringView NameKey{"Name"};
inline constexpr QLatin1StringView PasswordKey{"Password"};
inline constexpr QLatin1StringView DirectoryKey{"Directory"};

QString settingsFilePath();

// One value of Kakiva.ini, read afresh on every call. A missing file, section or key
// reads as "". A value longer than 254 bytes is cut to its first 254 bytes.
QString IniRead(const QString &section, const QString &key);

// Writes one value and keeps everything else in the file byte for byte. Returns false
// when the file could not be written; then *error says which path and why.
bool IniWrite(const QString &section, const QString &key, const QString &value,
              QString *error = nullptr);

} // namespace Kakiva

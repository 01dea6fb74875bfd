#pragma once

#include "settings/SettingsKeys.h"

#include <QByteArray>
#include <QString>

namespace Kakiva {

class IniDocument;

QString settingsFilePath();

// The bytes of Kakiva.ini, read once. A missing file reads as empty; a file that exists but
// cannot be read is false, with *error saying which path and why.
bool readSettingsFile(QByteArray *bytes, QString *error = nullptr);

// One value of a settings file read before, as IniRead gives it.
QString settingIn(const IniDocument &settings, const QString &section, const QString &key);

// One value of Kakiva.ini, read afresh on every call. A missing file, section or key
// reads as "". A value longer than 254 bytes is cut to its first 254 bytes. A file that
// exists but cannot be read reads as "" too; then *error says which path and why.
QString IniRead(const QString &section, const QString &key, QString *error = nullptr);

// Why a value would not read back exactly as given, if it would not.
enum class SettingValueFault
{
    None,
    LineBreak,        // a value is one line of the file
    TooLong,          // more than 254 bytes in the code page: reading would cut it
    CharacterChanges, // a character whose bytes read back as another (〜 as ～)
};
SettingValueFault settingValueFault(const QString &value);

// Writes one value so that IniRead returns it exactly (quoted when it starts or ends
// with a blank or a quote) and keeps everything else in the file byte for byte. Refuses
// a value with a fault above. Returns false when the value was refused or the file could
// not be written; then *error says which path and why.
bool IniWrite(const QString &section, const QString &key, const QString &value,
              QString *error = nullptr);

// The settings file's bytes as a backup holds them: every Password value emptied, in
// whatever section or spelling it stands.
QByteArray settingsWithoutPassword(const QByteArray &settings);

// A value's Windows-932 bytes as a line of the file holds them: in quotes when it starts or
// ends with a blank or a quote, which reading would drop.
QByteArray quotedSettingValue(const QByteArray &bytes);

} // namespace Kakiva
